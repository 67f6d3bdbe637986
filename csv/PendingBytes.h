#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <system_error>

#include "csv/ByteSink.h"
#include "csv/Outcome.h"

namespace rungwell {

// An input that can give bytes it gave before once more, as a regular file
// can and a pipe cannot.
class EarlierBytes {
 public:
  virtual ~EarlierBytes() = default;

  // Reads the count bytes at offset at again into into: all of them, or
  // says why not.
  virtual std::error_code ReadAgain(std::uint64_t at, char* into, std::size_t count) = 0;

 protected:
  EarlierBytes() = default;
  EarlierBytes(const EarlierBytes&) = default;
  EarlierBytes& operator=(const EarlierBytes&) = default;
};

// The bytes of a line whose level was still unknown when the block that held
// them was let go: they are written once the level is known, after its
// indentation, in the order they were let go, each once. They are held in
// memory, in pieces, so that holding a long line never copies it into a
// larger buffer; for an input that can give them again, only a run of up to
// keptRun bytes is held, and a longer one is read again, straight into the
// sink's blocks, so that memory stays flat however long a line's start.
class PendingBytes {
 public:
  // Holds every pending byte: memory grows by the longest run of bytes
  // before a line's level.
  PendingBytes() = default;
  PendingBytes(EarlierBytes& input, std::size_t keptRun) : earlier(&input), most(keptRun) {}

  // The bytes at offset, the end of a block, are let go but not yet written.
  void Keep(std::uint64_t offset, std::string_view bytes);

  // Writes the input's bytes from offset from up to offset to, the first
  // pending ones, to sink.
  Outcome WriteTo(ByteSink& sink, std::uint64_t from, std::uint64_t to);

 private:
  Outcome WriteHeld(ByteSink& sink, std::uint64_t count);
  Outcome ReadAgain(ByteSink& sink, std::uint64_t from, std::uint64_t to);

  EarlierBytes* earlier = nullptr;
  std::size_t most = 0;
  std::uint64_t runStart = 0;  // the pending bytes are those from runStart
  std::uint64_t runEnd = 0;    // to runEnd
  bool dropped = false;        // too many to hold: they are read again
  std::deque<std::string> pieces;
  std::size_t written = 0;  // of the first piece
};

}  // namespace rungwell
