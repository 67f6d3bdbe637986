#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "csv/Dialect.h"
#include "csv/FirstLine.h"
#include "csv/Layout.h"
#include "csv/simd/ScanPath.h"

namespace rungwell {

// Where the level column came from, and what the first line calls it.
struct LevelColumnOrigin {
  enum class Source {
    Default,    // LevelColumn: nothing given, and the first line names no other
    Index,      // given by its index
    Name,       // given by its name
    FirstLine,  // the first line names it as one of levels or of outline numbers
  };
  Source source = Source::Default;
  // The first line's name for the column, bare; empty where it has none (a
  // line of values, or too few fields).
  Units name;
};

// Reads the start of a file, fed in order in pieces of any size, until it
// knows the file's dialect; it never needs more than the mark, the first
// LineEndWindow bytes after it and the file's first line (the first two
// when a column is named and the first is a sep= line).
//
// - A file that starts with EF BB BF is UTF-8 with a mark; FF FE, UTF-16LE;
//   FE FF, UTF-16BE. Anything else is 8-bit text without a mark.
// - Lines end with CR, LF or CR LF when the first LineEndWindow bytes after
//   the mark (or the whole file, if shorter) hold a CR and no LF; with LF
//   otherwise.
// - The separator is the one the user gave. Otherwise a first line that is
//   exactly "sep=" and one character names it. Otherwise, for a column given
//   by its name, the first of comma, semicolon and tab under which the first
//   line has a field of that name. Otherwise the first line's count chooses
//   it (SeparatorByCount), with the level column's index (at least 1) as
//   enough.
// - The level column is the one given. Otherwise, unless field LevelColumn
//   of the first line under the separator so far is itself a level's name,
//   the first field that the first line names as one of levels, or failing
//   that of outline numbers (IsLevelName, IsOutlineName), under the first
//   separator as for a column given by its name; otherwise LevelColumn. A
//   column named as one of outline numbers holds outline numbers.
class DialectDetector {
 public:
  explicit DialectDetector(LayoutChoice layout = {}, ScanPath path = ChosenScanPath());

  // Takes the next bytes of the file. True once the dialect is known; later
  // bytes are not needed.
  bool Feed(std::string_view bytes);

  // The file has ended: what was fed decides.
  void End();

  bool Decided() const noexcept { return decided; }

  // The dialect, once decided.
  Dialect Result() const;

  // Whether the file can be read as the user said, once decided.
  LayoutProblem Problem() const;

  // Where the level column of Result came from.
  LevelColumnOrigin Origin() const;

  // The names of the first line's fields, split by the separator it would
  // have without a column given by name.
  std::vector<Units> FirstLineNames() const;

 private:
  void TakeMark(bool final);
  void TakeUnit(std::uint16_t unit);
  // Units that hold no line end have passed.
  void PassUnits(std::uint64_t count);
  void DecideIfKnown();
  std::uint64_t Enough() const;
  // The separator given, or the hint's.
  std::optional<std::uint16_t> SeparatorGiven() const;
  // The separator of today's rule: given, the hint's, or by the count.
  std::uint16_t SeparatorByRule() const;
  // The first line, or the second after a hint, as far as it was kept.
  Units Header() const;
  // The separators a column sought by its name is looked for under.
  std::vector<std::uint16_t> Candidates() const;
  // The column named, and the separator under which the header has it.
  std::optional<NamedColumn> Named() const;
  // The column the first line names for the levels, if it is to be read,
  // and whether it holds outline numbers.
  std::optional<std::pair<NamedColumn, bool>> FoundInFirstLine() const;

  LayoutChoice layout;
  ScanPath path;

  unsigned char head[3] = {0, 0, 0};  // the first bytes, until the mark is known
  std::size_t headSize = 0;
  bool markKnown = false;
  Dialect dialect;
  std::optional<FirstLine> firstLine;  // once the mark is known

  int pendingByte = -1;         // first byte of a code unit cut by a piece's end
  std::uint64_t unitsSeen = 0;  // code units after the mark
  bool sawCr = false;           // within the window
  bool sawLf = false;           // within the window
  bool lineEndsKnown = false;
  bool decided = false;
};

}  // namespace rungwell
