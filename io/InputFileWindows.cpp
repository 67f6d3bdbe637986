#include <algorithm>

#include "io/InputFile.h"
#include "io/Win32.h"
#include "io/WindowsPath.h"

namespace rungwell {

InputFile::~InputFile() {
  Close();
}

std::error_code InputFile::Open(const std::string& path) {
  Close();
  // The wide call with the full path opens names in any script, D:name in
  // drive D:'s folder, and paths of any length.
  std::error_code error;
  const std::wstring systemPath = SystemPath(path, error);
  if (error) {
    return error;
  }
  // Others may go on reading and writing the file, as a spreadsheet program
  // that has it open does; no child process inherits the handle.
  HANDLE file = CreateFileW(systemPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    // Windows refuses to open a directory as a file with "access denied";
    // saying what it is helps the user more.
    const DWORD attributes = GetFileAttributesW(systemPath.c_str());
    if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return std::make_error_code(std::errc::is_a_directory);
    }
    return Win32Error(code);
  }
  handle = file;
  return Examine();
}

std::error_code InputFile::OpenStandardInput() {
  Close();
  // A handle of its own, so that closing the file leaves standard input open.
  HANDLE duplicate = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_INPUT_HANDLE), GetCurrentProcess(), &duplicate, 0, FALSE,
                      DUPLICATE_SAME_ACCESS) == 0) {
    return LastWin32Error();
  }
  handle = duplicate;
  if (const std::error_code error = Examine()) {
    return error;
  }
  LARGE_INTEGER at{};
  if (regular) {
    regular = SetFilePointerEx(handle, LARGE_INTEGER{}, &at, FILE_CURRENT) != 0;
    start = regular ? static_cast<std::uint64_t>(at.QuadPart) : 0;
  }
  return {};
}

namespace {

bool SameFile(HANDLE one, HANDLE other) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return GetFileInformationByHandle(one, &first) != 0 && GetFileInformationByHandle(other, &second) != 0 &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace

bool InputFile::IsStandardOutput() const {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  return handle != nullptr && output != nullptr && output != INVALID_HANDLE_VALUE && regular &&
         GetFileType(output) == FILE_TYPE_DISK && SameFile(handle, output);
}

bool InputFile::IsSameFileAs(const std::string& path) const {
  std::error_code error;
  const std::wstring systemPath = SystemPath(path, error);
  // Only a file on a disk can be the input in that sense; a device or a
  // named pipe is not opened to ask, since opening a pipe takes one of its
  // server's instances.
  if (error || handle == nullptr || !regular || IsDevicePath(systemPath)) {
    return false;
  }
  // Asking for attributes alone opens a file whoever holds it, and a folder too.
  HANDLE other =
      CreateFileW(systemPath.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (other == INVALID_HANDLE_VALUE) {
    return false;
  }
  const bool same = SameFile(handle, other);
  (void)CloseHandle(other);
  return same;
}

std::error_code InputFile::Examine() {
  regular = GetFileType(handle) == FILE_TYPE_DISK;
  return {};
}

namespace {

// One ReadFile: at offset where one is given, else where the handle stands.
std::error_code ReadOnce(void* handle, const std::uint64_t* offset, char* into, std::size_t count, std::size_t& got) {
  got = 0;
  // ReadFile takes a DWORD count; a gigabyte at a time stays well inside.
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, std::size_t{1} << 30));
  DWORD read = 0;
  OVERLAPPED at{};
  if (offset != nullptr) {
    at.Offset = static_cast<DWORD>(*offset);
    at.OffsetHigh = static_cast<DWORD>(*offset >> 32U);
  }
  if (ReadFile(handle, into, chunk, &read, offset != nullptr ? &at : nullptr) == 0) {
    const DWORD code = GetLastError();
    // The end of a file read at an offset, and a pipe whose writer has gone,
    // are the end of the input.
    if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) {
      return {};
    }
    return Win32Error(code);
  }
  got = read;
  return {};
}

}  // namespace

std::error_code InputFile::Read(char* into, std::size_t count, std::size_t& got) {
  // Every read of a regular file names its offset, so that a read again at
  // another offset, which moves the handle's own position, changes nothing.
  const std::uint64_t at = start + position;
  const std::error_code error = ReadOnce(handle, regular ? &at : nullptr, into, count, got);
  position += got;
  return error;
}

std::error_code InputFile::ReadAt(std::uint64_t offset, char* into, std::size_t count, std::size_t& got) const {
  const std::uint64_t at = start + offset;
  return ReadOnce(handle, &at, into, count, got);
}

std::error_code InputFile::Size(std::uint64_t& size) const {
  LARGE_INTEGER bytes{};
  if (GetFileSizeEx(handle, &bytes) == 0) {
    return LastWin32Error();
  }
  const auto total = static_cast<std::uint64_t>(bytes.QuadPart);
  size = total > start ? total - start : 0;
  return {};
}

void InputFile::Close() noexcept {
  if (handle != nullptr) {
    (void)CloseHandle(handle);
    handle = nullptr;
  }
  regular = false;
  start = 0;
  position = 0;
  permissions.reset();
}

}  // namespace rungwell
