#pragma once

// The sizes of the buffers that input and output go through. A build with
// RUNGWELL_TINY_BUFFERS makes them a few dozen bytes, so that tests and fuzzing
// meet the edges of reads, of scan blocks and of output blocks at every turn.

#include <cstddef>

namespace rungwell {

#ifdef RUNGWELL_TINY_BUFFERS

// A little over two 64-byte scan blocks.
inline constexpr std::size_t ReadBlockSize = 157;
inline constexpr std::size_t OutputBufferSize = 53;

#else

// Size of each read from the input file, and of the blocks it is handed out
// in; lines are not limited by it. Large enough that the cost of each system
// call vanishes, small enough to stay in the processor's cache between the
// read and the scan.
inline constexpr std::size_t ReadBlockSize = std::size_t{1} << 20;

// Bytes gathered into each block that goes to the output file in one write.
inline constexpr std::size_t OutputBufferSize = std::size_t{1} << 20;

#endif

// Bytes past the end of every read and output buffer that may be read or
// overwritten, for code that copies short pieces in fixed steps instead of
// by a call that must first look at their size.
inline constexpr std::size_t BufferSlack = 128;

}  // namespace rungwell
