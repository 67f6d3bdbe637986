#include "io/WindowsPath.h"

#include <cstddef>

#include "io/Win32.h"

namespace rungwell {

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

// The \\?\ form of a full path, in which the system takes every character
// as it is and no length limit applies.
std::wstring Verbatim(const std::wstring& fullPath) {
  if (StartsWith(fullPath, L"\\\\?\\") || StartsWith(fullPath, L"\\\\.\\")) {
    return fullPath;
  }
  if (StartsWith(fullPath, L"\\\\")) {
    return L"\\\\?\\UNC\\" + fullPath.substr(2);
  }
  return L"\\\\?\\" + fullPath;
}

}  // namespace

std::wstring FullPath(const std::string& narrowPath, std::error_code& error) {
  std::wstring wide;
  error = Widen(narrowPath, TextUse::FileName, wide);
  if (error) {
    return {};
  }
  if (wide.empty()) {
    // As opening an empty name fails.
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return {};
  }
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full;
  for (;;) {
    if (size == 0) {
      error = LastWin32Error();
      return {};
    }
    full.resize(size);
    const DWORD written = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (written != 0 && written < size) {
      full.resize(written);
      return full;
    }
    // Another thread changed the current directory in between: ask again
    // with the size that this one needs.
    size = written;
  }
}

std::wstring ForSystem(const std::wstring& fullPath) {
  return fullPath.size() < MAX_PATH ? fullPath : Verbatim(fullPath);
}

std::wstring SystemPath(const std::string& narrowPath, std::error_code& error) {
  const std::wstring full = FullPath(narrowPath, error);
  return error ? std::wstring() : ForSystem(full);
}

bool IsDevicePath(const std::wstring& fullPath) {
  if (!StartsWith(fullPath, L"\\\\.\\")) {
    return false;
  }
  // \\.\C:\ and on: a file on drive C:, named the long way.
  const std::wstring rest = fullPath.substr(4);
  const bool onADrive = rest.size() >= 3 &&
                        ((rest[0] >= L'A' && rest[0] <= L'Z') || (rest[0] >= L'a' && rest[0] <= L'z')) &&
                        rest[1] == L':' && rest[2] == L'\\';
  return !onADrive;
}

std::wstring NativePath(const std::wstring& fullPath) {
  return L"\\??\\" + Verbatim(fullPath).substr(4);
}

}  // namespace rungwell
