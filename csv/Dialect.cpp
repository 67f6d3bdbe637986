#include "csv/Dialect.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "csv/Utf8.h"
#include "csv/simd/Portable.h"
#include "csv/simd/Sse2.h"

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

using Units = std::vector<std::uint16_t>;

constexpr std::uint16_t Upper(std::uint16_t unit) noexcept {
  return unit >= 'a' && unit <= 'z' ? static_cast<std::uint16_t>(unit - 'a' + 'A') : unit;
}

Units Trimmed(Units::const_iterator from, Units::const_iterator to) {
  while (from != to && IsCSpace(*from)) {
    ++from;
  }
  while (to != from && IsCSpace(*(to - 1))) {
    --to;
  }
  return {from, to};
}

// A field's text without the white space and quotation marks around it: in
// a quoted field, doubled quotation marks are one.
Units Bare(Units::const_iterator from, Units::const_iterator to) {
  Units text = Trimmed(from, to);
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') {
    return text;
  }
  Units inner;
  for (std::size_t at = 1; at + 1 < text.size(); ++at) {
    inner.push_back(text[at]);
    at += text[at] == '"' && text[at + 1] == '"' && at + 2 < text.size() ? 1 : 0;
  }
  return Trimmed(inner.cbegin(), inner.cend());
}

bool SameName(const Units& field, const Units& name) {
  return field.size() == name.size() &&
         std::equal(field.begin(), field.end(), name.begin(),
                    [](std::uint16_t a, std::uint16_t b) { return Upper(a) == Upper(b); });
}

// The index of the first field of line, split at separator where no
// quotation mark protects it, that bears name.
std::optional<unsigned> FieldNamed(const Units& line, std::uint16_t separator, const Units& name) {
  unsigned index = 0;
  for (auto start = line.cbegin();; ++index) {
    bool quoted = false;
    auto end = start;
    while (end != line.cend() && (quoted || *end != separator)) {
      quoted = *end == '"' ? !quoted : quoted;
      ++end;
    }
    if (SameName(Bare(start, end), name)) {
      return index;
    }
    if (end == line.cend()) {
      return std::nullopt;
    }
    start = end + 1;
  }
}

// The name as the file's characters are: its bytes in 8-bit text; in 16-bit
// text its UTF-8 in UTF-16, or byte by byte should it be no UTF-8.
Units NameUnits(const std::string& name, Encoding encoding) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
  std::optional<Units> units;
  if (encoding != Encoding::Bytes) {
    units = Utf16FromUtf8(name);
  }
  if (!units) {
    units.emplace(bytes, bytes + name.size());
  }
  return Bare(units->cbegin(), units->cend());
}

}  // namespace

DialectDetector::DialectDetector(LayoutChoice choice) : layout(std::move(choice)) {}

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
    if (const std::size_t counted = CountThrough(bytes.substr(at))) {
      at += counted - 1;
      continue;
    }
    // Past the few units that could spell a hint, units no rule looks at
    // only move the counts of units on.
    if (pendingByte < 0 && (firstLfSeen || unitsToLf >= std::size(start))) {
      if (const std::size_t run = UntellingUnits(bytes.substr(at), dialect.encoding)) {
        KeepForHeader(bytes.substr(at, run * dialect.UnitSize()));
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

void DialectDetector::KeepForHeader(std::string_view bytes) {
  if (layout.levelName.empty()) {
    return;
  }
  const std::size_t unit = dialect.UnitSize();
  for (std::size_t at = 0; at + unit <= bytes.size() && header.size() < HeaderLimit; at += unit) {
    const unsigned first = static_cast<unsigned char>(bytes[at]);
    const unsigned second = unit == 2 ? static_cast<unsigned char>(bytes[at + 1]) : 0;
    header.push_back(static_cast<std::uint16_t>(unit == 1                               ? first
                                                : dialect.encoding == Encoding::Utf16Le ? first | second << 8U
                                                                                        : first << 8U | second));
  }
  lastWasCr = false;
}

void DialectDetector::TakeUnit(std::uint16_t unit) {
  if (!layout.levelName.empty() && header.size() < HeaderLimit) {
    header.push_back(unit);
    headerLfs += unit == Lf ? 1 : 0;
    headerCrs += unit == Cr ? 1 : 0;
    headerCrLfs += unit == Lf && lastWasCr ? 1 : 0;
    lastWasCr = unit == Cr;
  }
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

std::size_t DialectDetector::CountThrough(std::string_view bytes) {
  // Only the separators and quotation marks of a first line's middle: not
  // its first units, which may spell a hint, nor its end, nor units kept for
  // a named column, nor 16-bit text.
  if (dialect.encoding != Encoding::Bytes || firstLfSeen || unitsToLf < std::size(start) ||
      (!layout.levelName.empty() && header.size() < HeaderLimit)) {
    return 0;
  }
#ifdef RUNGWELL_X86
  using Vector = simd::Sse2Vector;
#else
  using Vector = simd::PortableVector;
#endif
  using Bits = simd::PortableBits;
  std::size_t at = 0;
  for (; at + simd::BlockSize <= bytes.size() && !decided; at += simd::BlockSize) {
    const Vector::Block block = Vector::Load(bytes.data() + at);
    if ((Vector::Equal(block, Cr) | Vector::Equal(block, Lf)) != 0) {
      break;
    }
    const std::uint64_t quotes = Vector::Equal(block, Quote);
    const std::uint64_t commas = Vector::Equal(block, ',');
    const std::uint64_t semicolons = Vector::Equal(block, ';');
    const std::uint64_t tabs = Vector::Equal(block, '\t');
    // A separator is outside quotation marks where the marks before it,
    // with those of the line so far, are even in number.
    const std::uint64_t flip = inQuotes ? ~std::uint64_t{0} : 0;
    const std::uint64_t quoted = quotes != 0 ? Bits::PrefixParity(quotes) ^ flip : flip;
    if ((commas | semicolons | tabs) & ~quoted) {
      counts.commas += Bits::Count(commas & ~quoted);
      counts.semicolons += Bits::Count(semicolons & ~quoted);
      counts.tabs += Bits::Count(tabs & ~quoted);
    }
    inQuotes = (quoted >> 63U) != 0;
    SkipUnits(simd::BlockSize);
  }
  return at;
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
  if (!layout.levelName.empty()) {
    // The header, and a hint before it, must have ended, as far as it is looked through.
    const std::uint64_t lineEnds = dialect.crLineEnds ? headerCrs + headerLfs - headerCrLfs : headerLfs;
    decided = header.size() >= HeaderLimit || lineEnds > (lineEnds > 0 && Hint() ? 1U : 0U);
    return;
  }
  // A separator given, nothing of the first line is needed.
  const bool firstLineEnded = dialect.crLineEnds ? firstCrSeen : firstLfSeen;
  // Once the first line has enough commas, nothing later can change the
  // choice: more text only adds to the counts.
  const Counts& line = dialect.crLineEnds && firstCrSeen ? toCr : counts;
  decided = layout.separator || firstLineEnded || line.commas >= Enough();
}

std::uint64_t DialectDetector::Enough() const {
  return std::max(layout.levelColumn, 1U);
}

std::optional<std::uint16_t> DialectDetector::Hint() const {
  // The first line ends at its first CR or LF in a file whose lines CR ends,
  // else at its first LF, and a CR before that LF belongs to the line's end.
  const std::uint64_t units = dialect.crLineEnds && firstCrSeen ? unitsToCr : unitsToLf;
  const bool crBeforeLf = !dialect.crLineEnds && units == 6 && start[5] == Cr;
  const bool hint =
      (units == 5 || crBeforeLf) && start[0] == 's' && start[1] == 'e' && start[2] == 'p' && start[3] == '=';
  // A quotation mark, a line end or a NUL cannot separate fields.
  if (hint && start[4] != Quote && start[4] != Cr && start[4] != Lf && start[4] != 0) {
    return start[4];
  }
  return std::nullopt;
}

std::uint16_t DialectDetector::SeparatorOf(const Counts& line) const {
  const std::uint64_t enough = Enough();
  if (line.commas >= enough || (line.semicolons < enough && line.tabs < enough)) {
    return ',';
  }
  return line.tabs > line.semicolons ? '\t' : ';';
}

std::vector<std::uint16_t> DialectDetector::HeaderLine() const {
  // Where the line that starts at from ends: at its line end, or where what
  // was kept of the file ends.
  const auto lineEnd = [this](std::size_t from) {
    std::size_t at = from;
    while (at < header.size() && header[at] != Lf && !(dialect.crLineEnds && header[at] == Cr)) {
      ++at;
    }
    return at;
  };
  std::size_t from = 0;
  std::size_t to = lineEnd(0);
  if (Hint()) {
    // A CR LF that ends the hint is one line end.
    from = std::min(to + 1, header.size());
    from += from < header.size() && dialect.crLineEnds && header[from - 1] == Cr && header[from] == Lf ? 1 : 0;
    to = lineEnd(from);
  }
  return {header.begin() + static_cast<std::ptrdiff_t>(from), header.begin() + static_cast<std::ptrdiff_t>(to)};
}

std::optional<std::pair<unsigned, std::uint16_t>> DialectDetector::NamedColumn() const {
  const Units name = NameUnits(layout.levelName, dialect.encoding);
  const Units line = HeaderLine();
  std::vector<std::uint16_t> candidates = {',', ';', '\t'};
  if (layout.separator || Hint()) {
    candidates = {layout.separator ? *layout.separator : *Hint()};
  }
  for (const std::uint16_t separator : candidates) {
    if (const std::optional<unsigned> column = FieldNamed(line, separator, name)) {
      return std::pair{*column, separator};
    }
  }
  return std::nullopt;
}

Dialect DialectDetector::Result() const {
  Dialect result = dialect;
  result.levelColumn = layout.levelColumn;
  if (layout.separator) {
    result.separator = *layout.separator;
  } else if (const std::optional<std::uint16_t> hint = Hint()) {
    result.separator = *hint;
  } else {
    result.separator = SeparatorOf(dialect.crLineEnds && firstCrSeen ? toCr : counts);
  }
  if (!layout.levelName.empty()) {
    if (const auto named = NamedColumn()) {
      result.levelColumn = named->first;
      result.separator = named->second;
    }
  }
  return result;
}

LayoutProblem DialectDetector::Problem() const {
  // In UTF-8 a byte beyond ASCII is never a character of its own, and in any
  // 8-bit text a character beyond U+00FF has no byte.
  if (layout.separator && dialect.encoding == Encoding::Bytes &&
      (*layout.separator > 0xFF || (dialect.markSize > 0 && *layout.separator >= 0x80))) {
    return LayoutProblem::SeparatorNotOneByte;
  }
  if (!layout.levelName.empty() && !NamedColumn()) {
    return LayoutProblem::NoColumnOfThatName;
  }
  return LayoutProblem::None;
}

}  // namespace rungwell
