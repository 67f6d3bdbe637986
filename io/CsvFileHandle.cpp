#include "io/CsvFileHandle.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include "io/BlockQueue.h"

namespace rungwell {

namespace {

// Reads until count bytes have come or the file ends, since a pipe gives a
// few KiB at a time and a long line should not be scanned again after every
// small read. Returns why a read failed, if one did.
std::error_code ReadFully(InputFile& file, char* into, std::size_t count, std::size_t& got, bool& end) {
  got = 0;
  end = false;
  while (got < count) {
    std::size_t n = 0;
    if (const std::error_code error = file.Read(into + got, count - got, n)) {
      return error;
    }
    if (n == 0) {
      end = true;
      break;
    }
    got += n;
  }
  return {};
}

// Every buffer the read-ahead takes: the headroom, then a block.
constexpr std::size_t ReadAheadBufferSize = ReadHeadroom + ReadBlockSize;

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
    std::error_code error;
  };

  ReadAhead(InputFile& input, std::unique_ptr<char[]> first) {
    (void)emptied.Push(std::move(first));
    thread = std::thread([this, &input] { Run(input); });
  }

  ~ReadAhead() {
    emptied.Stop();
    read.Stop();
    thread.join();
  }

  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Waits for the block read ahead. After one with end or error set, there
  // is no other.
  Block Take() {
    Block block;
    if (!read.Pop(block)) {
      block.error = std::make_error_code(std::errc::operation_canceled);
    }
    return block;
  }

  // A buffer of ReadAheadBufferSize bytes or more to read the next block into.
  void Give(std::unique_ptr<char[]> emptiedBuffer) { (void)emptied.Push(std::move(emptiedBuffer)); }

 private:
  void Run(InputFile& input) {
    for (std::unique_ptr<char[]> storage; emptied.Pop(storage);) {
      Block next;
      next.storage = std::move(storage);
      next.error = ReadFully(input, next.storage.get() + ReadHeadroom, ReadBlockSize, next.size, next.end);
      const bool last = next.end || next.error;
      if (!read.Push(std::move(next)) || last) {
        return;
      }
    }
  }

  BlockQueue<std::unique_ptr<char[]>> emptied{1};
  BlockQueue<Block> read{1};
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
    return Fail(std::make_error_code(std::errc::no_such_file_or_directory));
  }
  if (const std::error_code cause = file.Open(path)) {
    return Fail(cause);
  }
  buffer.reset(new (std::nothrow) char[ReadAheadBufferSize + CopySlack]);
  if (!buffer) {
    return Fail(std::make_error_code(std::errc::not_enough_memory));
  }
  capacity = ReadAheadBufferSize;
  return true;
}

bool CsvFileHandle::ReadBlock(std::string_view& bytes) {
  bytes = {};
  if (!buffer || error || (!atEnd && !Fill()) || consumed == filled) {
    return false;
  }
  bytes = std::string_view(buffer.get() + consumed, filled - consumed);
  return true;
}

std::string CsvFileHandle::ReadLine() {
  std::size_t searched = 0;  // no newline lies in the first searched unconsumed bytes
  while (buffer && !error) {
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

bool CsvFileHandle::ReadAt(std::uint64_t at, char* into, std::size_t count, std::size_t& got) {
  got = 0;
  while (buffer && !error && got < count) {
    std::size_t n = 0;
    if (const std::error_code failure = file.ReadAt(at + got, into + got, count - got, n)) {
      error = failure;
      break;
    }
    if (n == 0) {
      break;
    }
    got += n;
  }
  // Bytes given once before that cannot be read again mean the file has
  // been cut short meanwhile: what was converted no longer fits together.
  // (What was given is known here; how far the reader has got is its own.)
  if (buffer && !error && got < count && at + count <= offset + (filled - consumed)) {
    error = std::make_error_code(std::errc::io_error);
  }
  return buffer && !error;
}

void CsvFileHandle::Close() noexcept {
  // The thread goes first: it may be reading.
  readAhead.reset();
  file.Close();
  buffer.reset();
  capacity = 0;
  consumed = 0;
  offset = 0;
  filled = 0;
  atEnd = false;
}

bool CsvFileHandle::Fail(std::error_code cause) {
  Close();
  error = cause;
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
    std::unique_ptr<char[]> larger(new (std::nothrow) char[2 * capacity + CopySlack]);
    if (!larger) {
      error = std::make_error_code(std::errc::not_enough_memory);
      return false;
    }
    std::memcpy(larger.get(), buffer.get(), filled);
    buffer = std::move(larger);
    capacity *= 2;
  }
  std::size_t got = 0;
  const std::error_code failure = ReadFully(file, buffer.get() + filled, capacity - filled, got, atEnd);
  filled += got;
  if (failure) {
    error = failure;
    return false;
  }
  if (!atEnd && file.IsRegular()) {
    std::unique_ptr<char[]> second(new (std::nothrow) char[ReadAheadBufferSize + CopySlack]);
    if (second) {
      readAhead = std::make_unique<ReadAhead>(file, std::move(second));
    }
  }
  return true;
}

bool CsvFileHandle::FillFromReadAhead() {
  ReadAhead::Block block = readAhead->Take();
  const std::size_t unconsumed = filled - consumed;
  if (!block.error && unconsumed <= ReadHeadroom) {
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
    if (block.error) {
      error = block.error;
      return false;
    }
    if (capacity < wanted || capacity - filled < block.size) {
      wanted = std::max(wanted, filled + block.size);
      std::unique_ptr<char[]> larger(new (std::nothrow) char[wanted + CopySlack]);
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
