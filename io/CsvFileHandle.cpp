#include "io/CsvFileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>

#include "io/Win32.h"
#include "io/WindowsPath.h"
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
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

// Reads until count bytes have come or the file ends, since a pipe gives a
// few KiB at a time and a long line should not be scanned again after every
// small read. Returns 0, or the errno of a failed read.
int ReadFully(int descriptor, char* into, std::size_t count, std::size_t& got, bool& end) {
  got = 0;
  end = false;
  while (got < count) {
    errno = 0;
    const long long n = ReadSome(descriptor, into + got, count - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n == 0) {
      end = true;
      break;
    } else if (errno != EINTR) {  // a signal that interrupts the read is no error of the file's
      // errno should say why; EIO is the honest fallback should it not.
      return errno != 0 ? errno : EIO;
    }
  }
  return 0;
}

// Every buffer the read-ahead takes: the headroom, then a block.
constexpr std::size_t ReadAheadBufferSize = ReadHeadroom + ReadBlockSize;

void CloseDescriptor(int descriptor) {
#ifdef _WIN32
  (void)_close(descriptor);
#else
  (void)close(descriptor);
#endif
}

}  // namespace

// Two buffers take turns: the thread reads the next block into one while the
// caller scans the other. The thread reads only into a buffer it was given,
// so nothing it touches is in the caller's hands.
class CsvFileHandle::ReadAhead {
 public:
  struct Block {
    std::unique_ptr<char[]> storage;  // the bytes start after ReadHeadroom
    std::size_t size = 0;
    bool end = false;
    int error = 0;
  };

  ReadAhead(int file, std::unique_ptr<char[]> first) : spare(std::move(first)) {
    thread = std::thread([this, file] { Run(file); });
  }

  ~ReadAhead() {
    {
      const std::lock_guard<std::mutex> hold(lock);
      stopping = true;
    }
    changed.notify_all();
    thread.join();
  }

  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Waits for the block read ahead. After one with end or error set, there
  // is no other.
  Block Take() {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [this] { return ready; });
    ready = false;
    return std::move(block);
  }

  // A buffer of ReadAheadBufferSize bytes or more to read the next block into.
  void Give(std::unique_ptr<char[]> emptied) {
    {
      const std::lock_guard<std::mutex> hold(lock);
      spare = std::move(emptied);
    }
    changed.notify_all();
  }

 private:
  void Run(int file) {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
      changed.wait(hold, [this] { return (spare && !ready) || stopping; });
      if (stopping) {
        return;
      }
      Block next;
      next.storage = std::move(spare);
      hold.unlock();
      next.error = ReadFully(file, next.storage.get() + ReadHeadroom, ReadBlockSize, next.size, next.end);
      hold.lock();
      const bool last = next.end || next.error != 0;
      block = std::move(next);
      ready = true;
      changed.notify_all();
      if (last) {
        return;
      }
    }
  }

  std::mutex lock;
  std::condition_variable changed;
  std::unique_ptr<char[]> spare;  // the buffer to read into next, once given
  Block block;                    // the block read, while ready
  bool ready = false;
  bool stopping = false;
  std::thread thread;
};

CsvFileHandle::CsvFileHandle() = default;

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
  regularFile = (info.st_mode & _S_IFREG) != 0;
#else
  struct stat info {};
  if (fstat(descriptor, &info) != 0) {
    return Fail(errno);
  }
  const bool directory = S_ISDIR(info.st_mode);
  regularFile = S_ISREG(info.st_mode);
  permissions = static_cast<unsigned>(info.st_mode) & 07777U;
#endif
  // A directory opens for reading on POSIX systems and fails only at the first
  // read; refusing it here keeps the caller from starting an output for it.
  if (directory) {
    return Fail(EISDIR);
  }
  buffer.reset(new (std::nothrow) char[ReadAheadBufferSize]);
  if (!buffer) {
    return Fail(ENOMEM);
  }
  capacity = ReadAheadBufferSize;
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
  // The thread goes first: it may be reading.
  readAhead.reset();
  regularFile = false;
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
  if (readAhead) {
    return FillFromReadAhead();
  }
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
  std::size_t got = 0;
  const int failure = ReadFully(descriptor, buffer.get() + filled, capacity - filled, got, atEnd);
  filled += got;
  if (failure != 0) {
    error = std::error_code(failure, std::generic_category());
    return false;
  }
  if (!atEnd && regularFile) {
    std::unique_ptr<char[]> second(new (std::nothrow) char[ReadAheadBufferSize]);
    if (second) {
      readAhead = std::make_unique<ReadAhead>(descriptor, std::move(second));
    }
  }
  return true;
}

bool CsvFileHandle::FillFromReadAhead() {
  ReadAhead::Block block = readAhead->Take();
  const std::size_t unconsumed = filled - consumed;
  if (block.error == 0 && unconsumed <= ReadHeadroom) {
    // The usual case: the unfinished line goes in front of the new block,
    // whose buffer becomes this one, and this one goes to read the next.
    std::memcpy(block.storage.get() + ReadHeadroom - unconsumed, buffer.get() + consumed, unconsumed);
    std::swap(buffer, block.storage);
    capacity = ReadAheadBufferSize;
    consumed = ReadHeadroom - unconsumed;
    filled = ReadHeadroom + block.size;
    atEnd = block.end;
    if (!atEnd) {
      readAhead->Give(std::move(block.storage));
    }
    return true;
  }
  // A long line: the blocks go after it, in a buffer that doubles as the
  // line fills it and takes blocks until it is full, so that the line is
  // scanned again only as often as it doubles.
  std::memmove(buffer.get(), buffer.get() + consumed, unconsumed);
  filled = unconsumed;
  consumed = 0;
  std::size_t wanted = filled + ReadBlockSize > capacity ? 2 * capacity : capacity;
  for (;;) {
    if (block.error != 0) {
      error = std::error_code(block.error, std::generic_category());
      return false;
    }
    if (capacity < wanted || capacity - filled < block.size) {
      wanted = std::max(wanted, filled + block.size);
      std::unique_ptr<char[]> larger(new (std::nothrow) char[wanted]);
      if (!larger) {
        error = std::make_error_code(std::errc::not_enough_memory);
        return false;
      }
      std::memcpy(larger.get(), buffer.get(), filled);
      buffer = std::move(larger);
      capacity = wanted;
    }
    std::memcpy(buffer.get() + filled, block.storage.get() + ReadHeadroom, block.size);
    filled += block.size;
    atEnd = block.end;
    if (atEnd) {
      return true;
    }
    readAhead->Give(std::move(block.storage));
    if (capacity - filled < ReadBlockSize) {
      return true;
    }
    block = readAhead->Take();
  }
}

}  // namespace rungwell
