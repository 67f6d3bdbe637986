#include "driver/Platform.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace rungwell {

#ifdef _WIN32

std::FILE* CreateNewFile(const std::string& path) {
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) {
    const int saved = errno;
    (void)_close(fd);
    errno = saved;
  }
  return file;
}

unsigned long CurrentProcessId() noexcept {
  return static_cast<unsigned long>(_getpid());
}

void WaitForKeyPress() {
  (void)std::fflush(stdout);
  // The command's own result tells nothing the user has not already seen.
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

#endif

}  // namespace rungwell
