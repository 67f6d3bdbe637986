#include "csv/DialectDetector.h"

#include <algorithm>
#include <utility>

namespace rungwell {

namespace {

constexpr std::uint16_t Cr = '\r';
constexpr std::uint16_t Lf = '\n';

// The characters a rule for the start of a file looks at.
constexpr bool Telling(std::uint16_t unit) noexcept {
  return unit == Cr || unit == Lf || unit == '"' || unit == ',' || unit == ';' || unit == '\t';
}

// How many whole code units at the start of bytes are none of those: runs
// no rule looks at are taken at once rather than a unit at a time.
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

DialectDetector::DialectDetector(LayoutChoice choice, ScanPath scanPath) : layout(std::move(choice)), path(scanPath) {}

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
  const std::size_t unit = dialect.UnitSize();
  for (; at < bytes.size() && !decided; ++at) {
    if (pendingByte < 0) {
      // Runs of whole characters that hold no line end go at once.
      std::size_t run = firstLine->Count(bytes.substr(at)) / unit;
      if (run == 0 && firstLine->PastItsStart()) {
        run = UntellingUnits(bytes.substr(at), dialect.encoding);
        firstLine->Skip(bytes.substr(at, run * unit));
      }
      if (run > 0) {
        PassUnits(run);
        at += run * unit - 1;
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
  firstLine.emplace(dialect.encoding, path);
  // What came after the mark is the text's own.
  const std::size_t extra = headSize - dialect.markSize;
  headSize = 0;
  const unsigned char* rest = head + dialect.markSize;
  (void)Feed(std::string_view(reinterpret_cast<const char*>(rest), extra));
}

void DialectDetector::TakeUnit(std::uint16_t unit) {
  firstLine->Take(unit);
  if (unitsSeen * dialect.UnitSize() < LineEndWindow) {
    sawCr = sawCr || unit == Cr;
    sawLf = sawLf || unit == Lf;
  }
  ++unitsSeen;
  if (!lineEndsKnown && (sawLf || unitsSeen * dialect.UnitSize() >= LineEndWindow)) {
    dialect.crLineEnds = sawCr && !sawLf;
    lineEndsKnown = true;
  }
  DecideIfKnown();
}

void DialectDetector::PassUnits(std::uint64_t count) {
  unitsSeen += count;
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
  const bool cr = dialect.crLineEnds;
  // The header, and a hint before it, must have ended, as far as it is looked through.
  const std::uint64_t lineEnds = firstLine->LinesEndedInKept(cr);
  const bool headerKnown =
      firstLine->Kept().size() >= HeaderLimit || lineEnds > (lineEnds > 0 && firstLine->Hint(cr) ? 1U : 0U);
  if (!layout.levelName.empty()) {
    decided = headerKnown;
    return;
  }
  // Once the first line has enough commas, nothing later can change the
  // count's choice: more text only adds to the counts.
  decided = headerKnown && (layout.separator || firstLine->Ended(cr) || firstLine->Counts(cr).commas >= Enough());
}

std::uint64_t DialectDetector::Enough() const {
  return std::max(layout.levelColumn.value_or(LevelColumn), 1U);
}

std::optional<std::uint16_t> DialectDetector::SeparatorGiven() const {
  return layout.separator ? layout.separator : firstLine->Hint(dialect.crLineEnds);
}

std::uint16_t DialectDetector::SeparatorByRule() const {
  return SeparatorGiven().value_or(SeparatorByCount(firstLine->Counts(dialect.crLineEnds), Enough()));
}

Units DialectDetector::Header() const {
  return HeaderLine(firstLine->Kept(), dialect.crLineEnds, firstLine->Hint(dialect.crLineEnds).has_value());
}

std::vector<std::uint16_t> DialectDetector::Candidates() const {
  const std::optional<std::uint16_t> given = SeparatorGiven();
  return given ? std::vector<std::uint16_t>{*given} : std::vector<std::uint16_t>{',', ';', '\t'};
}

std::optional<NamedColumn> DialectDetector::Named() const {
  return ColumnNamed(Header(), NameUnits(layout.levelName, dialect.encoding), Candidates());
}

std::optional<std::pair<NamedColumn, bool>> DialectDetector::FoundInFirstLine() const {
  if (layout.levelColumn || !layout.levelName.empty()) {
    return std::nullopt;
  }
  const Units header = Header();
  // The files the program always read keep their column, silently.
  const std::vector<Units> names = FieldNames(header, SeparatorByRule());
  if (names.size() > LevelColumn && IsLevelName(names[LevelColumn])) {
    return std::nullopt;
  }
  if (const std::optional<NamedColumn> levels = ColumnWhere(header, Candidates(), IsLevelName)) {
    return std::pair{*levels, false};
  }
  if (const std::optional<NamedColumn> outline = ColumnWhere(header, Candidates(), IsOutlineName)) {
    return std::pair{*outline, true};
  }
  return std::nullopt;
}

Dialect DialectDetector::Result() const {
  Dialect result = dialect;
  result.separator = SeparatorByRule();
  result.levelColumn = layout.levelColumn.value_or(LevelColumn);
  result.levelForm = layout.outlineNumbers ? LevelForm::Outline : LevelForm::Number;
  result.quotedLevels = layout.quotedLevels;
  result.multiline = layout.multiline;
  if (!layout.levelName.empty()) {
    if (const std::optional<NamedColumn> named = Named()) {
      result.levelColumn = named->index;
      result.separator = named->separator;
      if (IsOutlineName(NameUnits(layout.levelName, dialect.encoding))) {
        result.levelForm = LevelForm::Outline;
      }
    }
  } else if (const auto found = FoundInFirstLine()) {
    result.levelColumn = found->first.index;
    result.separator = found->first.separator;
    if (found->second) {
      result.levelForm = LevelForm::Outline;
    }
  }
  return result;
}

LevelColumnOrigin DialectDetector::Origin() const {
  LevelColumnOrigin origin;
  origin.source = !layout.levelName.empty() ? LevelColumnOrigin::Source::Name
                  : layout.levelColumn      ? LevelColumnOrigin::Source::Index
                  : FoundInFirstLine()      ? LevelColumnOrigin::Source::FirstLine
                                            : LevelColumnOrigin::Source::Default;
  const Dialect result = Result();
  const std::vector<Units> names = FieldNames(Header(), result.separator);
  if (result.levelColumn < names.size() && IsName(names[result.levelColumn])) {
    origin.name = names[result.levelColumn];
  }
  return origin;
}

std::vector<Units> DialectDetector::FirstLineNames() const {
  return FieldNames(Header(), SeparatorByRule());
}

LayoutProblem DialectDetector::Problem() const {
  // In UTF-8 a byte beyond ASCII is never a character of its own, and in any
  // 8-bit text a character beyond U+00FF has no byte.
  if (layout.separator && dialect.encoding == Encoding::Bytes &&
      (*layout.separator > 0xFF || (dialect.markSize > 0 && *layout.separator >= 0x80))) {
    return LayoutProblem::SeparatorNotOneByte;
  }
  if (!layout.levelName.empty() && !Named()) {
    return LayoutProblem::NoColumnOfThatName;
  }
  return LayoutProblem::None;
}

}  // namespace rungwell
