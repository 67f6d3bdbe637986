#include "csv/Dialect.h"

#include <iterator>

#include "csv/LineScanner.h"

namespace rungwell {

namespace {

constexpr std::uint16_t Cr = '\r';
constexpr std::uint16_t Lf = '\n';
constexpr std::uint16_t Quote = '"';

// The characters a rule for the start of a file looks at.
constexpr bool Telling(std::uint16_t unit) noexcept {
  return unit == Cr || unit == Lf || unit == Quote || unit == ',' || unit == ';' || unit == '\t';
}

// How many whole code units at the start of bytes are none of those: a long
// first line is mostly such a run, and is counted through rather than taken
// a unit at a time.
std::size_t UntellingUnits(std::string_view bytes, Encoding encoding) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  if (encoding == Encoding::Bytes) {
    std::size_t n = 0;
    while (n < bytes.size() && !Telling(p[n])) {
      ++n;
    }
    return n;
  }
  // In 16-bit text every telling character has a zero high byte.
  const std::size_t high = encoding == Encoding::Utf16Le ? 1 : 0;
  std::size_t n = 0;
  while (2 * n + 1 < bytes.size() && (p[2 * n + high] != 0 || !Telling(p[2 * n + 1 - high]))) {
    ++n;
  }
  return n;
}

}  // namespace

bool DialectDetector::Feed(std::string_view bytes) {
  std::size_t at = 0;
  if (!markKnown) {
    while (headSize < sizeof head && at < bytes.size()) {
      head[headSize++] = static_cast<unsigned char>(bytes[at++]);
    }
    TakeMark(false);
    if (!markKnown) {
      return false;
    }
  }
  for (; at < bytes.size() && !decided; ++at) {
    // Past the few units that could spell a hint, units no rule looks at
    // only move the counts of units on.
    if (pendingByte < 0 && (firstLfSeen || unitsToLf >= std::size(start))) {
      if (const std::size_t run = UntellingUnits(bytes.substr(at), dialect.encoding)) {
        SkipUnits(run);
        at += run * dialect.UnitSize() - 1;
        continue;
      }
    }
    const unsigned byte = static_cast<unsigned char>(bytes[at]);
    if (dialect.encoding == Encoding::Bytes) {
      TakeUnit(static_cast<std::uint16_t>(byte));
    } else if (pendingByte < 0) {
      pendingByte = static_cast<int>(byte);
    } else {
      const auto first = static_cast<unsigned>(pendingByte);
      pendingByte = -1;
      TakeUnit(
          static_cast<std::uint16_t>(dialect.encoding == Encoding::Utf16Le ? first | byte << 8U : first << 8U | byte));
    }
  }
  return decided;
}

void DialectDetector::End() {
  if (!markKnown) {
    TakeMark(true);
  }
  // The file ends the window, and the first line if nothing else did.
  if (!lineEndsKnown) {
    dialect.crLineEnds = sawCr && !sawLf;
    lineEndsKnown = true;
  }
  decided = true;
}

void DialectDetector::TakeMark(bool final) {
  const auto starts = [this](std::initializer_list<unsigned char> mark) {
    if (headSize < mark.size()) {
      return false;
    }
    std::size_t i = 0;
    for (const unsigned char byte : mark) {
      if (head[i++] != byte) {
        return false;
      }
    }
    return true;
  };
  // Until three bytes are in (or the file has ended), a UTF-8 mark may still come.
  if (headSize < sizeof head && !final && (headSize < 2 || (head[0] == 0xEF && head[1] == 0xBB))) {
    return;
  }
  if (starts({0xEF, 0xBB, 0xBF})) {
    dialect = Dialect{Encoding::Bytes, 3};
  } else if (starts({0xFF, 0xFE})) {
    dialect = Dialect{Encoding::Utf16Le, 2};
  } else if (starts({0xFE, 0xFF})) {
    dialect = Dialect{Encoding::Utf16Be, 2};
  }
  markKnown = true;
  // What came after the mark is the text's own.
  const std::size_t extra = headSize - dialect.markSize;
  headSize = 0;
  const unsigned char* rest = head + dialect.markSize;
  (void)Feed(std::string_view(reinterpret_cast<const char*>(rest), extra));
}

void DialectDetector::TakeUnit(std::uint16_t unit) {
  if (unitsSeen * dialect.UnitSize() < LineEndWindow) {
    sawCr = sawCr || unit == Cr;
    sawLf = sawLf || unit == Lf;
  }
  if (!firstLfSeen) {
    if (unitsToLf < sizeof start / sizeof start[0]) {
      start[unitsToLf] = unit;
    }
    if (unit == Lf) {
      firstLfSeen = true;
    } else {
      if (unit == Cr && !firstCrSeen) {
        firstCrSeen = true;
        toCr = counts;
        unitsToCr = unitsToLf;
      }
      if (unit == Quote) {
        inQuotes = !inQuotes;
      } else if (!inQuotes) {
        counts.commas += unit == ',' ? 1 : 0;
        counts.semicolons += unit == ';' ? 1 : 0;
        counts.tabs += unit == '\t' ? 1 : 0;
      }
      ++unitsToLf;
    }
  }
  ++unitsSeen;
  if (!lineEndsKnown && (sawLf || unitsSeen * dialect.UnitSize() >= LineEndWindow)) {
    dialect.crLineEnds = sawCr && !sawLf;
    lineEndsKnown = true;
  }
  DecideIfKnown();
}

void DialectDetector::SkipUnits(std::uint64_t count) {
  unitsSeen += count;
  unitsToLf += firstLfSeen ? 0 : count;
  // None of them is a line end, so only where they end matters for the window.
  if (!lineEndsKnown && unitsSeen * dialect.UnitSize() >= LineEndWindow) {
    dialect.crLineEnds = sawCr && !sawLf;
    lineEndsKnown = true;
  }
  DecideIfKnown();
}

void DialectDetector::DecideIfKnown() {
  if (!lineEndsKnown) {
    return;
  }
  const bool firstLineEnded = dialect.crLineEnds ? firstCrSeen : firstLfSeen;
  // Once the first line has enough commas, nothing later can change the
  // choice: more text only adds to the counts.
  const Counts& line = dialect.crLineEnds && firstCrSeen ? toCr : counts;
  decided = firstLineEnded || line.commas >= LevelColumn;
}

std::uint16_t DialectDetector::SeparatorOf(const Counts& line, std::uint64_t lineUnits, bool crBeforeLf) const {
  // Excel's own hint; a CR before the LF belongs to the line's end. A
  // quotation mark, a line end or a NUL cannot separate fields.
  const bool hint = (lineUnits == 5 || (lineUnits == 6 && crBeforeLf)) && start[0] == 's' && start[1] == 'e' &&
                    start[2] == 'p' && start[3] == '=';
  if (hint && start[4] != Quote && start[4] != Cr && start[4] != Lf && start[4] != 0) {
    return start[4];
  }
  const auto enough = static_cast<std::uint64_t>(LevelColumn);
  if (line.commas >= enough || (line.semicolons < enough && line.tabs < enough)) {
    return ',';
  }
  return line.tabs > line.semicolons ? '\t' : ';';
}

Dialect DialectDetector::Result() const {
  Dialect result = dialect;
  if (result.crLineEnds) {
    result.separator = SeparatorOf(firstCrSeen ? toCr : counts, firstCrSeen ? unitsToCr : unitsToLf, false);
  } else {
    result.separator = SeparatorOf(counts, unitsToLf, unitsToLf == 6 && start[5] == Cr);
  }
  return result;
}

}  // namespace rungwell
