#include "io/WindowsPath.h"

#include <climits>
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

std::wstring Widen(const std::string& narrow, std::error_code& error) {
  if (narrow.empty()) {
    return {};
  }
  if (narrow.size() > static_cast<std::size_t>(INT_MAX)) {
    error = std::make_error_code(std::errc::filename_too_long);
    return {};
  }
  const int size = static_cast<int>(narrow.size());
  // Bytes that are no text fail rather than turn into U+FFFD: a file named
  // with the replacement character is not the file the user named.
  const int wideSize = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), size, nullptr, 0);
  if (wideSize == 0) {
    error = LastWin32Error();
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), size, wide.data(), wideSize) != wideSize) {
    error = LastWin32Error();
    return {};
  }
  return wide;
}

}  // namespace

std::wstring FullPath(const std::string& narrowPath, std::error_code& error) {
  error.clear();
  const std::wstring wide = Widen(narrowPath, error);
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

std::wstring NativePath(const std::wstring& fullPath) {
  return L"\\??\\" + Verbatim(fullPath).substr(4);
}

}  // namespace rungwell
