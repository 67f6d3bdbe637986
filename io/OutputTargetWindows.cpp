#include <string>

#include "io/OutputTarget.h"
#include "io/Win32.h"
#include "io/WindowsPath.h"

namespace rungwell {

namespace {

// Whether the file at path (a path for the system) is a symbolic link, as
// mklink makes one; not a junction or a cloud file's placeholder.
bool IsSymbolicLink(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return false;
  }
  HANDLE link = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (link == INVALID_HANDLE_VALUE) {
    return false;
  }
  FILE_ATTRIBUTE_TAG_INFO tag{};
  const bool symbolic = GetFileInformationByHandleEx(link, FileAttributeTagInfo, &tag, sizeof tag) != 0 &&
                        tag.ReparseTag == IO_REPARSE_TAG_SYMLINK;
  (void)CloseHandle(link);
  return symbolic;
}

// The path of the file that the link at path leads to, in the end; empty
// where it leads to nothing, or that cannot be told.
std::wstring FileLinkedTo(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {};
  }
  std::wstring linked(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = GetFinalPathNameByHandleW(file, linked.data(), static_cast<DWORD>(linked.size()), 0);
    if (size == 0) {
      linked.clear();
      break;
    }
    if (size < linked.size()) {
      linked.resize(size);
      break;
    }
    linked.resize(size);
  }
  (void)CloseHandle(file);
  return linked;
}

}  // namespace

std::error_code FindOutputTarget(const std::string& path, OutputTarget& target) {
  target = OutputTarget{};
  target.path = path;
  std::error_code error;
  const std::wstring full = FullPath(path, error);
  if (error) {
    return error;
  }
  if (IsDevicePath(full)) {
    target.kind = OutputTarget::Kind::Device;
    return {};
  }
  // A symbolic link is followed to the file it names, which is replaced in
  // its own folder. One that leads to nothing is replaced itself, as before:
  // Windows tells where such a link leads only through its raw reparse data.
  if (IsSymbolicLink(ForSystem(full))) {
    const std::wstring linked = FileLinkedTo(ForSystem(full));
    if (!linked.empty()) {
      target.path = Narrow(linked, TextUse::FileName);
    }
  }
  return {};
}

}  // namespace rungwell
