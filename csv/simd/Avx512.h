#pragma once

// 64-byte compares and copies: a whole block in one register.

#include <cstddef>
#include <cstdint>

#include "csv/simd/Portable.h"
#include "csv/simd/Target.h"

#ifdef RUNGWELL_X86

namespace rungwell::simd {

struct Avx512Vector {
  struct Block {
    __m512i bytes;
  };
  RUNGWELL_TARGET(RUNGWELL_AVX512) static inline Block Load(const char* block) noexcept {
    return {_mm512_loadu_si512(block)};
  }
  RUNGWELL_TARGET(RUNGWELL_AVX512)
  static inline std::uint64_t Equal(const Block& block, unsigned char value) noexcept {
    return _mm512_cmpeq_epi8_mask(block.bytes, _mm512_set1_epi8(static_cast<char>(value)));
  }
};

// As PortableCopy, one 64-byte move a step.
struct Avx512Copy {
  template <std::size_t Ahead>
  RUNGWELL_TARGET(RUNGWELL_AVX512)
  static inline void Over(char* to, const char* from, std::size_t count) noexcept {
    for (std::size_t done = 0; done < Ahead; done += CopyStep) {
      _mm512_storeu_si512(to + done, _mm512_loadu_si512(from + done));
    }
    for (std::size_t done = Ahead; done < count; done += CopyStep) {
      _mm512_storeu_si512(to + done, _mm512_loadu_si512(from + done));
    }
  }
};

}  // namespace rungwell::simd

#endif
