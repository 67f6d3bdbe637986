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

// The index of the first field of line, split at separator where no
// quotation mark protects it, that bears name.
std::optional<unsigned> FieldNamed(const Units& line, std::uint16_t separator, const Units& name) {
  unsigned index = 0;
  for (auto start = line.cbegin();; ++index) {
    bool quoted = false;
    auto end = start;
    while (end != line.cend() && (quoted || *end != separator)) {
      quoted = *end == Quote ? !quoted : quoted;
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
    if (const std::optional<unsigned> index = FieldNamed(line, separator, name)) {
      return NamedColumn{*index, separator};
    }
  }
  return std::nullopt;
}

FirstLine::FirstLine(Encoding textEncoding, bool keepStart, ScanPath path)
    : encoding(textEncoding),
      keeping(keepStart),
      countKernel(KernelsFor(path).count[static_cast<std::size_t>(textEncoding)]) {}

void FirstLine::Take(std::uint16_t unit) {
  if (keeping && kept.size() < HeaderLimit) {
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
  if (!keeping) {
    return;
  }
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
