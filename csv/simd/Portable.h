#pragma once

// What every processor runs: byte loops the compiler may widen as it can,
// bit counts in plain arithmetic, and copies through memcpy of a fixed size.
// The scan's other paths put wider instructions in place of some of these.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "csv/simd/Target.h"

namespace rungwell::simd {

// The scan classifies 64 bytes at a time, into a bit each of a 64-bit mask.
inline constexpr std::size_t BlockSize = 64;

// Copies go in steps of this many bytes.
inline constexpr std::size_t CopyStep = 64;

// Comparing all 64 bytes of a block with a byte value at once.
struct PortableVector {
  struct Block {
    const char* bytes;
  };
  static Block Load(const char* block) noexcept { return {block}; }
  static std::uint64_t Equal(const Block& block, unsigned char value) noexcept {
    std::uint64_t mask = 0;
    for (unsigned i = 0; i < BlockSize; ++i) {
      mask |= static_cast<std::uint64_t>(static_cast<unsigned char>(block.bytes[i]) == value) << i;
    }
    return mask;
  }
};

inline unsigned LowestBit(std::uint64_t bits) noexcept {
#if defined(__GNUC__)
  return static_cast<unsigned>(__builtin_ctzll(bits));
#else
  unsigned index = 0;
  for (; (bits & 1U) == 0; bits >>= 1U) {
    ++index;
  }
  return index;
#endif
}

inline unsigned HighestBit(std::uint64_t bits) noexcept {
#if defined(__GNUC__)
  return 63U - static_cast<unsigned>(__builtin_clzll(bits));
#else
  unsigned index = 63;
  for (; (bits >> index) == 0; --index) {
  }
  return index;
#endif
}

// The bit operations that pick the level field's separator and follow the
// quotation marks: how many bits a mask has, where its (n+1)th bit is, and
// the running parity of its bits.
struct PortableBits {
  static unsigned Count(std::uint64_t bits) noexcept {
    // Without the instruction, the compiler's own count is a call; this is not.
    bits -= (bits >> 1U) & 0x5555555555555555U;
    bits = (bits & 0x3333333333333333U) + ((bits >> 2U) & 0x3333333333333333U);
    bits = (bits + (bits >> 4U)) & 0x0F0F0F0F0F0F0F0FU;
    return static_cast<unsigned>((bits * 0x0101010101010101U) >> 56U);
  }

  // The top bit keeps the result defined when bits has no more than n bits;
  // it is not used then.
  static unsigned Nth(std::uint64_t bits, unsigned n) noexcept {
    for (unsigned i = 0; i < n; ++i) {
      bits &= bits - 1;
    }
    return LowestBit(bits | (std::uint64_t{1} << 63U));
  }

  // Bit i of the result is the parity of the bits 0 to i of bits.
  static std::uint64_t PrefixParity(std::uint64_t bits) noexcept {
    for (unsigned shift = 1; shift < BlockSize; shift *= 2) {
      bits ^= bits << shift;
    }
    return bits;
  }
};

// Copies count bytes in steps of CopyStep, which become a few vector moves,
// where a call to memcpy would first have to look at the size. The first
// Ahead bytes are copied whatever count is, so that the usual short piece
// takes no branch that depends on its length. Up to Ahead or CopyStep - 1
// bytes past the end of either side are read or overwritten.
struct PortableCopy {
  template <std::size_t Ahead>
  static RUNGWELL_INLINE void Over(char* to, const char* from, std::size_t count) noexcept {
    std::memcpy(to, from, Ahead);
    for (std::size_t done = Ahead; done < count; done += CopyStep) {
      std::memcpy(to + done, from + done, CopyStep);
    }
  }
};

}  // namespace rungwell::simd
