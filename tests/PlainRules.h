#pragma once

// The rules of a plan put as plainly as they can be, for tests and fuzz
// targets to hold the real code against: the whole input at once, decoded
// into characters, line by line and field by field.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "csv/DialectDetector.h"
#include "csv/Indentation.h"
#include "csv/LineScanner.h"
#include "csv/simd/ScanPath.h"

namespace rungwell::plain {

// A line's fields, field by field, each with its own quote toggle, as the
// rule is written.
template <typename Text>
std::vector<Text> Fields(const Text& line, typename Text::value_type separator) {
  std::vector<Text> fields;
  for (std::size_t start = 0;;) {
    bool quoted = false;
    std::size_t end = start;
    while (end < line.size() && (quoted || line[end] != separator)) {
      quoted = line[end] == '"' ? !quoted : quoted;
      ++end;
    }
    fields.push_back(line.substr(start, end - start));
    if (end == line.size()) {
      return fields;
    }
    start = end + 1;
  }
}

template <typename Text>
Text LevelField(const Text& line, typename Text::value_type separator = ',', unsigned column = LevelColumn) {
  const std::vector<Text> fields = Fields(line, separator);
  return column < fields.size() ? fields[column] : Text();
}

// The C library's own reading of a number, clamped to 32 bits. strtoll stops
// at the first NUL, as atoi would.
inline std::int32_t Level(std::string_view text) {
  const std::string terminated(text);
  errno = 0;
  const long long value = std::strtoll(terminated.c_str(), nullptr, 10);
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value < std::numeric_limits<std::int32_t>::min()) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

using Units = std::u16string;

inline bool IsSpace(char16_t c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool IsDigit(char16_t c) {
  return c >= '0' && c <= '9';
}

// A level field's characters read as the rule says: the level, whether it
// held a number plainly or in quotation marks, whether it held more than a
// number, and whether the characters given settle it (more could follow when
// the field is not yet complete). A separator among them (inside quotation
// marks, where records span lines) ends the reading as the field's end does.
struct Reading {
  std::int32_t level = 0;
  bool number = false;
  bool quotedNumber = false;
  bool compound = false;
  bool settled = false;
};

inline Reading Read(Units field, bool complete, const Dialect& dialect = {}) {
  Reading reading;
  std::size_t i = 0;
  const auto spaces = [&] {
    while (i < field.size() && IsSpace(field[i])) {
      ++i;
    }
  };
  spaces();
  if (i < field.size() && field[i] == '"') {
    if (!dialect.quotedLevels) {
      for (++i; i < field.size() && IsSpace(field[i]);) {
        ++i;
      }
      if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        ++i;
      }
      reading.quotedNumber = i < field.size() && IsDigit(field[i]);
      reading.settled = complete || i < field.size();
      return reading;
    }
    // Read from the character after the mark, as the field's own start is.
    field.erase(0, i + 1);
    i = 0;
  }
  // What the reading sees ends at a separator, even one that is white space.
  const std::size_t cut = field.find(static_cast<char16_t>(dialect.separator), i);
  if (cut != Units::npos) {
    field.resize(cut);
    complete = true;
  }
  spaces();
  if (dialect.quotedLevels && i < field.size() && field[i] == '"') {
    reading.settled = true;  // a second mark is text
    return reading;
  }
  if (dialect.levelForm == LevelForm::Outline) {
    std::int64_t groups = 0;
    while (i < field.size() && IsDigit(field[i])) {
      while (i < field.size() && IsDigit(field[i])) {
        ++i;
      }
      ++groups;
      if (i < field.size() && field[i] == '.') {
        ++i;
      }
    }
    reading.level = static_cast<std::int32_t>(std::min<std::int64_t>(groups, std::numeric_limits<std::int32_t>::max()));
    reading.number = groups > 0;
    reading.settled = complete || i < field.size();
    return reading;
  }
  std::string ascii;  // what strtoll is to read: the characters up to a non-ASCII one
  for (std::size_t at = i; at < field.size() && field[at] < 0x80 && field[at] != 0; ++at) {
    ascii += static_cast<char>(field[at]);
  }
  reading.level = Level(ascii);
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
    ++i;
  }
  const std::size_t digits = i;
  while (i < field.size() && IsDigit(field[i])) {
    ++i;
  }
  reading.number = i > digits;
  const bool joint = reading.number && i < field.size() && (field[i] == '.' || field[i] == '/' || field[i] == '-');
  reading.compound = joint && i + 1 < field.size() && IsDigit(field[i + 1]);
  reading.settled = complete || i + (joint ? 1 : 0) < field.size();
  return reading;
}

// The start of a file decoded: its dialect, as its first line and first
// LineEndWindow bytes show, then its characters with the offset where each starts.
inline Dialect DialectOf(std::string_view bytes) {
  Dialect dialect;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    dialect.markSize = 3;
  } else if (bytes.substr(0, 2) == "\xFF\xFE") {
    dialect = {Encoding::Utf16Le, 2};
  } else if (bytes.substr(0, 2) == "\xFE\xFF") {
    dialect = {Encoding::Utf16Be, 2};
  }
  return dialect;
}

struct Decoded {
  Units units;
  std::vector<std::size_t> offsets;
};

inline Decoded Decode(std::string_view bytes, const Dialect& dialect) {
  Decoded text;
  const std::size_t size = dialect.UnitSize();
  for (std::size_t at = dialect.markSize; at + size <= bytes.size(); at += size) {
    const unsigned a = static_cast<unsigned char>(bytes[at]);
    const unsigned b = size == 2 ? static_cast<unsigned char>(bytes[at + 1]) : 0U;
    text.units += static_cast<char16_t>(size == 1                               ? a
                                        : dialect.encoding == Encoding::Utf16Le ? a | b << 8U
                                                                                : a << 8U | b);
    text.offsets.push_back(at);
  }
  return text;
}

// A header field without the white space and quotation marks around it; in
// a quoted field, two quotation marks are one.
inline Units Bare(Units field) {
  const auto trim = [](Units text) {
    while (!text.empty() && IsSpace(text.back())) {
      text.pop_back();
    }
    const auto first = std::find_if(text.begin(), text.end(), [](char16_t c) { return !IsSpace(c); });
    return Units(first, text.end());
  };
  field = trim(field);
  if (field.size() < 2 || field.front() != '"' || field.back() != '"') {
    return field;
  }
  Units inner = field.substr(1, field.size() - 2);
  for (std::size_t at = inner.find(u"\"\""); at != Units::npos; at = inner.find(u"\"\"", at + 1)) {
    inner.erase(at, 1);
  }
  return trim(inner);
}

inline bool SameName(const Units& a, const Units& b) {
  const auto upper = [](char16_t c) { return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 'a' + 'A') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return upper(x) == upper(y); });
}

// The well-formed UTF-8 sequences as the Unicode standard tables them: for
// each range of first bytes, the range each following byte must be in.
struct Utf8Form {
  unsigned char first[2];
  unsigned char next[3][2];
  std::size_t length;
};
inline constexpr Utf8Form Utf8Forms[] = {
    {{0x00, 0x7F}, {}, 1},
    {{0xC2, 0xDF}, {{0x80, 0xBF}}, 2},
    {{0xE0, 0xE0}, {{0xA0, 0xBF}, {0x80, 0xBF}}, 3},
    {{0xE1, 0xEC}, {{0x80, 0xBF}, {0x80, 0xBF}}, 3},
    {{0xED, 0xED}, {{0x80, 0x9F}, {0x80, 0xBF}}, 3},
    {{0xEE, 0xEF}, {{0x80, 0xBF}, {0x80, 0xBF}}, 3},
    {{0xF0, 0xF0}, {{0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}, 4},
    {{0xF1, 0xF3}, {{0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}, 4},
    {{0xF4, 0xF4}, {{0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}, 4},
};

// bytes as UTF-16, or none where they are no well-formed UTF-8.
inline std::optional<Units> Utf8ToUtf16(const std::string& bytes) {
  Units units;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const Utf8Form* form = nullptr;
    for (const Utf8Form& candidate : Utf8Forms) {
      if (byte(0) >= candidate.first[0] && byte(0) <= candidate.first[1]) {
        form = &candidate;
      }
    }
    if (form == nullptr || at + form->length > bytes.size()) {
      return std::nullopt;
    }
    // The first byte's bits below its length marker, then six from each byte after it.
    std::uint32_t code = byte(0) & (form->length == 1 ? 0x7FU : 0xFFU >> (form->length + 1));
    for (std::size_t i = 1; i < form->length; ++i) {
      if (byte(i) < form->next[i - 1][0] || byte(i) > form->next[i - 1][1]) {
        return std::nullopt;
      }
      code = code * 64 + (byte(i) - 0x80U);
    }
    if (code > 0xFFFF) {
      code -= 0x10000;
      units += static_cast<char16_t>(0xD800 | (code / 0x400));
      units += static_cast<char16_t>(0xDC00 | (code % 0x400));
    } else {
      units += static_cast<char16_t>(code);
    }
    at += form->length;
  }
  return units;
}

// The name given on the command line as the file's characters: bytes in
// 8-bit text; UTF-8 decoded into UTF-16 in 16-bit text (or bytes, if no UTF-8).
inline Units NameIn(const std::string& name, const Dialect& dialect) {
  Units bytes;
  for (const char c : name) {
    bytes += static_cast<char16_t>(static_cast<unsigned char>(c));
  }
  if (dialect.encoding == Encoding::Bytes) {
    return Bare(bytes);
  }
  return Bare(Utf8ToUtf16(name).value_or(bytes));
}

// The names a first line gives the columns of levels and of outline numbers,
// every way they are written: each space a space, an underscore, a hyphen or
// nothing.
inline std::vector<Units> NamesWritten(std::initializer_list<const char16_t*> names) {
  std::vector<Units> written;
  for (const char16_t* name : names) {
    std::vector<Units> ways = {u""};
    for (const char16_t* c = name; *c != 0; ++c) {
      std::vector<Units> longer;
      for (const Units& way : ways) {
        if (*c == ' ') {
          for (const char16_t* joint : {u" ", u"_", u"-", u""}) {
            longer.push_back(way + joint);
          }
        } else {
          longer.push_back(way + *c);
        }
      }
      ways = longer;
    }
    written.insert(written.end(), ways.begin(), ways.end());
  }
  return written;
}

inline bool NamedAmong(const Units& field, const std::vector<Units>& names) {
  return std::any_of(names.begin(), names.end(), [&](const Units& name) { return SameName(field, name); });
}

inline const std::vector<Units>& LevelNames() {
  static const std::vector<Units> names = NamesWritten({u"Level", u"Outline Level", u"Task Level", u"WBS Level",
                                                        u"Hierarchy Level", u"Indent Level", u"Gliederungsebene"});
  return names;
}

inline const std::vector<Units>& OutlineNames() {
  static const std::vector<Units> names =
      NamesWritten({u"WBS", u"Outline Number", u"WBS Code", u"WBS Number", u"Gliederungsnummer"});
  return names;
}

// The dialect of a file's bytes, as the user's choices and its start make
// it; problem, where given, says whether those choices fit the file, and
// fromFirstLine whether the first line chose the level column.
inline Dialect Detect(std::string_view bytes, const LayoutChoice& layout = {}, LayoutProblem* problem = nullptr,
                      bool* fromFirstLine = nullptr) {
  Dialect dialect = DialectOf(bytes);
  dialect.levelColumn = layout.levelColumn.value_or(LevelColumn);
  dialect.levelForm = layout.outlineNumbers ? LevelForm::Outline : LevelForm::Number;
  dialect.quotedLevels = layout.quotedLevels;
  dialect.multiline = layout.multiline;
  if (fromFirstLine != nullptr) {
    *fromFirstLine = false;
  }
  const Units text = Decode(bytes, dialect).units;
  const Units window = text.substr(0, LineEndWindow / dialect.UnitSize());
  dialect.crLineEnds = window.find(u'\r') != Units::npos && window.find(u'\n') == Units::npos;
  // The first two lines, each without its line end (a CR LF is one).
  const auto lineAt = [&](std::size_t from, std::size_t& next) {
    const std::size_t end = std::min(text.find_first_of(dialect.crLineEnds ? u"\r\n" : u"\n", from), text.size());
    next = end + (end < text.size() ? 1 : 0);
    next += dialect.crLineEnds && end < text.size() && text[end] == '\r' && next < text.size() && text[next] == '\n';
    return text.substr(from, end - from);
  };
  std::size_t second = 0;
  std::size_t third = 0;
  Units line = lineAt(0, second);
  if (!dialect.crLineEnds && !line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  std::optional<char16_t> hint;
  if (line.size() == 5 && line.substr(0, 4) == u"sep=" && line[4] != '"' && line[4] != '\r' && line[4] != '\n' &&
      line[4] != 0) {
    hint = line[4];
  }
  if (problem != nullptr) {
    *problem = LayoutProblem::None;
  }
  if (layout.separator && dialect.encoding == Encoding::Bytes &&
      (*layout.separator > 0xFF || (dialect.markSize > 0 && *layout.separator >= 0x80))) {
    if (problem != nullptr) {
      *problem = LayoutProblem::SeparatorNotOneByte;
    }
  }
  // The separator as the first line counts it, where nothing names one.
  std::uint64_t commas = 0;
  std::uint64_t semicolons = 0;
  std::uint64_t tabs = 0;
  bool quoted = false;
  for (const char16_t c : line) {
    quoted = c == '"' ? !quoted : quoted;
    commas += !quoted && c == ',';
    semicolons += !quoted && c == ';';
    tabs += !quoted && c == '\t';
  }
  const std::uint64_t enough = std::max(layout.levelColumn.value_or(LevelColumn), 1U);
  dialect.separator = ',';
  if (commas < enough && (semicolons >= enough || tabs >= enough)) {
    dialect.separator = tabs > semicolons ? std::uint16_t{'\t'} : std::uint16_t{';'};
  }
  if (layout.separator || hint) {
    dialect.separator = layout.separator ? *layout.separator : *hint;
  }
  // The header, as far as it is looked through.
  Units header = hint ? lineAt(second, third) : line;
  const std::size_t headerStart = hint ? second : 0;
  header = header.substr(0, HeaderLimit > headerStart ? HeaderLimit - headerStart : 0);
  std::vector<char16_t> candidates = {u',', u';', u'\t'};
  if (layout.separator || hint) {
    candidates = {static_cast<char16_t>(dialect.separator)};
  }
  // The first field that names the column, under the first separator where one does.
  const auto find = [&](auto names) {
    for (const char16_t separator : candidates) {
      const std::vector<Units> fields = Fields(header, separator);
      for (unsigned index = 0; index < fields.size(); ++index) {
        if (names(Bare(fields[index]))) {
          dialect.levelColumn = index;
          dialect.separator = separator;
          return true;
        }
      }
    }
    return false;
  };
  if (!layout.levelName.empty()) {
    const Units name = NameIn(layout.levelName, dialect);
    if (find([&](const Units& field) { return SameName(field, name); })) {
      if (NamedAmong(name, OutlineNames())) {
        dialect.levelForm = LevelForm::Outline;
      }
    } else if (problem != nullptr && *problem == LayoutProblem::None) {
      *problem = LayoutProblem::NoColumnOfThatName;
    }
    return dialect;
  }
  if (layout.levelColumn) {
    return dialect;
  }
  const std::vector<Units> fields = Fields(header, static_cast<char16_t>(dialect.separator));
  if (fields.size() > LevelColumn && NamedAmong(Bare(fields[LevelColumn]), LevelNames())) {
    return dialect;
  }
  bool found = find([](const Units& field) { return NamedAmong(field, LevelNames()); });
  if (!found && find([](const Units& field) { return NamedAmong(field, OutlineNames()); })) {
    dialect.levelForm = LevelForm::Outline;
    found = true;
  }
  if (fromFirstLine != nullptr) {
    *fromFirstLine = found;
  }
  return dialect;
}

// What LineScanner should find in bytes, the start of an input in the given
// dialect: the indents, where the open record starts and whether its level
// is still unknown, and the tally.
struct Scan {
  std::vector<LineIndent> indents;
  std::uint64_t openStart = 0;
  bool openUndecided = false;
  ScanTally tally;
};

// One record of a text, from its first character on: where it ends (at its
// record end, included, or at the text's end), its fields without the record
// end, how many line ends it holds inside quoted fields (a CR LF once), and,
// where records span lines, whether it ends inside a quoted field and where
// that field opened.
struct Record {
  std::size_t end = 0;
  bool ended = false;
  std::vector<Units> fields;
  std::uint64_t insideLineEnds = 0;
  bool unclosed = false;
  std::size_t openedAt = 0;
};

inline Record RecordAt(const Units& text, std::size_t first, const Dialect& dialect) {
  const auto isEnd = [&](char16_t c) { return c == '\n' || (dialect.crLineEnds && c == '\r'); };
  Record record;
  record.fields.emplace_back();
  if (!dialect.multiline) {
    // A line, its fields split where the quotation marks before a separator
    // in the field are even in number.
    std::size_t last = first;
    while (last < text.size() && !isEnd(text[last])) {
      ++last;
    }
    record.ended = last < text.size();
    record.end = last + (record.ended ? 1 : 0);
    record.fields = Fields(text.substr(first, last - first), static_cast<char16_t>(dialect.separator));
    return record;
  }
  // As a spreadsheet reads it.
  enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted } state = State::FieldStart;
  bool afterCr = false;
  std::size_t at = first;
  for (; at < text.size(); ++at) {
    const char16_t c = text[at];
    if (state == State::Quoted) {
      if (c == '"') {
        state = State::QuoteInQuoted;
      } else if (isEnd(c) && !(dialect.crLineEnds && c == '\n' && afterCr)) {
        ++record.insideLineEnds;
      }
    } else if (c == static_cast<char16_t>(dialect.separator)) {
      record.fields.emplace_back();
      state = State::FieldStart;
      afterCr = false;
      continue;
    } else if (isEnd(c)) {
      record.ended = true;
      break;
    } else if (c == '"' && state != State::Unquoted) {
      record.openedAt = state == State::FieldStart ? at : record.openedAt;
      state = State::Quoted;
    } else {
      state = State::Unquoted;
    }
    afterCr = c == '\r';
    record.fields.back() += c;
  }
  record.end = at + (record.ended ? 1 : 0);
  record.unclosed = state == State::Quoted;
  return record;
}

inline Scan ScanLines(std::string_view bytes, bool final, const Dialect& dialect) {
  const Decoded text = Decode(bytes, dialect);
  Scan scan;
  scan.openStart = dialect.markSize;
  bool afterCr = false;
  for (std::size_t first = 0; first < text.units.size() || (final && scan.openStart < bytes.size());) {
    const Record record = RecordAt(text.units, first, dialect);
    const std::uint64_t lineNumber = scan.tally.lines + 1;
    const std::size_t separators = record.fields.size() - 1;
    const bool hasField = separators >= dialect.levelColumn;
    const bool fieldComplete = record.ended || final || separators > dialect.levelColumn;
    const Reading reading = hasField ? Read(record.fields[dialect.levelColumn], fieldComplete, dialect)
                                     : Reading{0, false, false, false, record.ended || final};
    const std::uint64_t start = scan.openStart;
    if (reading.settled) {
      scan.tally.levelFields += hasField;
      scan.tally.numbers += reading.number;
      if (reading.quotedNumber && scan.tally.quotedNumbers++ == 0) {
        scan.tally.firstQuotedLine = lineNumber;
      }
      if (reading.compound && reading.level <= MaxLevel && scan.tally.compound++ == 0) {
        scan.tally.firstCompoundLine = lineNumber;
      }
      if (reading.level > 1 && reading.level <= MaxLevel) {
        scan.indents.push_back({start, static_cast<std::uint64_t>(reading.level) - 1});
        ++scan.tally.indented;
      } else if (reading.level > MaxLevel && scan.tally.tooDeep++ == 0) {
        scan.tally.firstTooDeepLine = lineNumber;
      }
    }
    if (!record.ended && !final) {
      // The line ends inside its fields so far have passed.
      scan.tally.lines += record.insideLineEnds;
      scan.openUndecided = !reading.settled;
      return scan;
    }
    if (!dialect.multiline) {
      // Every quotation mark on the line counts, separators or not.
      const std::size_t body = record.end - first - (record.ended ? 1 : 0);
      const auto marks = std::count(text.units.begin() + static_cast<std::ptrdiff_t>(first),
                                    text.units.begin() + static_cast<std::ptrdiff_t>(first + body), u'"');
      if (marks % 2 != 0 && scan.tally.endInQuotes++ == 0) {
        scan.tally.firstEndInQuotesLine = lineNumber;
      }
    }
    if (record.unclosed && final) {
      std::uint64_t line = lineNumber;
      for (std::size_t at = first; at < record.openedAt; ++at) {
        line += text.units[at] == '\n' || (dialect.crLineEnds && text.units[at] == '\r' &&
                                           !(at + 1 < text.units.size() && text.units[at + 1] == '\n'))
                    ? 1
                    : 0;
      }
      scan.tally.unclosedLine = line;
    }
    const bool crLfTail = dialect.crLineEnds && afterCr && record.end == first + 1 && text.units[first] == '\n';
    scan.tally.lines += (crLfTail ? 0 : 1) + record.insideLineEnds;
    afterCr = record.ended && text.units[record.end - 1] == '\r';
    scan.openStart = record.ended ? text.offsets[record.end - 1] + dialect.UnitSize() : bytes.size();
    first = record.end;
    if (!record.ended) {
      break;
    }
  }
  // Only the odd byte of 16-bit text may be left: a line begun, its level unknown.
  scan.openUndecided = !final && scan.openStart < bytes.size();
  return scan;
}

// The whole conversion of a file's bytes, as the rules say.
inline std::string Convert(std::string_view bytes, const LayoutChoice& layout = {}) {
  const Dialect dialect = Detect(bytes, layout);
  const Scan scan = ScanLines(bytes, true, dialect);
  std::string unit(IndentUnit.size() * dialect.UnitSize(), ' ');
  if (dialect.encoding != Encoding::Bytes) {
    for (std::size_t i = 0; i < unit.size(); ++i) {
      unit[i] = (i % 2 == 0) == (dialect.encoding == Encoding::Utf16Le) ? ' ' : '\0';
    }
  }
  std::string output;
  std::size_t written = 0;
  for (const LineIndent& indent : scan.indents) {
    output.append(bytes.substr(written, indent.lineStart - written));
    for (std::uint64_t i = 0; i < indent.units; ++i) {
      output += unit;
    }
    written = indent.lineStart;
  }
  output.append(bytes.substr(written));
  return output;
}

}  // namespace rungwell::plain

namespace rungwell {

// The scan paths a test runs the real code on, each of which must give what
// the plain model gives: every path this processor runs, or, where
// RUNGWELL_SCAN=<name> chooses one, that one alone.
inline std::vector<ScanPath> PathsToTest() {
  if (std::getenv("RUNGWELL_SCAN") != nullptr) {
    return {ChosenScanPath()};
  }
  std::vector<ScanPath> paths;
  for (const ScanPath path : AllScanPaths) {
    if (CanRun(path)) {
      paths.push_back(path);
    }
  }
  return paths;
}

inline bool operator==(const LineIndent& a, const LineIndent& b) {
  return a.lineStart == b.lineStart && a.units == b.units;
}

inline std::ostream& operator<<(std::ostream& out, const LineIndent& indent) {
  return out << "{line at " << indent.lineStart << ", " << indent.units << " units}";
}

inline bool operator==(const ScanTally& a, const ScanTally& b) {
  return a.lines == b.lines && a.levelFields == b.levelFields && a.numbers == b.numbers &&
         a.quotedNumbers == b.quotedNumbers && a.firstQuotedLine == b.firstQuotedLine && a.indented == b.indented &&
         a.tooDeep == b.tooDeep && a.firstTooDeepLine == b.firstTooDeepLine && a.compound == b.compound &&
         a.firstCompoundLine == b.firstCompoundLine && a.endInQuotes == b.endInQuotes &&
         a.firstEndInQuotesLine == b.firstEndInQuotesLine && a.unclosedLine == b.unclosedLine;
}

inline std::ostream& operator<<(std::ostream& out, const ScanTally& t) {
  return out << "{lines " << t.lines << ", fields " << t.levelFields << ", numbers " << t.numbers << ", quoted "
             << t.quotedNumbers << " from line " << t.firstQuotedLine << ", indented " << t.indented << ", too deep "
             << t.tooDeep << " from line " << t.firstTooDeepLine << ", more than a number " << t.compound
             << " from line " << t.firstCompoundLine << ", ending in quotes " << t.endInQuotes << " from line "
             << t.firstEndInQuotesLine << ", unclosed from line " << t.unclosedLine << "}";
}

}  // namespace rungwell
