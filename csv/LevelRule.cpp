#include "csv/LevelRule.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(RUNGWELL_NO_SIMD)
#include <emmintrin.h>
#define RUNGWELL_SSE2 1
#endif

namespace rungwell {

namespace {

constexpr std::size_t BlockSize = 64;

// Bit i is set where byte i of a 64-byte block is a comma or a quotation mark.
struct BlockMasks {
  std::uint64_t commas;
  std::uint64_t quotes;
};

BlockMasks Classify(const char* block) noexcept {
#ifdef RUNGWELL_SSE2
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i quote = _mm_set1_epi8('"');
  BlockMasks masks{0, 0};
  for (unsigned part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + std::size_t{16} * part));
    const auto shift = 16U * part;
    masks.commas |=
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, comma))))
        << shift;
    masks.quotes |=
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote))))
        << shift;
  }
  return masks;
#else
  BlockMasks masks{0, 0};
  for (unsigned i = 0; i < BlockSize; ++i) {
    masks.commas |= static_cast<std::uint64_t>(block[i] == ',') << i;
    masks.quotes |= static_cast<std::uint64_t>(block[i] == '"') << i;
  }
  return masks;
#endif
}

// Bit i of the result is the parity of the bits 0 to i of bits.
std::uint64_t PrefixParity(std::uint64_t bits) noexcept {
  for (unsigned shift = 1; shift < BlockSize; shift *= 2) {
    bits ^= bits << shift;
  }
  return bits;
}

unsigned LowestBit(std::uint64_t bits) noexcept {
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

bool IsCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

// A comma separates fields when the quotation marks before it on the line are
// even in number. That is the quote-toggle rule seen from the line's start:
// since a field can only end while its toggle is off, every field starts with
// it off, and a line-wide parity gives the same fields as one kept per field.
// The parity form lets a whole block of bytes be judged at once.
std::string_view FindLevelField(std::string_view line) noexcept {
  int separators = 0;          // commas outside quotation marks so far
  std::size_t fieldStart = 0;  // where the level field starts, once separators reaches LevelColumn
  std::uint64_t quoted = 0;    // all ones while inside quotation marks
  for (std::size_t at = 0; at < line.size(); at += BlockSize) {
    const char* block = line.data() + at;
    // The last, partial block is read from a zero-padded copy, so that no byte
    // past the line is touched; a zero byte is neither comma nor quote.
    char tail[BlockSize];
    if (line.size() - at < BlockSize) {
      std::memset(tail, 0, sizeof tail);
      std::memcpy(tail, block, line.size() - at);
      block = tail;
    }
    const BlockMasks masks = Classify(block);
    const std::uint64_t inside = quoted ^ PrefixParity(masks.quotes);
    quoted = (inside >> 63U) != 0 ? ~std::uint64_t{0} : 0;
    for (std::uint64_t commas = masks.commas & ~inside; commas != 0; commas &= commas - 1) {
      const std::size_t position = at + LowestBit(commas);
      if (separators == LevelColumn) {
        return line.substr(fieldStart, position - fieldStart);
      }
      if (++separators == LevelColumn) {
        fieldStart = position + 1;
      }
    }
  }
  return separators == LevelColumn ? line.substr(fieldStart) : std::string_view();
}

std::string ExtractLevelField(const std::string& line) {
  return std::string(FindLevelField(line));
}

std::int32_t ParseLevel(std::string_view text) noexcept {
  std::size_t at = 0;
  while (at < text.size() && IsCSpace(text[at])) {
    ++at;
  }
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  // Accumulate in 64 bits and stop growing past the 32-bit range, so that any
  // number of digits clamps instead of overflowing.
  constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    magnitude = std::min(magnitude * 10 + (text[at] - '0'), Limit);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(value);
}

std::uint64_t IndentCount(std::int32_t level) noexcept {
  return level > 1 ? static_cast<std::uint64_t>(level) - 1 : 0;
}

}  // namespace rungwell
