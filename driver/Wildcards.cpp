#include "driver/Wildcards.h"

#include <algorithm>

#include "io/Win32.h"
#include "io/WindowsPath.h"

namespace rungwell {

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
    paths.push_back(folder + Narrow(name, TextUse::FileName));
  }
  return paths;
}

}  // namespace rungwell
