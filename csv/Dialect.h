#pragma once

// How a plan is written: the encoding of its characters, the byte-order mark
// in front, the character that separates fields and the characters that end
// lines. Windows programs write plans in several such dialects; the start of
// the file tells which.

#include <cstddef>
#include <cstdint>
#include <string_view>

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

// Reads the start of a file, fed in order in pieces of any size, until it
// knows the file's dialect; it never needs more than the mark, the first
// LineEndWindow bytes after it and the file's first line.
//
// - A file that starts with EF BB BF is UTF-8 with a mark; FF FE, UTF-16LE;
//   FE FF, UTF-16BE. Anything else is 8-bit text without a mark.
// - Lines end with CR, LF or CR LF when the first LineEndWindow bytes after
//   the mark (or the whole file, if shorter) hold a CR and no LF; with LF
//   otherwise.
// - The separator is the comma, unless the first line has fewer than
//   LevelColumn commas outside quotation marks and at least LevelColumn
//   semicolons or tabs outside them: then that character, or the more
//   frequent of the two (the semicolon when they tie). A first line that is
//   exactly "sep=" and one character names the separator itself.
class DialectDetector {
 public:
  // Takes the next bytes of the file. True once the dialect is known; later
  // bytes are not needed.
  bool Feed(std::string_view bytes);

  // The file has ended: what was fed decides.
  void End();

  bool Decided() const noexcept { return decided; }

  // The dialect, once decided.
  Dialect Result() const;

 private:
  struct Counts {
    std::uint64_t commas = 0;
    std::uint64_t semicolons = 0;
    std::uint64_t tabs = 0;
  };

  void TakeMark(bool final);
  void TakeUnit(std::uint16_t unit);
  void SkipUnits(std::uint64_t count);
  void DecideIfKnown();
  std::uint16_t SeparatorOf(const Counts& counts, std::uint64_t lineUnits, bool crBeforeLf) const;

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
  bool decided = false;
};

}  // namespace rungwell
