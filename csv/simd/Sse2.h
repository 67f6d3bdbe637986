#pragma once

// 16-byte compares, which every x86-64 processor has.

#include <cstddef>
#include <cstdint>

#include "csv/simd/Target.h"

#ifdef RUNGWELL_X86

namespace rungwell::simd {

struct Sse2Vector {
  struct Block {
    __m128i parts[4];
  };
  static RUNGWELL_INLINE Block Load(const char* block) noexcept {
    Block loaded;
    for (unsigned part = 0; part < 4; ++part) {
      loaded.parts[part] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + std::size_t{16} * part));
    }
    return loaded;
  }
  static RUNGWELL_INLINE std::uint64_t Equal(const Block& block, unsigned char value) noexcept {
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
    std::uint64_t mask = 0;
    for (unsigned part = 0; part < 4; ++part) {
      const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block.parts[part], wanted)));
      mask |= static_cast<std::uint64_t>(bits) << (16U * part);
    }
    return mask;
  }
};

}  // namespace rungwell::simd

#endif
