#pragma once

// The bit instructions of newer x86-64 processors: a count, a deposit that
// finds the nth set bit, and a carry-less multiplication for the running
// parity.

#include <cstdint>

#include "csv/simd/Portable.h"
#include "csv/simd/Target.h"

#ifdef RUNGWELL_X86

namespace rungwell::simd {

// pdep puts a single bit on the (n+1)th set bit of the mask in one step.
struct Bmi2Bits {
  RUNGWELL_TARGET(RUNGWELL_BMI2) static inline unsigned Count(std::uint64_t bits) noexcept {
    return static_cast<unsigned>(_mm_popcnt_u64(bits));
  }
  RUNGWELL_TARGET(RUNGWELL_BMI2) static inline unsigned Nth(std::uint64_t bits, unsigned n) noexcept {
    return static_cast<unsigned>(_tzcnt_u64(_pdep_u64(std::uint64_t{1} << n, bits)));
  }
  static RUNGWELL_INLINE std::uint64_t PrefixParity(std::uint64_t bits) noexcept {
    return PortableBits::PrefixParity(bits);
  }
};

// A carry-less multiplication by all ones is the running parity in one step.
struct ClmulBits : Bmi2Bits {
  RUNGWELL_TARGET("pclmul,sse2") static inline std::uint64_t PrefixParity(std::uint64_t bits) noexcept {
    const __m128i product = _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(bits)),
                                                 _mm_set1_epi8(static_cast<char>(0xFF)), 0);
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
  }
};

}  // namespace rungwell::simd

#endif
