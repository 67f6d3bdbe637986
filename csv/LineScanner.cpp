#include "csv/LineScanner.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "csv/Vectors.h"

namespace rungwell {

namespace {

using State = LineScanner::State;
using Indents = std::vector<LineIndent>;

constexpr std::size_t BlockSize = 64;

// Bit i is set where byte i of a 64-byte block is the last byte of a line
// end, a separator or a quotation mark. Marking a character at its last byte
// lets 16-bit text use the same arithmetic as 8-bit text: the character after
// it starts one bit further on.
struct BlockMasks {
  std::uint64_t lineEnds;
  std::uint64_t separators;
  std::uint64_t quotes;
};

// One way of comparing all 64 bytes of a block with a byte value at once.
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

#ifdef RUNGWELL_X86
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
#endif

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

// The bit operations that pick the level field's separator and follow the
// quotation marks: how many bits a mask has, where its (n+1)th bit is, for
// n below LevelColumn, and the running parity of its bits.
struct PortableBits {
  static unsigned Count(std::uint64_t bits) noexcept {
    // Without the instruction, the compiler's own count is a call; this is not.
    bits -= (bits >> 1U) & 0x5555555555555555U;
    bits = (bits & 0x3333333333333333U) + ((bits >> 2U) & 0x3333333333333333U);
    bits = (bits + (bits >> 4U)) & 0x0F0F0F0F0F0F0F0FU;
    return static_cast<unsigned>((bits * 0x0101010101010101U) >> 56U);
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

  // Bit i of the result is the parity of the bits 0 to i of bits.
  static std::uint64_t PrefixParity(std::uint64_t bits) noexcept {
    for (unsigned shift = 1; shift < BlockSize; shift *= 2) {
      bits ^= bits << shift;
    }
    return bits;
  }
};

#ifdef RUNGWELL_X86
// pdep puts a single bit on the (n+1)th set bit of the mask in one step.
struct Bmi2Bits {
  RUNGWELL_TARGET("bmi,bmi2,popcnt") static inline unsigned Count(std::uint64_t bits) noexcept {
    return static_cast<unsigned>(_mm_popcnt_u64(bits));
  }
  RUNGWELL_TARGET("bmi,bmi2,popcnt") static inline unsigned Nth(std::uint64_t bits, unsigned n) noexcept {
    return static_cast<unsigned>(_tzcnt_u64(_pdep_u64(std::uint64_t{1} << n, bits)));
  }
  static RUNGWELL_INLINE std::uint64_t PrefixParity(std::uint64_t bits) noexcept {
    return PortableBits::PrefixParity(bits);
  }
};

// A carry-less multiplication by all ones is the running parity in one step.
struct WideBits : Bmi2Bits {
  RUNGWELL_TARGET("pclmul,sse2") static inline std::uint64_t PrefixParity(std::uint64_t bits) noexcept {
    const __m128i product = _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(bits)),
                                                 _mm_set1_epi8(static_cast<char>(0xFF)), 0);
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
  }
};
#endif

// All ones when bit i of bits is set, else zero.
std::uint64_t SpreadBit(std::uint64_t bits, unsigned i) noexcept {
  return std::uint64_t{0} - ((bits >> i) & 1U);
}

constexpr std::uint16_t Lf = '\n';
constexpr std::uint16_t Cr = '\r';
constexpr std::uint16_t Quote = '"';

bool IsCSpace(std::uint16_t c) noexcept {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(std::uint16_t c) noexcept {
  return c >= '0' && c <= '9';
}

template <Encoding E>
constexpr std::size_t UnitSize = E == Encoding::Bytes ? 1 : 2;

// The character whose first byte is at p.
template <Encoding E>
RUNGWELL_INLINE std::uint16_t UnitAt(const char* p) noexcept {
  const unsigned first = static_cast<unsigned char>(p[0]);
  if constexpr (E == Encoding::Bytes) {
    return static_cast<std::uint16_t>(first);
  } else {
    const unsigned second = static_cast<unsigned char>(p[1]);
    return static_cast<std::uint16_t>(E == Encoding::Utf16Le ? first | second << 8U : first << 8U | second);
  }
}

// The bits of the odd bytes: the last byte of each 16-bit character.
constexpr std::uint64_t OddBytes = 0xAAAAAAAAAAAAAAAAU;

// Where a 16-bit character is, from where its low and its high byte match.
template <Encoding E>
RUNGWELL_INLINE std::uint64_t Characters(std::uint64_t low, std::uint64_t high) noexcept {
  return E == Encoding::Utf16Le ? (low << 1U) & high & OddBytes : low & (high << 1U) & OddBytes;
}

template <typename Vector, Encoding E>
RUNGWELL_INLINE BlockMasks Classify(const char* bytes, const Dialect& dialect) noexcept {
  const typename Vector::Block block = Vector::Load(bytes);
  BlockMasks masks{};
  if constexpr (E == Encoding::Bytes) {
    masks.lineEnds = Vector::Equal(block, Lf) | (dialect.crLineEnds ? Vector::Equal(block, Cr) : 0);
    masks.separators = Vector::Equal(block, static_cast<unsigned char>(dialect.separator));
    masks.quotes = Vector::Equal(block, Quote);
  } else {
    const std::uint64_t zero = Vector::Equal(block, 0);
    const auto separatorHigh = static_cast<unsigned char>(dialect.separator >> 8U);
    const std::uint64_t high = separatorHigh == 0 ? zero : Vector::Equal(block, separatorHigh);
    masks.lineEnds = Characters<E>(Vector::Equal(block, Lf), zero) |
                     (dialect.crLineEnds ? Characters<E>(Vector::Equal(block, Cr), zero) : 0);
    masks.separators = Characters<E>(Vector::Equal(block, static_cast<unsigned char>(dialect.separator)), high);
    masks.quotes = Characters<E>(Vector::Equal(block, Quote), zero);
  }
  return masks;
}

// The scan counts the separators before the level field, so there must be
// some, and picks the last of them by its rank in a 64-bit mask.
static_assert(LevelColumn > 0 && LevelColumn <= 64, "the scan handles level columns 1 to 64");

// Counts off the separators that the open line has in the block at offset
// at, and notes where the level field starts should it be among them. Where
// it starts varies from line to line, so the choice is made without branches.
template <typename Bits>
RUNGWELL_INLINE void PassSeparators(State& line, std::uint64_t separators, std::uint64_t at) noexcept {
  const unsigned count = Bits::Count(separators);
  const bool reached = line.separatorsToGo > 0 && count >= line.separatorsToGo;
  const unsigned last = Bits::Nth(separators, line.separatorsToGo > 0 ? line.separatorsToGo - 1 : 0);
  line.fieldStart = reached ? at + last + 1 : line.fieldStart;
  line.separatorsToGo = count >= line.separatorsToGo ? 0 : line.separatorsToGo - count;
}

// One character more of a level field; false once the reading is done. Kept
// inline, so that the scan's state never leaves its registers for it.
RUNGWELL_INLINE bool Take(LineScanner::LevelReading& reading, std::uint16_t unit, std::uint16_t separator) noexcept {
  using Phase = LineScanner::LevelReading::Phase;
  auto& [phase, negative, digits, quotedNumber, magnitude] = reading;
  // The field ends at its separator, even one that is white space (a tab)
  // or a digit; inside quotation marks there is none.
  if (unit == separator && phase <= Phase::Digits) {
    phase = Phase::Done;
    return false;
  }
  switch (phase) {
    case Phase::Space:
      if (IsCSpace(unit)) {
        return true;
      }
      if (unit == '+' || unit == '-') {
        negative = unit == '-';
        phase = Phase::Sign;
        return true;
      }
      if (unit == Quote) {
        phase = Phase::QuotedSpace;
        return true;
      }
      break;
    case Phase::Sign:
    case Phase::Digits:
      break;
    case Phase::QuotedSpace:
      if (IsCSpace(unit)) {
        return true;
      }
      if (unit == '+' || unit == '-') {
        phase = Phase::QuotedSign;
        return true;
      }
      quotedNumber = IsDigit(unit);
      phase = Phase::Done;
      return false;
    case Phase::QuotedSign:
      quotedNumber = IsDigit(unit);
      phase = Phase::Done;
      return false;
    case Phase::Done:
      return false;
  }
  if (IsDigit(unit)) {
    // Accumulated in 64 bits and kept from growing past the 32-bit range, so
    // that any number of digits clamps instead of overflowing.
    constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    magnitude = std::min(magnitude * 10 + (unit - '0'), Limit);
    digits = true;
    phase = Phase::Digits;
    return true;
  }
  phase = Phase::Done;
  return false;
}

RUNGWELL_INLINE void Record(State& line, std::int32_t level, const LineScanner::LevelReading& reading,
                            Indents& indents) {
  ScanTally& tally = line.tally;
  tally.levelFields += line.separatorsToGo == 0 ? 1 : 0;
  tally.numbers += reading.digits ? 1 : 0;
  tally.quotedNumbers += reading.quotedNumber ? 1 : 0;
  if (level > 1) {
    if (level <= MaxLevel) {
      // Filled in place: a whole struct built aside is stored in two halves
      // and loaded back in one, which the processor cannot forward.
      LineIndent& indent = indents.emplace_back();
      indent.lineStart = line.lineStart;
      indent.units = static_cast<std::uint64_t>(level) - 1;
      ++tally.indented;
    } else if (tally.tooDeep++ == 0) {
      tally.firstTooDeepLine = tally.lines + 1;
    }
  }
}

// Reads the level field of the open line as far as bytes go, from where it
// starts or from where an earlier piece left it; true once it is read.
template <Encoding E>
RUNGWELL_INLINE bool ReadLevel(State& line, std::string_view bytes, std::size_t end) {
  std::size_t at = line.reading ? 0 : static_cast<std::size_t>(line.fieldStart - line.base);
  line.reading = true;
  for (; at + UnitSize<E> <= end; at += UnitSize<E>) {
    if (!Take(line.level, UnitAt<E>(bytes.data() + at), line.dialect.separator)) {
      return true;
    }
  }
  return false;
}

// The open line ends at offset end of bytes; its characters end at unitsEnd
// (short of end only by the odd last byte of a 16-bit file).
template <Encoding E>
RUNGWELL_INLINE void EndLine(State& line, std::string_view bytes, std::size_t end, std::size_t unitsEnd,
                             Indents& indents) {
  constexpr std::size_t Unit = UnitSize<E>;
  if (!line.decided) {
    if (line.separatorsToGo > 0) {
      Record(line, 0, {}, indents);
    } else if (const std::size_t from = static_cast<std::size_t>(line.fieldStart - line.base);
               !line.reading && unitsEnd - from >= 2 * Unit && IsDigit(UnitAt<E>(bytes.data() + from)) &&
               !IsDigit(UnitAt<E>(bytes.data() + from + Unit)) &&
               UnitAt<E>(bytes.data() + from) != line.dialect.separator) {
      // Most levels are one digit and the end of the field.
      LineScanner::LevelReading digit;
      digit.digits = true;
      Record(line, UnitAt<E>(bytes.data() + from) - '0', digit, indents);
    } else {
      (void)ReadLevel<E>(line, bytes, unitsEnd);
      Record(line, line.level.Level(), line.level, indents);
    }
  }
  bool secondHalfOfCrLf = false;
  if (line.dialect.crLineEnds && unitsEnd >= Unit) {
    const std::uint16_t last = UnitAt<E>(bytes.data() + unitsEnd - Unit);
    secondHalfOfCrLf = line.lastEndedWithCr && last == Lf && line.base + end - line.lineStart == Unit;
    line.lastEndedWithCr = last == Cr;
  }
  line.tally.lines += secondHalfOfCrLf ? 0 : 1;
  line.lineStart = line.base + end;
  line.separatorsToGo = LevelColumn;
  line.decided = false;
  line.reading = false;
  line.level = {};
}

// Each 64-byte block is classified once. Its line ends end lines; its
// separators and quotation marks matter only until a line's level field is
// found. A separator divides fields when the quotation marks before it on its
// line are even in number. That is the quote-toggle rule seen from the line's
// start: since a field can only end while its toggle is off, every field
// starts with it off, and a line-wide parity gives the same fields as one kept
// per field. The parity form lets a whole block be judged at once, from the
// parity of the block's own marks, flipped where the line started at an odd
// count.
template <typename Vector, typename Bits, Encoding E>
RUNGWELL_INLINE void ScanPiece(State& line, std::string_view bytes, bool final, Indents& indents) {
  // A 16-bit character is never cut: an odd last byte belongs to no character.
  constexpr std::size_t Unit = UnitSize<E>;
  const std::size_t units = bytes.size() & ~(Unit - 1);
  for (std::size_t at = 0; at < units; at += BlockSize) {
    const char* block = bytes.data() + at;
    // The last, partial block is read from a zero-padded copy, so that no byte
    // past the input is touched; a zero byte is no character the scan looks for.
    char tail[BlockSize];
    if (units - at < BlockSize) {
      std::memset(tail, 0, sizeof tail);
      std::memcpy(tail, block, units - at);
      block = tail;
    }
    const BlockMasks masks = Classify<Vector, E>(block, line.dialect);
    const std::uint64_t parity = Bits::PrefixParity(masks.quotes);
    std::uint64_t ahead = ~std::uint64_t{0};  // bits of the block from the open line's start on
    for (std::uint64_t lineEnds = masks.lineEnds;; lineEnds &= lineEnds - 1) {
      const std::uint64_t lineEnd = lineEnds & (std::uint64_t{0} - lineEnds);  // the lowest, or none
      // The line's part of the block: through its end, or to the block's end.
      const std::uint64_t part = ahead & ((lineEnd << 1U) - 1);
      PassSeparators<Bits>(line, masks.separators & part & ~(parity ^ line.quoteFlip), line.base + at);
      if (lineEnd == 0) {
        // The line goes on into the next block, quoted as it is at this one's end.
        line.quoteFlip = SpreadBit(parity ^ line.quoteFlip, BlockSize - 1);
        break;
      }
      const std::size_t end = at + LowestBit(lineEnd) + 1;
      EndLine<E>(line, bytes, end, end, indents);
      // The next line starts unquoted, whatever the marks before it.
      line.quoteFlip = SpreadBit(parity, LowestBit(lineEnd));
      ahead = ~((lineEnd << 1U) - 1);
    }
  }
  if (final) {
    if (line.lineStart < line.base + bytes.size()) {
      EndLine<E>(line, bytes, bytes.size(), units, indents);
    }
  } else if (!line.decided && line.separatorsToGo == 0 && ReadLevel<E>(line, bytes, units)) {
    // The level is known before the line ends: the rest of it can go as it comes.
    Record(line, line.level.Level(), line.level, indents);
    line.decided = true;
  }
  line.base += bytes.size();
}

template <typename Vector, typename Bits>
struct KernelsOf {
  template <Encoding E>
  static void Scan(State& line, std::string_view bytes, bool final, Indents& indents) {
    ScanPiece<Vector, Bits, E>(line, bytes, final, indents);
  }
};

#ifdef RUNGWELL_X86
// The wider kernels, compiled for the instructions they use.
#define RUNGWELL_KERNELS(Name, Features, Vector, Bits)                                    \
  struct Name {                                                                           \
    template <Encoding E>                                                                 \
    RUNGWELL_TARGET(Features)                                                             \
    static void Scan(State& line, std::string_view bytes, bool final, Indents& indents) { \
      ScanPiece<Vector, Bits, E>(line, bytes, final, indents);                            \
    }                                                                                     \
  };
RUNGWELL_KERNELS(Bmi2Kernels, "bmi,bmi2,popcnt", Sse2Vector, Bmi2Bits)
RUNGWELL_KERNELS(Avx2Kernels, RUNGWELL_AVX2, Avx2Vector, WideBits)
RUNGWELL_KERNELS(Avx512Kernels, RUNGWELL_AVX512, Avx512Vector, WideBits)
#undef RUNGWELL_KERNELS
#endif

using Kernel = void (*)(State&, std::string_view, bool, Indents&);

template <typename Kernels>
Kernel For(Encoding encoding) {
  switch (encoding) {
    case Encoding::Utf16Le:
      return &Kernels::template Scan<Encoding::Utf16Le>;
    case Encoding::Utf16Be:
      return &Kernels::template Scan<Encoding::Utf16Be>;
    case Encoding::Bytes:
      break;
  }
  return &Kernels::template Scan<Encoding::Bytes>;
}

Kernel KernelFor(ScanPath path, Encoding encoding) {
  switch (path) {
#ifdef RUNGWELL_X86
    case ScanPath::Avx512:
      return For<Avx512Kernels>(encoding);
    case ScanPath::Avx2:
      return For<Avx2Kernels>(encoding);
    case ScanPath::Bmi2:
      return For<Bmi2Kernels>(encoding);
    case ScanPath::Sse2:
      return For<KernelsOf<Sse2Vector, PortableBits>>(encoding);
#else
    default:
#endif
    case ScanPath::Portable:
      break;
  }
  return For<KernelsOf<PortableVector, PortableBits>>(encoding);
}

constexpr ScanPath AllPaths[] = {ScanPath::Portable, ScanPath::Sse2, ScanPath::Bmi2, ScanPath::Avx2, ScanPath::Avx512};

}  // namespace

bool CanRun(ScanPath path) {
#ifdef RUNGWELL_X86
  switch (path) {
    case ScanPath::Portable:
    case ScanPath::Sse2:
      return true;
    case ScanPath::Bmi2:
      return __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    case ScanPath::Avx2:
      return CanRun(ScanPath::Bmi2) && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("pclmul");
    case ScanPath::Avx512:
      return CanRun(ScanPath::Avx2) && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  }
  return false;
#else
  return path == ScanPath::Portable;
#endif
}

const char* ScanPathName(ScanPath path) {
  switch (path) {
    case ScanPath::Portable:
      return "portable";
    case ScanPath::Sse2:
      return "sse2";
    case ScanPath::Bmi2:
      return "bmi2";
    case ScanPath::Avx2:
      return "avx2";
    case ScanPath::Avx512:
      return "avx512";
  }
  return "?";
}

ScanPath BestScanPath() {
  static const ScanPath best = [] {
    const char* cap = std::getenv("RUNGWELL_SCAN");
    ScanPath chosen = ScanPath::Portable;
    for (const ScanPath path : AllPaths) {
      if (CanRun(path)) {
        chosen = path;
      }
      if (cap != nullptr && std::string(cap) == ScanPathName(path)) {
        break;
      }
    }
    return chosen;
  }();
  return best;
}

LineScanner::LineScanner(const Dialect& dialect, std::uint64_t start, ScanPath path)
    : kernel(KernelFor(CanRun(path) ? path : BestScanPath(), dialect.encoding)) {
  state.dialect = dialect;
  state.base = start;
  state.lineStart = start;
}

void LineScanner::Scan(std::string_view bytes, bool final, std::vector<LineIndent>& indents) {
  kernel(state, bytes, final, indents);
}

std::int32_t LineScanner::LevelReading::Level() const noexcept {
  const std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

std::int32_t ParseLevel(std::string_view text) noexcept {
  LineScanner::LevelReading reading;
  for (const char c : text) {
    if (!Take(reading, static_cast<unsigned char>(c), ',')) {
      break;
    }
  }
  return reading.Level();
}

}  // namespace rungwell
