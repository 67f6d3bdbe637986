#include "driver/Console.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "io/Errno.h"

#ifdef _WIN32
#include <string>

#include "io/Win32.h"
#else
#include <unistd.h>

#include <csignal>
#endif

namespace rungwell {

namespace {

std::FILE* StreamOf(StandardStream stream) {
  return stream == StandardStream::Output ? stdout : stderr;
}

std::error_code WriteBytes(std::FILE* file, std::string_view text) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  // A buffered stream fails only here, when its bytes reach the file.
  const bool flushed = std::fflush(file) == 0;
  if (!written || !flushed) {
    return LastErrno();
  }
  return {};
}

#ifdef _WIN32

// The stream's console, or null when it goes to a file, a pipe or nowhere.
HANDLE ConsoleOf(StandardStream stream) {
  HANDLE handle = GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode) == 0) {
    return nullptr;
  }
  return handle;
}

// Converted from the ANSI code page, which the manifest makes UTF-8; on a
// Windows too old to honour that, the arguments and the system's messages
// arrive in the legacy ANSI code page, and this reads them in it all the same.
// Line ends become CRLF, as the C runtime's text mode writes them elsewhere.
std::error_code WriteToConsole(HANDLE console, std::string_view text) {
  std::wstring converted;
  if (const std::error_code error = Widen(text, TextUse::Display, converted)) {
    return error;
  }
  std::wstring wide;
  wide.reserve(converted.size() + 8);
  for (const wchar_t c : converted) {
    if (c == L'\n') {
      wide.push_back(L'\r');
    }
    wide.push_back(c);
  }
  // Older consoles refuse a single write much beyond 64 KB.
  return WriteAllTo(console, wide.data(), wide.size(), 8192, WriteConsoleW);
}

#endif

}  // namespace

std::error_code WriteText(StandardStream stream, std::string_view text) {
  std::FILE* file = StreamOf(stream);
#ifdef _WIN32
  // Bytes written to a console are decoded in its output code page, which is
  // the OEM one and not the UTF-8 of the manifest; changing that code page
  // would outlast this program in the user's shell, so the text goes as UTF-16.
  if (HANDLE console = ConsoleOf(stream)) {
    // Bytes that went through the C stream before belong before this text.
    (void)std::fflush(file);
    return WriteToConsole(console, text);
  }
#endif
  return WriteBytes(file, text);
}

#ifdef _WIN32

void WaitForKeyPress() {
  if (ConsoleOf(StandardStream::Output) == nullptr) {
    return;
  }
  (void)std::fflush(stdout);
  // The command's own result tells nothing the user has not already seen.
  (void)std::system("pause");
}

void HoldConsoleAfterMessages() {
  DWORD processes[2];
  DWORD mode = 0;
  if (GetConsoleProcessList(processes, 2) != 1 || GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) == 0) {
    return;
  }
  (void)std::fflush(stderr);
  (void)std::system("pause");
}

int EndForGoneReader(int status) {
  return status;
}

#else

int EndForGoneReader(int status) {
  // The signal may have been ignored by whoever started the program; it is
  // what ends a tool quietly all the same.
  (void)std::signal(SIGPIPE, SIG_DFL);
  (void)std::raise(SIGPIPE);
  return status;
}

void WaitForKeyPress() {
  if (isatty(STDOUT_FILENO) == 0 || isatty(STDIN_FILENO) == 0) {
    return;
  }
  (void)std::fputs("Press Enter to continue . . . ", stdout);
  (void)std::fflush(stdout);
  int c = 0;
  do {
    c = std::getchar();
  } while (c != EOF && c != '\n');
}

void HoldConsoleAfterMessages() {}

#endif

}  // namespace rungwell
