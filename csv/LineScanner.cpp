#include "csv/LineScanner.h"

#include <cstring>

#include "csv/simd/Kernels.h"

namespace rungwell {

LineScanner::LineScanner(const Dialect& dialect, std::uint64_t start, ScanPath path)
    : kernel(KernelsFor(path).scan[dialect.multiline ? 1 : 0][static_cast<std::size_t>(dialect.encoding)]) {
  state.dialect = dialect;
  state.base = start;
  state.lineStart = start;
  state.fieldStart = start;
  state.separatorsToGo = dialect.levelColumn;
  state.level = LevelReading(dialect.levelForm, dialect.quotedLevels);
}

std::optional<std::uint64_t> FindLineStart(std::string_view bytes, std::uint64_t base, std::uint64_t from,
                                           const Dialect& dialect) {
  const std::size_t unit = dialect.UnitSize();
  const auto unitAt = [&](std::size_t at) -> std::uint16_t {
    const auto first = static_cast<unsigned char>(bytes[at]);
    if (unit == 1) {
      return first;
    }
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<std::uint16_t>(dialect.encoding == Encoding::Utf16Le ? first | second << 8U
                                                                            : first << 8U | second);
  };
  for (auto at = static_cast<std::size_t>(from - base) - unit; at + unit <= bytes.size(); at += unit) {
    if (unit == 1 && !dialect.crLineEnds) {
      // Most plans: the next LF, at the library's own speed.
      const void* lf = std::memchr(bytes.data() + at, '\n', bytes.size() - at);
      if (lf == nullptr) {
        return std::nullopt;
      }
      return base + static_cast<std::uint64_t>(static_cast<const char*>(lf) - bytes.data()) + 1;
    }
    const std::uint16_t c = unitAt(at);
    if (c == '\n' || (dialect.crLineEnds && c == '\r')) {
      if (c == '\r') {
        // The LF of a CR LF ends no line of its own.
        if (at + 2 * unit > bytes.size()) {
          return std::nullopt;
        }
        return base + at + (unitAt(at + unit) == '\n' ? 2 : 1) * unit;
      }
      return base + at + unit;
    }
  }
  return std::nullopt;
}

void CountOn(ScanTally& tally, const ScanTally& after) {
  const auto first = [&](std::uint64_t count, std::uint64_t& firstLine, std::uint64_t laterCount,
                         std::uint64_t laterFirst) {
    if (count == 0 && laterCount > 0) {
      firstLine = tally.lines + laterFirst;
    }
  };
  first(tally.quotedNumbers, tally.firstQuotedLine, after.quotedNumbers, after.firstQuotedLine);
  first(tally.tooDeep, tally.firstTooDeepLine, after.tooDeep, after.firstTooDeepLine);
  first(tally.compound, tally.firstCompoundLine, after.compound, after.firstCompoundLine);
  first(tally.endInQuotes, tally.firstEndInQuotesLine, after.endInQuotes, after.firstEndInQuotesLine);
  if (after.unclosedLine > 0) {
    tally.unclosedLine = tally.lines + after.unclosedLine;
  }
  tally.levelFields += after.levelFields;
  tally.numbers += after.numbers;
  tally.quotedNumbers += after.quotedNumbers;
  tally.indented += after.indented;
  tally.tooDeep += after.tooDeep;
  tally.compound += after.compound;
  tally.endInQuotes += after.endInQuotes;
  tally.lines += after.lines;
}

}  // namespace rungwell
