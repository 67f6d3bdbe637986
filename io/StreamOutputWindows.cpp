#include "io/StreamOutput.h"
#include "io/Win32.h"
#include "io/WindowsPath.h"

namespace rungwell {

StreamOutput::~StreamOutput() {
  Discard();
}

std::error_code StreamOutput::OpenStandardOutput() {
  Discard();
  // The handle itself, not the C runtime's stream, which would turn LF into CR LF.
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    return std::make_error_code(std::errc::bad_file_descriptor);
  }
  handle = output;
  return {};
}

std::error_code StreamOutput::Open(const OutputTarget& target) {
  Discard();
  // Windows names no descriptor by a path: every target here is a device
  // name (NUL, CON, COM1...) or a named pipe.
  std::error_code error;
  const std::wstring systemPath = SystemPath(target.path, error);
  if (error) {
    return error;
  }
  // Opened as it is, never made; others may go on using it. A named pipe
  // is its server's to have waiting: one that is not there, or whose every
  // instance is taken, fails at once in Windows' words.
  HANDLE opened = CreateFileW(systemPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    return LastWin32Error();
  }
  handle = opened;
  owned = true;
  return {};
}

std::error_code StreamOutput::Write(const char* data, std::size_t size) {
  if (handle == nullptr) {
    return std::make_error_code(std::errc::bad_file_descriptor);
  }
  // A gigabyte at a time stays well inside WriteFile's DWORD count.
  return WriteAllTo(handle, data, size, std::size_t{1} << 30, WriteFile);
}

std::error_code StreamOutput::Finish() {
  std::error_code error;
  if (owned && handle != nullptr) {
    HANDLE closing = handle;
    handle = nullptr;
    owned = false;
    error = CloseHandle(closing) == 0 ? LastWin32Error() : std::error_code();
  }
  Discard();
  return error;
}

void StreamOutput::Discard() noexcept {
  if (owned && handle != nullptr) {
    (void)CloseHandle(handle);
  }
  handle = nullptr;
  owned = false;
  cancelled.store(false);
}

}  // namespace rungwell
