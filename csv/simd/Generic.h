#pragma once

// The scan and the assembly of lines, written once for every scan path. Each
// path supplies three parts, compiled for its own instructions (see
// Kernels.cpp):
//   Vector: Load(64 bytes) and Equal(block, byte), a 64-bit mask of the
//           bytes equal to it;
//   Bits:   Count(mask), Nth(mask, n), the index of its (n+1)th set bit, and
//           PrefixParity(mask), the running parity of its bits;
//   Copy:   Over<Ahead>(to, from, count), a copy that may run past its end.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "csv/Dialect.h"
#include "csv/Indentation.h"
#include "csv/Level.h"
#include "csv/simd/Kernels.h"
#include "csv/simd/Portable.h"
#include "csv/simd/ScanState.h"
#include "csv/simd/Target.h"

namespace rungwell::simd {

using Indents = std::vector<LineIndent>;

// Bit i is set where byte i of a 64-byte block is the last byte of a line
// end, a separator or a quotation mark. Marking a character at its last byte
// lets 16-bit text use the same arithmetic as 8-bit text: the character after
// it starts one bit further on.
struct BlockMasks {
  std::uint64_t lineEnds;
  std::uint64_t crs;  // those of the line ends that are CRs
  std::uint64_t separators;
  std::uint64_t quotes;
};

// All ones when bit i of bits is set, else zero.
RUNGWELL_INLINE std::uint64_t SpreadBit(std::uint64_t bits, unsigned i) noexcept {
  return std::uint64_t{0} - ((bits >> i) & 1U);
}

inline constexpr std::uint16_t Lf = '\n';
inline constexpr std::uint16_t Cr = '\r';
inline constexpr std::uint16_t Quote = '"';

template <Encoding E>
inline constexpr std::size_t UnitSize = E == Encoding::Bytes ? 1 : 2;

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
inline constexpr std::uint64_t OddBytes = 0xAAAAAAAAAAAAAAAAU;

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
    masks.crs = dialect.crLineEnds ? Vector::Equal(block, Cr) : 0;
    masks.lineEnds = Vector::Equal(block, Lf) | masks.crs;
    masks.separators = Vector::Equal(block, static_cast<unsigned char>(dialect.separator));
    masks.quotes = Vector::Equal(block, Quote);
  } else {
    const std::uint64_t zero = Vector::Equal(block, 0);
    const auto separatorHigh = static_cast<unsigned char>(dialect.separator >> 8U);
    const std::uint64_t high = separatorHigh == 0 ? zero : Vector::Equal(block, separatorHigh);
    masks.crs = dialect.crLineEnds ? Characters<E>(Vector::Equal(block, Cr), zero) : 0;
    masks.lineEnds = Characters<E>(Vector::Equal(block, Lf), zero) | masks.crs;
    masks.separators = Characters<E>(Vector::Equal(block, static_cast<unsigned char>(dialect.separator)), high);
    masks.quotes = Characters<E>(Vector::Equal(block, Quote), zero);
  }
  return masks;
}

// Counts off the separators that the open line has in the block at offset
// at, and notes where the level field starts should it be among them. Where
// it starts varies from line to line, so the choice is made without branches.
template <typename Bits>
RUNGWELL_INLINE void PassSeparators(ScanState& line, std::uint64_t separators, std::uint64_t at) noexcept {
  const unsigned count = Bits::Count(separators);
  const bool reached = line.separatorsToGo > 0 && count >= line.separatorsToGo;
  // A rank the block's 64 bits cannot reach picks nothing that is used.
  const unsigned rank = line.separatorsToGo > 0 ? std::min(line.separatorsToGo, 64U) - 1 : 0;
  const unsigned last = Bits::Nth(separators, rank);
  line.fieldStart = reached ? at + last + 1 : line.fieldStart;
  line.separatorsToGo = count >= line.separatorsToGo ? 0 : line.separatorsToGo - count;
}

// The open line's level is known, as reading tells it: the line gets an
// indent if it should have one, and the tally counts what it showed.
RUNGWELL_INLINE void Record(ScanState& line, const LevelReading& reading, Indents& indents) {
  ScanTally& tally = line.tally;
  const std::uint64_t lineNumber = line.linesBefore + 1;
  tally.levelFields += line.separatorsToGo == 0 ? 1 : 0;
  tally.numbers += reading.digits ? 1 : 0;
  tally.firstQuotedLine = reading.quotedNumber && tally.quotedNumbers == 0 ? lineNumber : tally.firstQuotedLine;
  tally.quotedNumbers += reading.quotedNumber ? 1 : 0;
  const std::int32_t level = reading.Level();
  if (reading.compound && level <= MaxLevel && tally.compound++ == 0) {
    tally.firstCompoundLine = lineNumber;
  }
  if (const std::uint64_t units = IndentCount(level)) {
    // Filled in place: a whole struct built aside is stored in two halves
    // and loaded back in one, which the processor cannot forward.
    LineIndent& indent = indents.emplace_back();
    indent.lineStart = line.lineStart;
    indent.units = units;
    ++tally.indented;
  } else if (level > MaxLevel && tally.tooDeep++ == 0) {
    tally.firstTooDeepLine = lineNumber;
  }
}

// Word-at-a-time tests on eight bytes: each sets the high bit of the bytes
// it finds, and ByteBits packs those bits, byte i's into bit i. Only where a
// word's first byte is its lowest, as memcpy into an integer puts it.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
inline constexpr bool LowByteFirst = false;
#else
inline constexpr bool LowByteFirst = true;
#endif
inline constexpr std::uint64_t EachByte = 0x0101010101010101U;
inline constexpr std::uint64_t HighBits = 0x80 * EachByte;
inline constexpr std::uint64_t LowBits = 0x7F * EachByte;
inline constexpr std::size_t OutlineWords = 3;

// Adding to the low seven bits alone carries into no other byte.
RUNGWELL_INLINE std::uint64_t IsZeroByte(std::uint64_t eight) noexcept {
  return ~(((eight & LowBits) + LowBits) | eight) & HighBits;
}
RUNGWELL_INLINE std::uint64_t IsDigitByte(std::uint64_t eight) noexcept {
  const std::uint64_t value = eight ^ ('0' * EachByte);  // a digit's value, 0 to 9
  return ~(((value & LowBits) + (0x80 - 10) * EachByte) | value) & HighBits;
}
RUNGWELL_INLINE std::uint64_t ByteBits(std::uint64_t highBits) noexcept {
  return ((highBits >> 7U) * 0x0102040810204080U) >> 56U;
}

// Reads the characters of a level field from offset at of bytes up to end
// into reading; true once the field is read. Bytes up to available may be
// looked at. A level field read from its start whose first character is a
// digit and whose second neither is one nor joins the number to more is read
// at once, as most levels are one digit.
template <typename Bits, Encoding E>
RUNGWELL_INLINE bool ReadLevel(LevelReading& reading, const char* bytes, std::size_t at, std::size_t end,
                               std::size_t available, std::uint16_t separator, bool fromStart) noexcept {
  constexpr std::size_t Unit = UnitSize<E>;
  if (fromStart && end - at >= 2 * Unit) {
    const std::uint16_t first = UnitAt<E>(bytes + at);
    const std::uint16_t second = UnitAt<E>(bytes + at + Unit);
    if (reading.form != LevelForm::Outline && IsDigit(first) && !IsDigit(second) && !IsNumberJoint(second) &&
        first != separator) {
      reading.digits = true;
      reading.magnitude = first - '0';
      reading.phase = LevelReading::Phase::Done;
      return true;
    }
    // An outline number of up to 24 characters (16 in 16-bit text, or near
    // the end of the bytes) that ends in these bytes, read without a branch
    // for each group (a plan's depths vary from line to line): a group starts
    // at each digit after no digit, and the number ends at the first
    // character that is neither a digit nor a dot after one. Not where the
    // separator is a dot or a digit.
    if (reading.form == LevelForm::Outline && IsDigit(first) && separator != '.' && !IsDigit(separator)) {
      std::size_t count = 0;
      std::uint64_t digits = 0;
      std::uint64_t dots = 0;
      if (E == Encoding::Bytes && LowByteFirst && available - at >= OutlineWords * 8) {
        // Eight bytes at a time, read past the field's end where the piece goes on.
        count = std::min<std::size_t>(OutlineWords * 8, end - at);
        for (std::size_t word = 0; word < OutlineWords; ++word) {
          std::uint64_t eight = 0;
          std::memcpy(&eight, bytes + at + word * 8, 8);
          digits |= ByteBits(IsDigitByte(eight)) << (word * 8);
          dots |= ByteBits(IsZeroByte(eight ^ ('.' * EachByte))) << (word * 8);
        }
      } else {
        count = std::min<std::size_t>(16, (end - at) / Unit);
        for (std::size_t i = 0; i < count; ++i) {
          const std::uint16_t unit = UnitAt<E>(bytes + at + i * Unit);
          digits |= std::uint64_t{IsDigit(unit)} << i;
          dots |= std::uint64_t{unit == '.'} << i;
        }
      }
      const std::uint64_t number = digits | (dots & (digits << 1U));
      const unsigned stop = LowestBit(~number | (std::uint64_t{1} << count));
      if (stop < count) {
        reading.digits = true;
        reading.magnitude = Bits::Count(digits & ~(digits << 1U) & ((std::uint64_t{1} << stop) - 1));
        reading.phase = LevelReading::Phase::Done;
        return true;
      }
    }
  }
  for (; at + Unit <= end; at += Unit) {
    if (!reading.Take(UnitAt<E>(bytes + at), separator)) {
      return true;
    }
  }
  return false;
}

// The open line ends at offset end of bytes; its characters end at unitsEnd
// (short of end only by the odd last byte of a 16-bit file).
template <typename Bits, Encoding E>
RUNGWELL_INLINE void EndLine(ScanState& line, std::string_view bytes, std::size_t end, std::size_t unitsEnd,
                             Indents& indents) {
  constexpr std::size_t Unit = UnitSize<E>;
  if (!line.decided && line.separatorsToGo > 0) {
    Record(line, LevelReading{}, indents);
  } else if (!line.decided) {
    // Read aside, where the compiler can keep it in registers, and from
    // nothing where the field starts in these bytes, which lets it see what
    // the reading of a one-digit level comes to.
    const bool fromStart = !line.reading;
    LevelReading reading = fromStart ? LevelReading(line.dialect.levelForm, line.dialect.quotedLevels) : line.level;
    (void)ReadLevel<Bits, E>(reading, bytes.data(),
                             fromStart ? static_cast<std::size_t>(line.fieldStart - line.base) : 0, unitsEnd,
                             bytes.size(), line.dialect.separator, fromStart);
    Record(line, reading, indents);
  }
  bool secondHalfOfCrLf = false;
  if (line.dialect.crLineEnds && unitsEnd >= Unit) {
    const std::uint16_t last = UnitAt<E>(bytes.data() + unitsEnd - Unit);
    secondHalfOfCrLf = line.lastEndedWithCr && last == Lf && line.base + end - line.lineStart == Unit;
    line.lastEndedWithCr = last == Cr;
  }
  line.tally.lines += secondHalfOfCrLf ? 0 : 1;
  line.linesBefore = line.tally.lines;
  line.lineStart = line.base + end;
  // The level field of column 0 starts with its line.
  line.fieldStart = line.lineStart;
  line.separatorsToGo = line.dialect.levelColumn;
  line.decided = false;
  line.reading = false;
  line.level = LevelReading(line.dialect.levelForm, line.dialect.quotedLevels);
}

// Where records span lines, the characters of a block inside quoted fields.
// Where every quotation mark opens a field where one starts, or stands
// beside another (a doubled mark, or one that closes a field and one that
// opens the next quoted stretch of it), the running parity of the marks is
// exactly what a spreadsheet reads, and a whole block is judged at once. A
// mark that would open a field anywhere else stands inside an unquoted
// field, where it is text: the first such mark is taken out and the parity
// judged again, until none is left. Carries the state on to the next block;
// opened gets the marks that open a field, size is the block's length.
template <typename Bits, Encoding E>
RUNGWELL_INLINE std::uint64_t QuotedFields(ScanState& line, const BlockMasks& masks, std::uint64_t parity,
                                           unsigned last, std::uint64_t& opened) noexcept {
  constexpr unsigned Unit = UnitSize<E>;
  constexpr unsigned First = Unit - 1;  // the bit of the block's first character
  const std::uint64_t dividers = masks.separators | masks.lineEnds;
  std::uint64_t quotes = masks.quotes;
  std::uint64_t odd = parity ^ line.fieldQuoted;
  // A mark that opens a field follows a divider or a mark, both outside
  // quoted fields where it opens one.
  const std::uint64_t afterDividers = (dividers << Unit) | (std::uint64_t{line.atFieldStart} << First);
  std::uint64_t text =
      quotes & odd & ~(afterDividers | (quotes << Unit) | (std::uint64_t{line.afterClosingQuote} << First));
  while (text != 0) {
    // Taken out, the mark no longer flips what follows it.
    const std::uint64_t mark = text & (std::uint64_t{0} - text);
    quotes &= ~mark;
    odd ^= ~(mark - 1);
    text = quotes & odd & ~(afterDividers | (quotes << Unit) | (std::uint64_t{line.afterClosingQuote} << First));
  }
  opened = quotes & odd & afterDividers;
  const std::uint64_t outside = ~odd;
  line.fieldQuoted = SpreadBit(odd, last);
  line.atFieldStart = (dividers & outside) >> last & 1U;
  line.afterClosingQuote = (quotes & outside) >> last & 1U;
  return odd;
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
template <typename Vector, typename Bits, Encoding E, bool Multiline>
RUNGWELL_INLINE void ScanPiece(ScanState& line, std::string_view bytes, bool final, Indents& indents) {
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
    std::uint64_t recordEnds = masks.lineEnds;
    std::uint64_t quoted = 0;      // where records span lines: inside quoted fields
    std::uint64_t insideEnds = 0;  // ...and the line ends there, a CR LF once
    std::uint64_t opened = 0;      // ...and the quotation marks that open a field
    if constexpr (Multiline) {
      const auto last = static_cast<unsigned>(std::min(units - at, BlockSize) - 1);
      quoted = QuotedFields<Bits, E>(line, masks, parity, last, opened);
      recordEnds &= ~quoted;
      insideEnds = masks.lineEnds & quoted;
      if (line.dialect.crLineEnds) {
        // A CR LF inside a field is one line end.
        const std::uint64_t afterCrs = (masks.crs << Unit) | (line.afterCr ? std::uint64_t{1} << (Unit - 1) : 0);
        insideEnds &= ~(masks.lineEnds & ~masks.crs & afterCrs);
        line.afterCr = (masks.crs >> last & 1U) != 0;
      }
    }
    std::uint64_t ahead = ~std::uint64_t{0};  // bits of the block from the open line's start on
    for (std::uint64_t ends = recordEnds;; ends &= ends - 1) {
      const std::uint64_t lineEnd = ends & (std::uint64_t{0} - ends);  // the lowest, or none
      // The line's part of the block: through its end, or to the block's end.
      const std::uint64_t part = ahead & ((lineEnd << 1U) - 1);
      if constexpr (Multiline) {
        PassSeparators<Bits>(line, masks.separators & part & ~quoted, line.base + at);
        if (lineEnd == 0) {
          // The last field that opens in the record's part of the block is the one the block may
          // end in, or just after: on which line it opens, should it never close. Chosen without a
          // branch, as whether a block ends in a quoted field varies from block to block.
          const std::uint64_t openings = opened & part;
          const std::uint64_t before = (std::uint64_t{1} << HighestBit(openings | 1U)) - 1;
          const std::uint64_t openLine = line.tally.lines + Bits::Count(insideEnds & part & before) + 1;
          line.openQuoteLine = openings != 0 ? openLine : line.openQuoteLine;
        }
        line.tally.lines += Bits::Count(insideEnds & part);
      } else {
        PassSeparators<Bits>(line, masks.separators & part & ~(parity ^ line.quoteFlip), line.base + at);
      }
      if (lineEnd == 0) {
        // The line goes on into the next block, quoted as it is at this one's end.
        line.quoteFlip = SpreadBit(parity ^ line.quoteFlip, BlockSize - 1);
        break;
      }
      if constexpr (!Multiline) {
        if (((parity ^ line.quoteFlip) & lineEnd) != 0 && line.tally.endInQuotes++ == 0) {
          line.tally.firstEndInQuotesLine = line.tally.lines + 1;
        }
      }
      const std::size_t end = at + LowestBit(lineEnd) + 1;
      EndLine<Bits, E>(line, bytes, end, end, indents);
      if constexpr (!Multiline) {
        // The next line starts unquoted, whatever the marks before it.
        line.quoteFlip = SpreadBit(parity, LowestBit(lineEnd));
      }
      ahead = ~((lineEnd << 1U) - 1);
    }
  }
  if (final) {
    if (line.lineStart < line.base + bytes.size()) {
      if constexpr (!Multiline) {
        if (line.quoteFlip != 0 && line.tally.endInQuotes++ == 0) {
          line.tally.firstEndInQuotesLine = line.tally.lines + 1;
        }
      }
      EndLine<Bits, E>(line, bytes, bytes.size(), units, indents);
    }
    if constexpr (Multiline) {
      line.tally.unclosedLine = line.fieldQuoted != 0 ? line.openQuoteLine : 0;
    }
  } else if (!line.decided && line.separatorsToGo == 0) {
    // The level field begins in these bytes or went on into them.
    const bool fromStart = !line.reading;
    line.reading = true;
    if (ReadLevel<Bits, E>(line.level, bytes.data(),
                           fromStart ? static_cast<std::size_t>(line.fieldStart - line.base) : 0, units, units,
                           line.dialect.separator, fromStart)) {
      // The level is known before the line ends: the rest of it can go as it comes.
      Record(line, line.level, indents);
      line.decided = true;
    }
  }
  line.base += bytes.size();
}

// Counts the separators of a first line that has not ended, a block at a
// time, for as long as no line end comes: a long first line, as a pasted
// document makes, is mostly such blocks. As in the scan, a separator counts
// where the quotation marks before it on the line are even in number.
template <typename Vector, typename Bits, Encoding E>
RUNGWELL_INLINE std::size_t CountFirstLine(FirstLineCount& line, std::string_view bytes) noexcept {
  std::size_t at = 0;
  for (; at + BlockSize <= bytes.size(); at += BlockSize) {
    const typename Vector::Block block = Vector::Load(bytes.data() + at);
    std::uint64_t lineEnds = 0;
    std::uint64_t quotes = 0;
    std::uint64_t commas = 0;
    std::uint64_t semicolons = 0;
    std::uint64_t tabs = 0;
    if constexpr (E == Encoding::Bytes) {
      lineEnds = Vector::Equal(block, Lf) | Vector::Equal(block, Cr);
      quotes = Vector::Equal(block, Quote);
      commas = Vector::Equal(block, ',');
      semicolons = Vector::Equal(block, ';');
      tabs = Vector::Equal(block, '\t');
    } else {
      const std::uint64_t zero = Vector::Equal(block, 0);
      lineEnds = Characters<E>(Vector::Equal(block, Lf), zero) | Characters<E>(Vector::Equal(block, Cr), zero);
      quotes = Characters<E>(Vector::Equal(block, Quote), zero);
      commas = Characters<E>(Vector::Equal(block, ','), zero);
      semicolons = Characters<E>(Vector::Equal(block, ';'), zero);
      tabs = Characters<E>(Vector::Equal(block, '\t'), zero);
    }
    if (lineEnds != 0) {
      break;
    }
    const std::uint64_t quoted = Bits::PrefixParity(quotes) ^ (line.inQuotes ? ~std::uint64_t{0} : 0);
    line.outside.commas += Bits::Count(commas & ~quoted);
    line.outside.semicolons += Bits::Count(semicolons & ~quoted);
    line.outside.tabs += Bits::Count(tabs & ~quoted);
    line.inQuotes = (quoted >> 63U) != 0;
  }
  return at;
}

// Bytes copied past a line's or an indentation's end whatever its length:
// most lines of a plan are shorter, and most indentation is.
inline constexpr std::size_t LineAhead = 128;
inline constexpr std::size_t SpacesAhead = 64;
static_assert(LineAhead <= CopySlack && SpacesAhead <= CopySlack, "the buffers have room to copy ahead");

// Puts lines and their indentation together for as long as they fit in the
// sink's block and their bytes since emitted are all in the block.
template <typename Copy>
RUNGWELL_INLINE void AssembleWith(Assembly& run, std::uint64_t& emitted) noexcept {
  // Worked on in locals: every byte stored through out could otherwise be
  // taken to change them, and they would be loaded again after each copy.
  const LineIndent* next = run.next;
  char* out = run.out;
  std::uint64_t done = emitted;
  for (; next != run.end && done >= run.offset; ++next) {
    const auto length = static_cast<std::size_t>(next->lineStart - done);
    const std::size_t spacing = static_cast<std::size_t>(next->units) * run.unitBytes;
    if (length + spacing > static_cast<std::size_t>(run.limit - out)) {
      break;
    }
    Copy::template Over<LineAhead>(out, run.input + (done - run.offset), length);
    Copy::template Over<SpacesAhead>(out + length, run.spaces, spacing);
    out += length + spacing;
    done = next->lineStart;
  }
  run.next = next;
  run.out = out;
  emitted = done;
}

}  // namespace rungwell::simd
