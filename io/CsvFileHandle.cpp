#include "io/CsvFileHandle.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>

namespace rungwell {

namespace {

bool IsDirectory(std::FILE* file, unsigned& permissionBits) {
#ifdef _WIN32
  (void)permissionBits;  // Windows has none to give
  struct _stat64 info {};
  return _fstat64(_fileno(file), &info) == 0 && (info.st_mode & _S_IFDIR) != 0;
#else
  struct stat info {};
  if (fstat(fileno(file), &info) != 0) {
    return false;
  }
  permissionBits = info.st_mode & 0777U;
  return S_ISDIR(info.st_mode);
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
    const int cause = errno;
    // Windows refuses to open a directory as a file with "permission
    // denied"; saying what it is helps the user more.
    std::error_code ignored;
    return Fail(cause == EACCES && std::filesystem::is_directory(path, ignored) ? EISDIR : cause);
  }
  // A directory opens for reading on POSIX systems and fails only at the first
  // read; refusing it here keeps the caller from starting an output for it.
  if (IsDirectory(file, permissionBits)) {
    return Fail(EISDIR);
  }
  // The buffer below is the read buffer; one inside the stream would only
  // add a copy. Should this fail the stream stays buffered, which still works.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
  buffer.reset(new (std::nothrow) char[LineBufferSize]);
  if (!buffer) {
    return Fail(ENOMEM);
  }
  capacity = LineBufferSize;
  return true;
}

std::string CsvFileHandle::ReadLine() {
  std::string_view line;
  return ReadLine(line) ? std::string(line) : std::string();
}

bool CsvFileHandle::ReadLine(std::string& line) {
  std::string_view view;
  const bool read = ReadLine(view);
  line.assign(view);
  return read;
}

bool CsvFileHandle::ReadLine(std::string_view& line) {
  line = {};
  if (file == nullptr || error) {
    return false;
  }
  std::size_t searched = unread;  // no newline lies in [unread, searched)
  for (;;) {
    const char* start = buffer.get();
    if (const void* newline = std::memchr(start + searched, '\n', filled - searched)) {
      const auto end = static_cast<std::size_t>(static_cast<const char*>(newline) - start) + 1;
      line = std::string_view(start + unread, end - unread);
      unread = end;
      return true;
    }
    searched = filled;
    if (atEnd) {
      // The last line has no newline; it ends with the file.
      line = std::string_view(start + unread, filled - unread);
      unread = filled;
      return !line.empty();
    }
    if (!Refill(searched)) {
      return false;
    }
  }
}

void CsvFileHandle::Close() noexcept {
  if (file != nullptr) {
    // Nothing was written to it, so closing cannot lose data.
    (void)std::fclose(file);
    file = nullptr;
  }
  buffer.reset();
  capacity = 0;
  unread = 0;
  filled = 0;
  atEnd = false;
  permissionBits = 0666;
}

bool CsvFileHandle::Fail(int errorNumber) {
  Close();
  error = std::error_code(errorNumber, std::generic_category());
  return false;
}

bool CsvFileHandle::Refill(std::size_t& searched) {
  // The unfinished line moves to the front, so that it stays in one piece
  // and the rest of the buffer takes the next block.
  if (unread > 0) {
    std::memmove(buffer.get(), buffer.get() + unread, filled - unread);
    filled -= unread;
    searched -= unread;
    unread = 0;
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
  errno = 0;
  filled += std::fread(buffer.get() + filled, 1, capacity - filled, file);
  if (std::ferror(file) != 0) {
    // Some C libraries leave errno alone on a failed read; EIO is the honest
    // fallback then.
    error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    return false;
  }
  atEnd = std::feof(file) != 0;
  return true;
}

}  // namespace rungwell
