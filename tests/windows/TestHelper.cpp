// Prints FormatMessageW's text for a Win32 error code as it comes, in UTF-8,
// so that the Windows cases can compare Rungwell's messages with it:
//   rungwell_test_helper CODE
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[]) {
  wchar_t* text = nullptr;
  const DWORD size =
      argc != 2
          ? 0
          : FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)), 0,
                           reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (size == 0) {
    return 1;
  }
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  (void)WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), utf8.data(), bytes, nullptr, nullptr);
  (void)LocalFree(text);
  // The text's own line end, exactly: no CR added before its LF.
  (void)_setmode(_fileno(stdout), _O_BINARY);
  return std::fwrite(utf8.data(), 1, utf8.size(), stdout) == utf8.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
