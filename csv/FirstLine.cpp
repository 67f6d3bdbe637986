#include "csv/FirstLine.h"

#include <algorithm>
#include <iterator>

#include "csv/Utf8.h"
#include "csv/simd/Kernels.h"

namespace rungwell {

namespace {

constexpr std::uint16_t Cr = '\r';
constexpr std::uint16_t Lf = '\n';
constexpr std::uint16_t Quote = '"';

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
  if (text.size() < 2 || text.front() != Quote || text.back() != Quote) {
    return text;
  }
  Units inner;
  for (std::size_t at = 1; at + 1 < text.size(); ++at) {
    inner.push_back(text[at]);
    at += text[at] == Quote && text[at + 1] == Quote && at + 2 < text.size() ? 1 : 0;
  }
  return Trimmed(inner.cbegin(), inner.cend());
}

bool SameName(const Units& field, const Units& name) {
  return field.size() == name.size() &&
         std::equal(field.begin(), field.end(), name.begin(),
                    [](std::uint16_t a, std::uint16_t b) { return Upper(a) == Upper(b); });
}

// Each field of line, split at separator where no quotation mark protects
// it, bare, in order, until visit says it has found what it looked for;
// returns the index of that field.
template <typename Visit>
std::optional<unsigned> VisitFields(const Units& line, std::uint16_t separator, Visit visit) {
  unsigned index = 0;
  for (auto start = line.cbegin();; ++index) {
    bool quoted = false;
    auto end = start;
    while (end != line.cend() && (quoted || *end != separator)) {
      quoted = *end == Quote ? !quoted : quoted;
      ++end;
    }
    if (visit(Bare(start, end))) {
      return index;
    }
    if (end == line.cend()) {
      return std::nullopt;
    }
    start = end + 1;
  }
}

// Whether name is written as one of words, its words joined by a space, an
// underscore, a hyphen or nothing, without regard to ASCII case.
bool WrittenAs(const Units& name, std::initializer_list<std::string_view> words) {
  for (const std::string_view written : words) {
    std::size_t at = 0;
    bool same = true;
    for (const char c : written) {
      if (c == ' ') {
        at += at < name.size() && (name[at] == ' ' || name[at] == '_' || name[at] == '-') ? 1 : 0;
        continue;
      }
      if (at >= name.size() || Upper(name[at]) != Upper(static_cast<unsigned char>(c))) {
        same = false;
        break;
      }
      ++at;
    }
    if (same && at == name.size()) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::uint16_t SeparatorByCount(const SeparatorCounts& line, std::uint64_t enough) {
  if (line.commas >= enough || (line.semicolons < enough && line.tabs < enough)) {
    return ',';
  }
  return line.tabs > line.semicolons ? '\t' : ';';
}

std::optional<std::uint16_t> SeparatorHint(const Units& line) {
  if (line.size() == 5 && line[0] == 's' && line[1] == 'e' && line[2] == 'p' && line[3] == '=' && line[4] != Quote &&
      line[4] != Cr && line[4] != Lf && line[4] != 0) {
    return line[4];
  }
  return std::nullopt;
}

Units HeaderLine(const Units& start, bool crLineEnds, bool afterHint) {
  const auto lineEnd = [&](std::size_t from) {
    std::size_t at = from;
    while (at < start.size() && start[at] != Lf && !(crLineEnds && start[at] == Cr)) {
      ++at;
    }
    return at;
  };
  std::size_t from = 0;
  std::size_t to = lineEnd(0);
  if (afterHint) {
    from = std::min(to + 1, start.size());
    from += from < start.size() && crLineEnds && start[from - 1] == Cr && start[from] == Lf ? 1 : 0;
    to = lineEnd(from);
  }
  return {start.begin() + static_cast<std::ptrdiff_t>(from), start.begin() + static_cast<std::ptrdiff_t>(to)};
}

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

std::optional<NamedColumn> ColumnNamed(const Units& line, const Units& name,
                                       const std::vector<std::uint16_t>& separators) {
  for (const std::uint16_t separator : separators) {
    if (const auto index = VisitFields(line, separator, [&](const Units& field) { return SameName(field, name); })) {
      return NamedColumn{*index, separator};
    }
  }
  return std::nullopt;
}

std::optional<NamedColumn> ColumnWhere(const Units& line, const std::vector<std::uint16_t>& separators,
                                       bool (*matches)(const Units& name)) {
  for (const std::uint16_t separator : separators) {
    if (const std::optional<unsigned> index = VisitFields(line, separator, matches)) {
      return NamedColumn{*index, separator};
    }
  }
  return std::nullopt;
}

std::vector<Units> FieldNames(const Units& line, std::uint16_t separator) {
  std::vector<Units> names;
  (void)VisitFields(line, separator, [&](const Units& field) {
    names.push_back(field);
    return false;
  });
  return names;
}

bool IsLevelName(const Units& name) {
  return WrittenAs(name, {"Level", "Outline Level", "Task Level", "WBS Level", "Hierarchy Level", "Indent Level",
                          "Gliederungsebene"});
}

bool IsOutlineName(const Units& name) {
  return WrittenAs(name, {"WBS", "Outline Number", "WBS Code", "WBS Number", "Gliederungsnummer"});
}

bool IsName(const Units& name) {
  const bool sign = !name.empty() && (name[0] == '+' || name[0] == '-');
  return !name.empty() && !IsDigit(name[0]) && !(sign && name.size() > 1 && IsDigit(name[1]));
}

std::string NameText(const Units& name, Encoding encoding) {
  std::string text;
  for (std::size_t at = 0; at < name.size(); ++at) {
    std::uint32_t code = name[at];
    if (encoding == Encoding::Bytes) {
      text += static_cast<char>(code);
      continue;
    }
    if (code >= 0xD800 && code <= 0xDBFF && at + 1 < name.size() && name[at + 1] >= 0xDC00 && name[at + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10U) + (name[++at] - 0xDC00U);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      text += static_cast<char>(code);
    } else if (code < 0x800) {
      text += static_cast<char>(0xC0 | code >> 6U);
      text += static_cast<char>(0x80 | (code & 0x3FU));
    } else if (code < 0x10000) {
      text += static_cast<char>(0xE0 | code >> 12U);
      text += static_cast<char>(0x80 | (code >> 6U & 0x3FU));
      text += static_cast<char>(0x80 | (code & 0x3FU));
    } else {
      text += static_cast<char>(0xF0 | code >> 18U);
      text += static_cast<char>(0x80 | (code >> 12U & 0x3FU));
      text += static_cast<char>(0x80 | (code >> 6U & 0x3FU));
      text += static_cast<char>(0x80 | (code & 0x3FU));
    }
  }
  return text;
}

FirstLine::FirstLine(Encoding textEncoding, ScanPath path)
    : encoding(textEncoding), countKernel(KernelsFor(path).count[static_cast<std::size_t>(textEncoding)]) {}

void FirstLine::Take(std::uint16_t unit) {
  if (kept.size() < HeaderLimit) {
    kept.push_back(unit);
    keptLfs += unit == Lf ? 1 : 0;
    keptCrs += unit == Cr ? 1 : 0;
    keptCrLfs += unit == Lf && lastKeptWasCr ? 1 : 0;
    lastKeptWasCr = unit == Cr;
  }
  if (lfSeen) {
    return;
  }
  if (toLf < std::size(start)) {
    start[toLf] = unit;
  }
  if (unit == Lf) {
    lfSeen = true;
    return;
  }
  if (unit == Cr && !crSeen) {
    crSeen = true;
    countToCr = count.outside;
    toCr = toLf;
  }
  if (unit == Quote) {
    count.inQuotes = !count.inQuotes;
  } else if (!count.inQuotes) {
    count.outside.commas += unit == ',' ? 1 : 0;
    count.outside.semicolons += unit == ';' ? 1 : 0;
    count.outside.tabs += unit == '\t' ? 1 : 0;
  }
  ++toLf;
}

void FirstLine::Skip(std::string_view bytes) {
  Keep(bytes);
  toLf += lfSeen ? 0 : bytes.size() / (encoding == Encoding::Bytes ? 1 : 2);
}

std::size_t FirstLine::Count(std::string_view bytes) {
  if (!PastItsStart() || lfSeen) {
    return 0;
  }
  const std::size_t counted = countKernel(count, bytes);
  Skip(bytes.substr(0, counted));
  return counted;
}

void FirstLine::Keep(std::string_view bytes) {
  const std::size_t unit = encoding == Encoding::Bytes ? 1 : 2;
  for (std::size_t at = 0; at + unit <= bytes.size() && kept.size() < HeaderLimit; at += unit) {
    const unsigned first = static_cast<unsigned char>(bytes[at]);
    const unsigned second = unit == 2 ? static_cast<unsigned char>(bytes[at + 1]) : 0;
    kept.push_back(static_cast<std::uint16_t>(unit == 1                       ? first
                                              : encoding == Encoding::Utf16Le ? first | second << 8U
                                                                              : first << 8U | second));
  }
  lastKeptWasCr = false;
}

std::optional<std::uint16_t> FirstLine::Hint(bool crLineEnds) const {
  // The line ends at its first CR or LF in a file whose lines CR ends, else
  // at its first LF, and a CR before that LF belongs to the line's end.
  const std::uint64_t length = crLineEnds && crSeen ? toCr : toLf;
  if (length > std::size(start)) {
    return std::nullopt;
  }
  Units line(start, start + length);
  if (!crLineEnds && !line.empty() && line.back() == Cr) {
    line.pop_back();
  }
  return SeparatorHint(line);
}

}  // namespace rungwell
