#include "driver/Platform.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#endif

namespace rungwell {

#ifdef _WIN32

void WaitForKeyPress() {
  (void)std::fflush(stdout);
  // The command's own result tells nothing the user has not already seen.
  (void)std::system("pause");
}

void HoldConsoleAfterFailure() {
  DWORD processes[2];
  DWORD mode = 0;
  if (GetConsoleProcessList(processes, 2) != 1 || GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) == 0) {
    return;
  }
  (void)std::fflush(stderr);
  (void)std::system("pause");
}

#else

std::FILE* CreateNewFile(const std::string& path) {
  // 0666 lets the umask decide the permissions, as for any file a tool creates.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    const int saved = errno;
    (void)close(fd);
    errno = saved;
  }
  return file;
}

std::error_code MoveIntoPlace(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    return {errno, std::generic_category()};
  }
  return {};
}

std::atomic<const char*> removeOnInterrupt{nullptr};

extern "C" void RemoveAndEnd(int signalNumber) {
  if (const char* path = removeOnInterrupt.load()) {
    (void)unlink(path);
  }
  // Ending by the same signal tells the caller, a shell say, what happened.
  (void)std::signal(signalNumber, SIG_DFL);
  (void)std::raise(signalNumber);
}

void RemoveIfInterrupted(const char* path) noexcept {
  static const bool installed = [] {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
      // A signal ignored by whoever started us, as nohup does, stays ignored.
      struct sigaction current {};
      if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
        (void)std::signal(signalNumber, RemoveAndEnd);
      }
    }
    return true;
  }();
  (void)installed;
  removeOnInterrupt.store(path);
}

unsigned long CurrentProcessId() noexcept {
  return static_cast<unsigned long>(getpid());
}

void WaitForKeyPress() {
  if (isatty(STDIN_FILENO) == 0) {
    return;
  }
  (void)std::fputs("Press Enter to continue . . . ", stdout);
  (void)std::fflush(stdout);
  int c = 0;
  do {
    c = std::getchar();
  } while (c != EOF && c != '\n');
}

void HoldConsoleAfterFailure() {}

#endif

}  // namespace rungwell
