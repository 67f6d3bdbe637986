#include "csv/CsvFileHandle.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace rungwell {

namespace {

bool IsDirectory(std::FILE* file) {
#ifdef _WIN32
  struct _stat64 info {};
  return _fstat64(_fileno(file), &info) == 0 && (info.st_mode & _S_IFDIR) != 0;
#else
  struct stat info {};
  return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
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
  file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return Fail(errno);
  }
  // A directory opens for reading on POSIX systems and fails only at the first
  // read; refusing it here keeps the caller from starting an output for it.
  if (IsDirectory(file)) {
    return Fail(EISDIR);
  }
  // The buffer below is the read buffer; one inside the stream would only
  // add a copy. Should this fail the stream stays buffered, which still works.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
  buffer.reset(new (std::nothrow) char[LineBufferSize]);
  if (!buffer) {
    return Fail(ENOMEM);
  }
  return true;
}

std::string CsvFileHandle::ReadLine() {
  std::string line;
  ReadLine(line);
  return line;
}

bool CsvFileHandle::ReadLine(std::string& line) {
  line.clear();
  if (file == nullptr || error) {
    return false;
  }
  for (;;) {
    if (unread == filled && !Refill()) {
      if (error) {
        line.clear();
        return false;
      }
      return !line.empty();
    }
    const char* start = buffer.get() + unread;
    const std::size_t available = filled - unread;
    if (const void* newline = std::memchr(start, '\n', available)) {
      const auto length = static_cast<std::size_t>(static_cast<const char*>(newline) - start) + 1;
      line.append(start, length);
      unread += length;
      return true;
    }
    line.append(start, available);
    unread = filled;
  }
}

void CsvFileHandle::Close() noexcept {
  if (file != nullptr) {
    // Nothing was written to it, so closing cannot lose data.
    (void)std::fclose(file);
    file = nullptr;
  }
  buffer.reset();
  unread = 0;
  filled = 0;
}

bool CsvFileHandle::Fail(int errorNumber) {
  Close();
  error = std::error_code(errorNumber, std::generic_category());
  return false;
}

bool CsvFileHandle::Refill() {
  unread = 0;
  errno = 0;
  filled = std::fread(buffer.get(), 1, LineBufferSize, file);
  if (std::ferror(file) != 0) {
    // Some C libraries leave errno alone on a failed read; EIO is the honest
    // fallback then.
    error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    filled = 0;
    return false;
  }
  return filled > 0;
}

}  // namespace rungwell
