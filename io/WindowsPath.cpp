#include "io/WindowsPath.h"

#include <algorithm>
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

// The ANSI code page's bytes for a name the system gave, to go where names
// from the command line go. Where that code page is not UTF-8 (Windows before
// 1903), a character it lacks becomes the default '?', which names no file,
// rather than a look-alike, which could name another file.
std::string Narrow(const std::wstring& wide) {
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) {
    return {};
  }
  const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(wide.size());
  const int narrowSize = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(narrowSize > 0 ? narrowSize : 0), '\0');
  if (narrowSize > 0) {
    (void)WideCharToMultiByte(CP_ACP, flags, wide.data(), size, narrow.data(), narrowSize, nullptr, nullptr);
  }
  return narrow;
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

std::vector<std::string> ExpandWildcards(const std::string& argument, std::error_code& error) {
  const std::wstring pattern = SystemPath(argument, error);
  if (error) {
    return {};
  }
  if (GetFileAttributesW(pattern.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return {argument};
  }
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    error = LastWin32Error();
    return {};
  }
  std::vector<std::wstring> names;
  DWORD code = 0;
  for (;;) {
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0) {
      names.emplace_back(found.cFileName);
    }
    if (FindNextFileW(search, &found) == 0) {
      code = GetLastError();
      break;
    }
  }
  (void)FindClose(search);
  if (code != ERROR_NO_MORE_FILES) {
    error = Win32Error(code);
    return {};
  }
  if (names.empty()) {
    error = Win32Error(ERROR_FILE_NOT_FOUND);
    return {};
  }
  std::sort(names.begin(), names.end(), [](const std::wstring& left, const std::wstring& right) {
    return CompareStringOrdinal(left.c_str(), -1, right.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  });
  // A drive's colon ends the folder part too: D:*.csv gives D:plan.csv.
  const std::string folder = argument.substr(0, argument.find_last_of("/\\:") + 1);
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::wstring& name : names) {
    paths.push_back(folder + Narrow(name));
  }
  return paths;
}

}  // namespace rungwell
