#pragma once

// The first line of a plan, and the second after an Excel "sep=" line: what
// they say of the separator, and the names they give the columns.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "csv/Dialect.h"
#include "csv/simd/ScanPath.h"
#include "csv/simd/ScanState.h"

namespace rungwell {

// Text as a file's characters are: its bytes in 8-bit text, its 16-bit code
// units in UTF-16.
using Units = std::vector<std::uint16_t>;

// How many characters of a file's start are looked through for a column's
// name: a header line is short, and a name past this is taken as missing.
inline constexpr std::size_t HeaderLimit = std::size_t{64} << 10;

// The separator that a first line's count chooses: the comma, unless the
// line has fewer than enough commas outside quotation marks and at least
// that many semicolons or tabs outside them; then that character, or the
// more frequent of the two (the semicolon when they tie).
std::uint16_t SeparatorByCount(const SeparatorCounts& line, std::uint64_t enough);

// The separator that a first line, without its line end, names as Excel's
// hint: the line is exactly "sep=" and one character that can separate
// fields (not a quotation mark, a line end or NUL).
std::optional<std::uint16_t> SeparatorHint(const Units& line);

// The first line of the units a file starts with, or the second where the
// first is a hint, without its line end: up to its first LF, or its first
// CR or LF where a CR ends lines (a CR LF after a hint is one line end), or
// where the units end.
Units HeaderLine(const Units& start, bool crLineEnds, bool afterHint);

// The name as the file's characters are: its bytes in 8-bit text; in 16-bit
// text its UTF-8 decoded into UTF-16, or byte by byte should it be no UTF-8.
// The white space and quotation marks around it do not count.
Units NameUnits(const std::string& name, Encoding encoding);

// A column found by its name, and the separator that divides the line there.
struct NamedColumn {
  unsigned index;
  std::uint16_t separator;
};

// The first field of line that bears name, split by the first of separators
// under which one does: a separator between quotation marks does not
// divide, and a field's name is its text without the white space and
// quotation marks around it (two quotation marks inside it are one),
// compared without regard to ASCII case.
std::optional<NamedColumn> ColumnNamed(const Units& line, const Units& name,
                                       const std::vector<std::uint16_t>& separators);

// The first field of line, split by the first of separators under which
// one does, whose name (as ColumnNamed takes it) matches.
std::optional<NamedColumn> ColumnWhere(const Units& line, const std::vector<std::uint16_t>& separators,
                                       bool (*matches)(const Units& name));

// The names the fields of line give, split by separator: each field's text
// without the white space and quotation marks around it.
std::vector<Units> FieldNames(const Units& line, std::uint16_t separator);

// Whether a field's name (as FieldNames gives it) names a column that holds
// levels, as project-management programs and spreadsheets name it: Level,
// Outline Level, Task Level, WBS Level, Hierarchy Level and Indent Level,
// each also with _ or - or nothing in place of the space, and
// Gliederungsebene; ASCII case does not count.
bool IsLevelName(const Units& name);

// Whether it names a column of outline numbers (1, 1.2, 1.2.3): WBS, Outline
// Number, WBS Code, WBS Number, with the same variants, and
// Gliederungsnummer.
bool IsOutlineName(const Units& name);

// Whether a field's name is a name at all, and not a value, as the first
// field of a file without a header is: not empty, and not a number.
bool IsName(const Units& name);

// A name as UTF-8 for a message: 8-bit text as its bytes are, 16-bit text
// encoded (a lone surrogate as U+FFFD).
std::string NameText(const Units& name, Encoding encoding);

// A file's first line as its characters come, after any mark: the
// separators outside quotation marks in it, up to its first LF and apart up
// to its first CR (which of the two ends it depends on the file's line ends,
// which may be known only later); its first few characters, which may spell
// a hint; and, while a column is sought by its name, the file's first
// HeaderLimit characters themselves.
class FirstLine {
 public:
  FirstLine(Encoding encoding, ScanPath path);

  // Takes the next character.
  void Take(std::uint16_t unit);

  // Takes whole characters none of which ends a line, separates fields or
  // is a quotation mark.
  void Skip(std::string_view bytes);

  // Takes as many 64-byte blocks of a long line's middle from the start of
  // bytes, which begin with a whole character, as hold no line end; returns
  // how many bytes it took. Nothing before the line's first few characters
  // have come, nor after its end.
  std::size_t Count(std::string_view bytes);

  // Whether the characters to come can change no more than the counts.
  bool PastItsStart() const noexcept { return lfSeen || toLf >= std::size(start); }

  // Whether the line has ended, where the file's lines end as given.
  bool Ended(bool crLineEnds) const noexcept { return crLineEnds ? crSeen : lfSeen; }

  // The separators outside quotation marks in the line, or so far.
  const SeparatorCounts& Counts(bool crLineEnds) const noexcept {
    return crLineEnds && crSeen ? countToCr : count.outside;
  }

  // The separator the line names, if it is a hint.
  std::optional<std::uint16_t> Hint(bool crLineEnds) const;

  // The file's first characters, up to HeaderLimit, and how many lines have
  // ended among them.
  const Units& Kept() const noexcept { return kept; }
  std::uint64_t LinesEndedInKept(bool crLineEnds) const noexcept {
    return crLineEnds ? keptCrs + keptLfs - keptCrLfs : keptLfs;
  }

 private:
  void Keep(std::string_view bytes);

  Encoding encoding;
  FirstLineCount count;
  Units kept;
  std::uint64_t keptLfs = 0;
  std::uint64_t keptCrs = 0;
  std::uint64_t keptCrLfs = 0;
  bool lastKeptWasCr = false;
  SeparatorCounts countToCr;
  std::uint64_t toCr = 0;  // characters before the first CR
  std::uint64_t toLf = 0;  // characters before the first LF
  bool crSeen = false;
  bool lfSeen = false;
  // The line's first characters, enough to recognise "sep=X" with a CR.
  std::uint16_t start[6] = {0, 0, 0, 0, 0, 0};
  std::size_t (*countKernel)(FirstLineCount&, std::string_view) noexcept;
};

}  // namespace rungwell
