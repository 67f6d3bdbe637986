#pragma once

#include <cstddef>
#include <string_view>

#include "csv/Outcome.h"

namespace rungwell {

// Bytes past the end of an input block, and past the room a sink gives, that
// the conversion may read or overwrite: short pieces are copied in fixed
// steps instead of by a call that must first look at their size.
inline constexpr std::size_t CopySlack = 128;

// Where converted bytes go: blocks of memory, filled either through Write or
// directly, which is faster for the many short pieces of a conversion.
class ByteSink {
 public:
  virtual ~ByteSink() = default;

  // The free part of the block being filled, moving on to an empty block
  // first when it is full: room bytes from the result on, at least one, may
  // be written, and CopySlack bytes after them may be overwritten with
  // anything. Null, with room 0, once writing has failed.
  virtual char* Free(std::size_t& room) = 0;

  // Keeps count bytes written at Free() as written.
  virtual void Fill(std::size_t count) noexcept = 0;

  // Writes bytes of any length, moving on to new blocks as they fill. False
  // once anything has failed; later calls then do nothing.
  virtual bool Write(std::string_view bytes) = 0;

  // Why writing failed, once it has: the write failed, or the reader went.
  virtual Outcome Failure() const = 0;

 protected:
  ByteSink() = default;
  ByteSink(const ByteSink&) = default;
  ByteSink& operator=(const ByteSink&) = default;
};

}  // namespace rungwell
