#pragma once

// 32-byte compares and copies.

#include <cstddef>
#include <cstdint>

#include "csv/simd/Portable.h"
#include "csv/simd/Target.h"

#ifdef RUNGWELL_X86

namespace rungwell::simd {

struct Avx2Vector {
  struct Block {
    __m256i low;
    __m256i high;
  };
  RUNGWELL_TARGET(RUNGWELL_AVX2) static inline Block Load(const char* block) noexcept {
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block)),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32))};
  }
  RUNGWELL_TARGET(RUNGWELL_AVX2)
  static inline std::uint64_t Equal(const Block& block, unsigned char value) noexcept {
    const __m256i wanted = _mm256_set1_epi8(static_cast<char>(value));
    const auto low = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(block.low, wanted)));
    const auto high = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(block.high, wanted)));
    return static_cast<std::uint64_t>(high) << 32U | low;
  }
};

// As PortableCopy, two 32-byte moves a step.
struct Avx2Copy {
  RUNGWELL_TARGET(RUNGWELL_AVX2) static inline void Step(char* to, const char* from) noexcept {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 32));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), low);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 32), high);
  }
  template <std::size_t Ahead>
  RUNGWELL_TARGET(RUNGWELL_AVX2)
  static inline void Over(char* to, const char* from, std::size_t count) noexcept {
    for (std::size_t done = 0; done < Ahead; done += CopyStep) {
      Step(to + done, from + done);
    }
    for (std::size_t done = Ahead; done < count; done += CopyStep) {
      Step(to + done, from + done);
    }
  }
};

}  // namespace rungwell::simd

#endif
