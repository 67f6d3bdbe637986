// Prints FormatMessageW's text for a Win32 error code as it comes, in UTF-8,
// so that the Windows cases can compare Rungwell's messages with it:
//   rungwell_test_helper CODE
// Or serves one client of the named pipe \\.\pipe\NAME, once the empty file
// READY shows that it waits, and keeps every byte that came in RECEIVED:
//   rungwell_test_helper pipe NAME RECEIVED READY
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int ServePipe(const std::string& name, const char* received, const char* ready) {
  HANDLE pipe = CreateNamedPipeA(("\\\\.\\pipe\\" + name).c_str(), PIPE_ACCESS_INBOUND,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, 65536, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) {
    return 1;
  }
  FILE* mark = std::fopen(ready, "wb");
  if (mark == nullptr || std::fclose(mark) != 0) {
    return 1;
  }
  if (ConnectNamedPipe(pipe, nullptr) == 0 && GetLastError() != ERROR_PIPE_CONNECTED) {
    return 1;
  }
  // Until the client closes its end, which ends the reads with ERROR_BROKEN_PIPE.
  std::string got;
  char chunk[65536];
  DWORD count = 0;
  while (ReadFile(pipe, chunk, sizeof chunk, &count, nullptr) != 0 || GetLastError() == ERROR_MORE_DATA) {
    got.append(chunk, count);
  }
  (void)CloseHandle(pipe);
  FILE* out = std::fopen(received, "wb");
  return out != nullptr && std::fwrite(got.data(), 1, got.size(), out) == got.size() && std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 5 && std::string(argv[1]) == "pipe") {
    return ServePipe(argv[2], argv[3], argv[4]);
  }
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
