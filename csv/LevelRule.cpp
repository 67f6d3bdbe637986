#include "csv/LevelRule.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "csv/Indentation.h"

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(RUNGWELL_NO_SIMD)
#include <emmintrin.h>
#define RUNGWELL_SSE2 1
#endif

#if defined(RUNGWELL_SSE2) && defined(__GNUC__)
#include <immintrin.h>
// The scan is compiled a second time for processors with BMI2, and that copy
// is chosen at run time where the processor has it.
#define RUNGWELL_BMI2 1
#define RUNGWELL_TARGET_BMI2 __attribute__((target("bmi,bmi2,popcnt")))
#define RUNGWELL_INLINE inline __attribute__((always_inline))
#else
#define RUNGWELL_INLINE inline
#endif

namespace rungwell {

namespace {

constexpr std::size_t BlockSize = 64;

// Bit i is set where byte i of a 64-byte block is a newline, a comma or a
// quotation mark.
struct BlockMasks {
  std::uint64_t newlines;
  std::uint64_t commas;
  std::uint64_t quotes;
};

BlockMasks Classify(const char* block) noexcept {
  BlockMasks masks{0, 0, 0};
#ifdef RUNGWELL_SSE2
  const __m128i newline = _mm_set1_epi8('\n');
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i quote = _mm_set1_epi8('"');
  const auto bits = [](__m128i equal, unsigned shift) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(equal))) << shift;
  };
  for (unsigned part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + std::size_t{16} * part));
    masks.newlines |= bits(_mm_cmpeq_epi8(bytes, newline), 16U * part);
    masks.commas |= bits(_mm_cmpeq_epi8(bytes, comma), 16U * part);
    masks.quotes |= bits(_mm_cmpeq_epi8(bytes, quote), 16U * part);
  }
#else
  for (unsigned i = 0; i < BlockSize; ++i) {
    masks.newlines |= static_cast<std::uint64_t>(block[i] == '\n') << i;
    masks.commas |= static_cast<std::uint64_t>(block[i] == ',') << i;
    masks.quotes |= static_cast<std::uint64_t>(block[i] == '"') << i;
  }
#endif
  return masks;
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

// The two bit operations that pick the level field's separator: how many
// bits a mask has, and where its (n+1)th bit is, for n below LevelColumn.
struct PortableBits {
  static unsigned Count(std::uint64_t bits) noexcept {
#if defined(__GNUC__) && defined(__POPCNT__)
    return static_cast<unsigned>(__builtin_popcountll(bits));
#else
    // Without the instruction, the compiler's own count is a call; this is not.
    bits -= (bits >> 1U) & 0x5555555555555555U;
    bits = (bits & 0x3333333333333333U) + ((bits >> 2U) & 0x3333333333333333U);
    bits = (bits + (bits >> 4U)) & 0x0F0F0F0F0F0F0F0FU;
    return static_cast<unsigned>((bits * 0x0101010101010101U) >> 56U);
#endif
  }

  // Clears the lowest bit a fixed number of times, each only when needed,
  // so that no branch depends on n. The top bit keeps the result defined
  // when bits has no more than n bits; it is not used then.
  static unsigned Nth(std::uint64_t bits, unsigned n) noexcept {
    for (unsigned i = 0; i + 1 < LevelColumn; ++i) {
      bits &= bits - static_cast<std::uint64_t>(i < n);
    }
    return LowestBit(bits | (std::uint64_t{1} << 63U));
  }
};

#ifdef RUNGWELL_BMI2
// pdep puts a single bit on the (n+1)th set bit of the mask in one step.
struct Bmi2Bits {
  RUNGWELL_TARGET_BMI2 static unsigned Count(std::uint64_t bits) noexcept {
    return static_cast<unsigned>(_mm_popcnt_u64(bits));
  }
  RUNGWELL_TARGET_BMI2 static unsigned Nth(std::uint64_t bits, unsigned n) noexcept {
    return static_cast<unsigned>(_tzcnt_u64(_pdep_u64(std::uint64_t{1} << n, bits)));
  }
};
#endif

// All ones when bit i of bits is set, else zero.
std::uint64_t SpreadBit(std::uint64_t bits, unsigned i) noexcept {
  return std::uint64_t{0} - ((bits >> i) & 1U);
}

bool IsCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}

// The scan counts the separators before the level field, so there must be
// some, and picks the last of them by its rank in a 64-bit mask.
static_assert(LevelColumn > 0 && LevelColumn <= 64, "the scan handles level columns 1 to 64");

// Where the scan stands in the line it is in.
struct LineState {
  std::size_t start = 0;                  // offset of the line's first byte
  std::size_t fieldStart = 0;             // offset of the level field's first byte, once found
  unsigned separatorsToGo = LevelColumn;  // commas outside quotation marks before the level field
  std::uint64_t quoteFlip = 0;            // all ones when the line's quoting is the opposite of the block's
};

// Counts off the separators that one line has in the block at offset at, and
// notes where the level field starts should it be among them. Where it
// starts varies from line to line, so the choice is made without branches.
template <typename Bits>
RUNGWELL_INLINE void PassSeparators(LineState& line, std::uint64_t separators, std::size_t at) noexcept {
  const unsigned count = Bits::Count(separators);
  const bool reached = line.separatorsToGo > 0 && count >= line.separatorsToGo;
  const unsigned last = Bits::Nth(separators, line.separatorsToGo > 0 ? line.separatorsToGo - 1 : 0);
  line.fieldStart = reached ? at + last + 1 : line.fieldStart;
  line.separatorsToGo = count >= line.separatorsToGo ? 0 : line.separatorsToGo - count;
}

// The level field runs from fieldStart to the next comma outside quotation
// marks, or to the line's end. Reading it like atoi needs no more than its
// start: the reading stops at the first comma, quoted or not, and at the
// line's end, so it never meets the field's end otherwise.
void EndLine(std::string_view bytes, LineState& line, std::size_t end, std::vector<LineIndent>& indents) {
  const std::size_t from = line.separatorsToGo == 0 ? line.fieldStart : end;
  const char* field = bytes.data() + from;
  // Most levels are one digit and the end of the field.
  const std::int32_t level = end - from >= 2 && IsDigit(field[0]) && !IsDigit(field[1])
                                 ? field[0] - '0'
                                 : ParseLevel(std::string_view(field, end - from));
  if (level > 1) {
    indents.push_back({line.start, IndentCount(level)});
  }
  line.start = end;
  line.separatorsToGo = LevelColumn;
}

// Each 64-byte block is classified once. Its newlines end lines; its commas
// and quotation marks matter only until a line's level field is found. A
// comma separates fields when the quotation marks before it on its line are
// even in number. That is the quote-toggle rule seen from the line's start:
// since a field can only end while its toggle is off, every field starts with
// it off, and a line-wide parity gives the same fields as one kept per field.
// The parity form lets a whole block be judged at once, from the parity of
// the block's own marks, flipped where the line started at an odd count.
template <typename Bits>
RUNGWELL_INLINE std::size_t ScanWith(std::string_view bytes, bool final, std::vector<LineIndent>& indents) {
  LineState line;
  for (std::size_t at = 0; at < bytes.size(); at += BlockSize) {
    const char* block = bytes.data() + at;
    // The last, partial block is read from a zero-padded copy, so that no byte
    // past the input is touched; a zero byte is no byte the scan looks for.
    char tail[BlockSize];
    if (bytes.size() - at < BlockSize) {
      std::memset(tail, 0, sizeof tail);
      std::memcpy(tail, block, bytes.size() - at);
      block = tail;
    }
    const BlockMasks masks = Classify(block);
    const std::uint64_t parity = PrefixParity(masks.quotes);
    std::uint64_t ahead = ~std::uint64_t{0};  // bits of the block from the current line's start on
    for (std::uint64_t newlines = masks.newlines;; newlines &= newlines - 1) {
      const std::uint64_t newline = newlines & (std::uint64_t{0} - newlines);  // the lowest, or none
      // The line's part of the block: through its newline, or to the block's end.
      const std::uint64_t part = ahead & ((newline << 1U) - 1);
      PassSeparators<Bits>(line, masks.commas & part & ~(parity ^ line.quoteFlip), at);
      if (newline == 0) {
        // The line goes on into the next block, quoted as it is at this one's end.
        line.quoteFlip = SpreadBit(parity ^ line.quoteFlip, BlockSize - 1);
        break;
      }
      const unsigned end = LowestBit(newline);
      EndLine(bytes, line, at + end + 1, indents);
      // The next line starts unquoted, whatever the marks before it.
      line.quoteFlip = SpreadBit(parity, end);
      ahead = ~((newline << 1U) - 1);
    }
  }
  if (final && line.start < bytes.size()) {
    EndLine(bytes, line, bytes.size(), indents);
  }
  return line.start;
}

#ifdef RUNGWELL_BMI2
RUNGWELL_TARGET_BMI2 std::size_t ScanWithBmi2(std::string_view bytes, bool final, std::vector<LineIndent>& indents) {
  return ScanWith<Bmi2Bits>(bytes, final, indents);
}
#endif

}  // namespace

std::size_t ScanLines(std::string_view bytes, bool final, std::vector<LineIndent>& indents) {
#ifdef RUNGWELL_BMI2
  static const bool bmi2 = __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
  if (bmi2) {
    return ScanWithBmi2(bytes, final, indents);
  }
#endif
  return ScanWith<PortableBits>(bytes, final, indents);
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

}  // namespace rungwell
