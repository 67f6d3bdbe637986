#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "io/UnfinishedFile.h"
#include "io/Win32.h"
#include "io/WindowsPath.h"

namespace rungwell {

namespace {

bool MarkForDeletion(void* handle, bool deletion) {
  FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deletion)};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Gives the open file the name target (a full path), replacing a file there.
// Returns the Win32 error code, 0 on success.
DWORD RenameOver(void* handle, const std::wstring& target) {
  // The name goes to the native layer as it is, so it must be in the native
  // form; that form also has no length limit.
  const std::wstring name = NativePath(target);
  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  // The struct's own size counts its one declared character, which takes the
  // terminating null; the system checks the size against that reckoning.
  const std::size_t infoBytes = sizeof(FILE_RENAME_INFO) + nameBytes;
  std::vector<std::uint64_t> storage(infoBytes / sizeof(std::uint64_t) + 1);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;  // the name is the whole path
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  // The name runs on past the one character that the struct declares.
  std::memcpy(reinterpret_cast<char*>(info) + offsetof(FILE_RENAME_INFO, FileName), name.c_str(),
              nameBytes + sizeof(wchar_t));
  if (SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(infoBytes)) == 0) {
    return GetLastError();
  }
  return 0;
}

// The Win32 error code that replacing the file at path (a path for the
// system) would fail with, as far as that can be told without replacing it;
// 0 where nothing is seen in the way, or there is no file.
DWORD Blocker(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Nothing there, or nothing that can be seen: making the file beside it
    // tells the rest.
    return 0;
  }
  // Windows refuses to replace either, in these words.
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  // Replacing a file deletes it, which takes the right to delete it and no
  // other program holding it open without sharing its deletion, as Excel
  // holds a workbook. Opening it for deletion, sharing everything, asks the
  // system both; a link is asked about itself, since the rename replaces it.
  const DWORD code = RetryWhileBusy([&path]() -> DWORD {
    HANDLE earlier = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (earlier == INVALID_HANDLE_VALUE) {
      return GetLastError();
    }
    (void)CloseHandle(earlier);
    return 0;
  });
  // Gone meanwhile: then nothing is in the way.
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? 0 : code;
}

}  // namespace

unsigned long UnfinishedFile::ProcessNumber() noexcept {
  return GetCurrentProcessId();
}

std::error_code UnfinishedFile::Prepare(const std::string& path, unsigned /*permissions*/) {
  std::error_code error;
  const std::wstring full = FullPath(path, error);
  if (error) {
    return error;
  }
  // The folder comes from the full path: the one of D:name is D:'s current
  // directory, wherever the program itself runs.
  folder = full.substr(0, full.find_last_of(L'\\') + 1);
  finalPath = ForSystem(full);
  if (const DWORD code = Blocker(finalPath)) {
    return Win32Error(code);
  }
  return {};
}

std::error_code UnfinishedFile::OpenUnnamed() {
  // Windows keeps no file without a name: the file is made under its hidden
  // one, marked for deletion.
  return {};
}

std::error_code UnfinishedFile::TakeName(const std::string& name) {
  std::wstring candidate = ForSystem(folder + std::wstring(name.begin(), name.end()));
  // Shared with no one and inherited by no child (the console's "pause"
  // after a failure must not keep it alive).
  HANDLE file = CreateFileW(candidate.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // ERROR_FILE_EXISTS and ERROR_ALREADY_EXISTS both read as file_exists.
    return LastWin32Error();
  }
  // From here on the system removes the file when the last handle closes,
  // whatever ends the process: no code of ours has to run.
  if (!MarkForDeletion(file, true)) {
    const std::error_code error = LastWin32Error();
    (void)CloseHandle(file);
    (void)DeleteFileW(candidate.c_str());
    return error;
  }
  handle = file;
  marked = true;
  temporaryPath = std::move(candidate);
  return {};
}

std::error_code UnfinishedFile::Write(const char* data, std::size_t size) {
  if (handle == nullptr) {
    return std::make_error_code(std::errc::bad_file_descriptor);
  }
  // A gigabyte at a time stays well inside WriteFile's DWORD count.
  return WriteAllTo(handle, data, size, std::size_t{1} << 30, WriteFile);
}

// Left to the system on Windows, where setting space aside has not been
// measured.
void UnfinishedFile::Reserve(std::uint64_t) noexcept {}

std::error_code UnfinishedFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
  if (handle == nullptr) {
    return std::make_error_code(std::errc::bad_file_descriptor);
  }
  // A gigabyte at a time stays well inside WriteFile's DWORD count.
  return WriteAll(data, size, std::size_t{1} << 30, [&](const char* from, std::size_t count, std::size_t& done) {
    const std::uint64_t at = offset + static_cast<std::uint64_t>(from - data);
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32U);
    DWORD written = 0;
    if (WriteFile(handle, from, static_cast<DWORD>(count), &written, &position) == 0) {
      return LastWin32Error();
    }
    done = written;
    return std::error_code();
  });
}

std::error_code UnfinishedFile::Flush() {
  if (handle == nullptr) {
    return std::make_error_code(std::errc::bad_file_descriptor);
  }
  // A network share's write-behind or a full quota can refuse data that the
  // writes took; the flush makes the system say so now, while the file is
  // still marked and a failure leaves nothing.
  return FlushFileBuffers(handle) == 0 ? LastWin32Error() : std::error_code();
}

std::error_code UnfinishedFile::LinkAsOutput() {
  // Never asked: no file here is without a name (OpenUnnamed).
  return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code UnfinishedFile::RenameOverOutput() {
  // Shown once it is the output; changed while the file is still marked, so
  // a failure here leaves nothing. Any other attribute the system gave it
  // (archive, say) stays.
  FILE_BASIC_INFO current{};
  FILE_BASIC_INFO basic{};  // zero times: leave them as they are
  if (GetFileInformationByHandleEx(handle, FileBasicInfo, &current, sizeof current) != 0) {
    basic.FileAttributes = current.FileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN);
  }
  if (basic.FileAttributes == 0) {
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  }
  if (SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) == 0) {
    return LastWin32Error();
  }
  const DWORD code = RetryWhileBusy([this]() -> DWORD {
    // The mark goes before the rename: the other way round, a process ending
    // in between would take the new output with it after it had replaced the
    // old one. From here to the rename is the only moment that an ending
    // process could leave the file behind.
    if (!MarkForDeletion(handle, false)) {
      return GetLastError();
    }
    marked = false;
    const DWORD renamed = RenameOver(handle, finalPath);
    if (renamed != 0) {
      // Marked again for the wait before the next try, so that the moment
      // stays as short as it is without one.
      marked = MarkForDeletion(handle, true);
    }
    return renamed;
  });
  if (code != 0) {
    return Win32Error(code);
  }
  // The output is in place: nothing is left to remove by name. Whatever
  // closing the handle reports cannot undo that, and the flush has already
  // seen the data through, so Discard leaves it unread.
  temporaryPath.clear();
  return {};
}

void UnfinishedFile::Discard() noexcept {
  if (handle != nullptr) {
    // Still marked, the file goes with the handle.
    (void)CloseHandle(handle);
    handle = nullptr;
  }
  // A mark lost to a failed rename: the file is removed by name instead.
  if (!marked && !temporaryPath.empty()) {
    (void)DeleteFileW(temporaryPath.c_str());
  }
  marked = false;
  temporaryPath.clear();
}

}  // namespace rungwell
