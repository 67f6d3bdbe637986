#pragma once

// How a plan is written: the encoding of its characters, the byte-order mark
// in front, the character that separates fields and the characters that end
// lines. Windows programs write plans in several such dialects; the start of
// the file tells which.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "csv/Level.h"

namespace rungwell {

enum class Encoding {
  Bytes,    // 8-bit text or UTF-8: every byte is a character of its own
  Utf16Le,  // 16-bit code units, low byte first
  Utf16Be,  // 16-bit code units, high byte first
};

struct Dialect {
  Encoding encoding = Encoding::Bytes;
  // The byte-order mark the file starts with, copied first and never indented.
  std::size_t markSize = 0;
  // The code unit that separates fields; for Bytes, a byte.
  std::uint16_t separator = ',';
  // A CR ends a line as an LF does, and CR LF ends one line; otherwise only
  // an LF ends a line and a CR is an ordinary character.
  bool crLineEnds = false;
  // The field that holds a line's level, counted from 0.
  unsigned levelColumn = LevelColumn;

  std::size_t UnitSize() const noexcept { return encoding == Encoding::Bytes ? 1 : 2; }
};

// How far into a file the choice of line ends looks, after any mark. The
// build with tiny buffers makes it small too, so that the inputs of tests and
// fuzzers reach past it.
#ifdef RUNGWELL_TINY_BUFFERS
inline constexpr std::size_t LineEndWindow = 300;
#else
inline constexpr std::size_t LineEndWindow = std::size_t{64} << 10;
#endif

// What the user has said of a plan's layout, which the file's own start
// settles otherwise.
struct LayoutChoice {
  // The level's field, by its index counted from 0...
  unsigned levelColumn = LevelColumn;
  // ...or, when not empty, by its name in the first line (after a sep=
  // line), in the command line's encoding, UTF-8.
  std::string levelName;
  // The character that separates fields, whatever the file says: a code
  // point up to U+FFFF.
  std::optional<std::uint16_t> separator;
};

// Why a file's layout cannot be what the user said.
enum class LayoutProblem {
  None,
  NoColumnOfThatName,   // no field of the first line has the name given
  SeparatorNotOneByte,  // the separator given is no character of its own in this 8-bit text
};

// How many characters of a file's start are looked through for a column's
// name: a header line is short, and a name past this is taken as missing.
inline constexpr std::size_t HeaderLimit = std::size_t{64} << 10;

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
//   line has a field of that name. Otherwise it is the comma, unless the
//   first line has fewer commas outside quotation marks than the level
//   column's index (at least 1) and at least that many semicolons or tabs
//   outside them: then that character, or the more frequent of the two (the
//   semicolon when they tie).
class DialectDetector {
 public:
  explicit DialectDetector(LayoutChoice layout = {});

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

 private:
  struct Counts {
    std::uint64_t commas = 0;
    std::uint64_t semicolons = 0;
    std::uint64_t tabs = 0;
  };

  void TakeMark(bool final);
  void KeepForHeader(std::string_view bytes);
  // Takes as many 64-byte blocks of a long first line, from the start of
  // bytes, as it can in bulk; returns how many bytes it took.
  std::size_t CountThrough(std::string_view bytes);
  void TakeUnit(std::uint16_t unit);
  void SkipUnits(std::uint64_t count);
  void DecideIfKnown();
  // How many separators a first line needs for its separator to be chosen.
  std::uint64_t Enough() const;
  // The separator the first line names as Excel's hint, "sep=X", if it does.
  std::optional<std::uint16_t> Hint() const;
  std::uint16_t SeparatorOf(const Counts& counts) const;
  // The line after a hint, or the first, while a column is sought by name.
  std::vector<std::uint16_t> HeaderLine() const;
  // The column named, and the separator under which the header has it.
  std::optional<std::pair<unsigned, std::uint16_t>> NamedColumn() const;

  LayoutChoice layout;

  unsigned char head[3] = {0, 0, 0};  // the first bytes, until the mark is known
  std::size_t headSize = 0;
  bool markKnown = false;
  Dialect dialect;

  int pendingByte = -1;         // first byte of a code unit cut by a piece's end
  std::uint64_t unitsSeen = 0;  // code units after the mark
  bool sawCr = false;           // within the window
  bool sawLf = false;           // within the window
  bool lineEndsKnown = false;
  bool inQuotes = false;  // at the current place in the first line
  // Separators outside quotation marks in the first line: up to its first LF
  // (or the end of the file), and apart up to its first CR, since which of
  // the two ends it depends on line ends that may be known only later.
  Counts counts;
  Counts toCr;
  std::uint64_t unitsToCr = 0;
  std::uint64_t unitsToLf = 0;
  bool firstCrSeen = false;
  bool firstLfSeen = false;
  // The first line's first units, enough to recognise "sep=X" with a CR.
  std::uint16_t start[6] = {0, 0, 0, 0, 0, 0};
  // The file's first units, up to HeaderLimit, while a column is sought by
  // name, and the line ends among them.
  std::vector<std::uint16_t> header;
  std::uint64_t headerLfs = 0;
  std::uint64_t headerCrs = 0;
  std::uint64_t headerCrLfs = 0;
  bool lastWasCr = false;
  bool decided = false;
};

}  // namespace rungwell
