#include "driver/Platform.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include "io/Win32.h"
#else
#include <unistd.h>
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
