#include "io/CsvFileHandle.h"

#include <new>
#include <thread>
#include <utility>

#include "io/BlockQueue.h"

namespace rungwell {

namespace {

// Reads until count bytes have come or the file ends: a pipe gives a few KiB
// at a time, and a block of a pipe should cost what a block of a file costs.
// Returns why a read failed, if one did.
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

}  // namespace

// Two buffers take turns: the thread reads the next block into one while the
// caller scans the other. The thread reads only into a buffer it was given,
// so nothing it touches is in the caller's hands.
class CsvFileHandle::ReadAhead {
 public:
  struct Block {
    BlockMemory storage;
    std::size_t size = 0;
    bool end = false;
    std::error_code error;
  };

  ReadAhead(InputFile& input, BlockMemory first) {
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

  // A buffer of ReadBlockSize bytes or more to read the next block into.
  void Give(BlockMemory emptiedBuffer) { (void)emptied.Push(std::move(emptiedBuffer)); }

 private:
  void Run(InputFile& input) {
    for (BlockMemory storage; emptied.Pop(storage);) {
      Block next;
      next.storage = std::move(storage);
      next.error = ReadFully(input, next.storage.get(), ReadBlockSize, next.size, next.end);
      const bool last = next.end || next.error;
      if (!read.Push(std::move(next)) || last) {
        return;
      }
    }
  }

  BlockQueue<BlockMemory> emptied{1};
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
  return TakeBuffer();
}

bool CsvFileHandle::OpenStandardInput() {
  Close();
  error.clear();
  if (const std::error_code cause = file.OpenStandardInput()) {
    return Fail(cause);
  }
  return TakeBuffer();
}

bool CsvFileHandle::TakeBuffer() {
  buffer = NewBlock(ReadBlockSize + BufferSlack, std::nothrow);
  if (!buffer) {
    return Fail(std::make_error_code(std::errc::not_enough_memory));
  }
  return true;
}

bool CsvFileHandle::ReadBlock(std::string_view& bytes) {
  bytes = {};
  if (!buffer || error || atEnd) {
    return false;
  }
  offset += size;
  size = 0;
  if (readAhead) {
    ReadAhead::Block next = readAhead->Take();
    if (next.error) {
      error = next.error;
      return false;
    }
    // The block just given goes to take the one after the next.
    std::swap(buffer, next.storage);
    size = next.size;
    atEnd = next.end;
    if (!atEnd) {
      readAhead->Give(std::move(next.storage));
    }
  } else {
    if (const std::error_code failure = ReadFully(file, buffer.get(), ReadBlockSize, size, atEnd)) {
      error = failure;
      return false;
    }
    if (!atEnd && file.IsRegular()) {
      BlockMemory second = NewBlock(ReadBlockSize + BufferSlack, std::nothrow);
      if (second) {
        readAhead = std::make_unique<ReadAhead>(file, std::move(second));
      }
    }
  }
  if (size == 0) {
    return false;
  }
  bytes = std::string_view(buffer.get(), size);
  return true;
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
  if (buffer && !error && got < count && at + count <= offset + size) {
    error = std::make_error_code(std::errc::io_error);
  }
  return buffer && !error;
}

std::error_code CsvFileHandle::ReadExactlyAt(std::uint64_t at, char* into, std::size_t count) const {
  for (std::size_t got = 0; got < count;) {
    std::size_t n = 0;
    if (const std::error_code failure = file.ReadAt(at + got, into + got, count - got, n)) {
      return failure;
    }
    if (n == 0) {
      // The file has become shorter than it was: what was read of it no longer fits together.
      return std::make_error_code(std::errc::io_error);
    }
    got += n;
  }
  return {};
}

void CsvFileHandle::Close() noexcept {
  // The thread goes first: it may be reading.
  readAhead.reset();
  file.Close();
  buffer.reset();
  size = 0;
  offset = 0;
  atEnd = false;
}

bool CsvFileHandle::Fail(std::error_code cause) {
  Close();
  error = cause;
  return false;
}

}  // namespace rungwell
