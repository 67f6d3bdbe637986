#include "io/CsvFileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "io/WindowsPath.h"
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace rungwell {

namespace {

// The one place that turns a path into a descriptor: -1 on failure, with
// error set.
int OpenForReading(const std::string& path, std::error_code& error) {
#ifdef _WIN32
  // The wide call with the full path opens names in any script, D:name in
  // drive D:'s folder, and paths of any length.
  const std::wstring systemPath = SystemPath(path, error);
  if (error) {
    return -1;
  }
  const int descriptor = _wopen(systemPath.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (descriptor < 0) {
    const int cause = errno;
    // Windows refuses to open a directory as a file with "permission
    // denied"; saying what it is helps the user more.
    const DWORD attributes = GetFileAttributesW(systemPath.c_str());
    const bool directory = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    error = std::error_code(cause == EACCES && directory ? EISDIR : cause, std::generic_category());
  }
  return descriptor;
#else
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    error = std::error_code(errno, std::generic_category());
  }
  return descriptor;
#endif
}

// Like read(2): bytes read, 0 at the end of the file, negative with errno set.
long long ReadSome(int descriptor, char* into, std::size_t count) {
#ifdef _WIN32
  // _read takes an unsigned int; a shorter read is as good as any.
  return _read(descriptor, into, static_cast<unsigned>(std::min<std::size_t>(count, std::size_t{1} << 30)));
#else
  return read(descriptor, into, count);
#endif
}

void CloseDescriptor(int descriptor) {
#ifdef _WIN32
  (void)_close(descriptor);
#else
  (void)close(descriptor);
#endif
}

}  // namespace

CsvFileHandle::~CsvFileHandle() {
  Close();
}

bool CsvFileHandle::Open(const std::string& path) {
  Close();
  error.clear();
  if (path.empty()) {
    return Fail(ENOENT);
  }
  std::error_code openError;
  descriptor = OpenForReading(path, openError);
  if (descriptor < 0) {
    Close();
    error = openError;
    return false;
  }
#ifdef _WIN32
  struct _stat64 info {};
  if (_fstat64(descriptor, &info) != 0) {
    return Fail(errno);
  }
  const bool directory = (info.st_mode & _S_IFDIR) != 0;
#else
  struct stat info {};
  if (fstat(descriptor, &info) != 0) {
    return Fail(errno);
  }
  const bool directory = S_ISDIR(info.st_mode);
  permissions = static_cast<unsigned>(info.st_mode) & 07777U;
#endif
  // A directory opens for reading on POSIX systems and fails only at the first
  // read; refusing it here keeps the caller from starting an output for it.
  if (directory) {
    return Fail(EISDIR);
  }
  buffer.reset(new (std::nothrow) char[ReadBlockSize]);
  if (!buffer) {
    return Fail(ENOMEM);
  }
  capacity = ReadBlockSize;
  return true;
}

bool CsvFileHandle::ReadBlock(std::string_view& bytes) {
  bytes = {};
  if (descriptor < 0 || error || (!atEnd && !Fill()) || consumed == filled) {
    return false;
  }
  bytes = std::string_view(buffer.get() + consumed, filled - consumed);
  return true;
}

std::string CsvFileHandle::ReadLine() {
  std::size_t searched = 0;  // no newline lies in the first searched unconsumed bytes
  while (descriptor >= 0 && !error) {
    const std::string_view rest(buffer.get() + consumed, filled - consumed);
    const std::size_t newline = rest.find('\n', searched);
    if (newline != std::string_view::npos || atEnd) {
      // The last line may have no newline; it ends with the file.
      const std::string_view line = rest.substr(0, newline == std::string_view::npos ? rest.size() : newline + 1);
      consumed += line.size();
      return std::string(line);
    }
    searched = rest.size();
    if (!Fill()) {
      break;
    }
  }
  return {};
}

void CsvFileHandle::Close() noexcept {
  if (descriptor >= 0) {
    // Nothing was written to it, so closing cannot lose data.
    CloseDescriptor(descriptor);
    descriptor = -1;
  }
  buffer.reset();
  capacity = 0;
  consumed = 0;
  filled = 0;
  atEnd = false;
  permissions.reset();
}

bool CsvFileHandle::Fail(int errorNumber) {
  Close();
  error = std::error_code(errorNumber, std::generic_category());
  return false;
}

bool CsvFileHandle::Fill() {
  // What is left moves to the front, so that an unfinished line stays in one
  // piece and the rest of the buffer takes the next block.
  if (consumed > 0) {
    std::memmove(buffer.get(), buffer.get() + consumed, filled - consumed);
    filled -= consumed;
    consumed = 0;
  }
  if (filled == capacity) {
    // One line fills the whole buffer: double it, so that a line of any
    // length is read whole at the cost of a few copies.
    std::unique_ptr<char[]> larger(new (std::nothrow) char[2 * capacity]);
    if (!larger) {
      error = std::make_error_code(std::errc::not_enough_memory);
      return false;
    }
    std::memcpy(larger.get(), buffer.get(), filled);
    buffer = std::move(larger);
    capacity *= 2;
  }
  // A pipe gives a few KiB at a time; the buffer is filled all the same, so
  // that a long line is not scanned again after every small read.
  while (filled < capacity) {
    errno = 0;
    const long long count = ReadSome(descriptor, buffer.get() + filled, capacity - filled);
    if (count > 0) {
      filled += static_cast<std::size_t>(count);
    } else if (count == 0) {
      atEnd = true;
      break;
    } else if (errno != EINTR) {  // a signal that interrupts the read is no error of the file's
      // errno should say why; EIO is the honest fallback should it not.
      error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
      return false;
    }
  }
  return true;
}

}  // namespace rungwell
