#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "csv/ByteSink.h"

namespace rungwell {

// The bytes of a line whose level was still unknown when the block that held
// them was let go: they are written once the level is known, after its
// indentation. An input that can be read again (a regular file) gives them
// again; one that cannot (a pipe) has them held.
class PendingBytes {
 public:
  virtual ~PendingBytes() = default;

  // The bytes at offset, the end of a block, are let go but not yet written.
  virtual void Keep(std::uint64_t offset, std::string_view bytes) = 0;

  // Writes the input's bytes from offset from up to offset to, to sink: the
  // first pending bytes, in the order they were let go. They are not asked
  // for again. False when that failed.
  virtual bool WriteTo(ByteSink& sink, std::uint64_t from, std::uint64_t to) = 0;

 protected:
  PendingBytes() = default;
  PendingBytes(const PendingBytes&) = default;
  PendingBytes& operator=(const PendingBytes&) = default;
};

// Pending bytes held in memory, for an input that cannot give them again. They
// are kept in pieces, so that holding a long line never copies it into a
// larger buffer; memory grows by the longest run of bytes before a line's
// level.
class HeldBytes final : public PendingBytes {
 public:
  void Keep(std::uint64_t offset, std::string_view bytes) override;
  bool WriteTo(ByteSink& sink, std::uint64_t from, std::uint64_t to) override;

 private:
  std::deque<std::string> pieces;
  std::size_t written = 0;  // of the first piece
};

}  // namespace rungwell
