#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "csv/Dialect.h"
#include "csv/Level.h"
#include "csv/simd/ScanPath.h"

namespace rungwell {

// A line that needs indentation: where it starts in the input, and how many
// indent units go in front of it.
struct LineIndent {
  std::uint64_t lineStart;
  std::uint64_t units;
};

// What the scan saw, for telling the user why a file came out unchanged.
struct ScanTally {
  std::uint64_t lines = 0;             // lines ended so far (CR LF counts once)
  std::uint64_t levelFields = 0;       // lines that have a level field at all
  std::uint64_t numbers = 0;           // level fields that start with a number
  std::uint64_t quotedNumbers = 0;     // level fields holding a number in quotation marks
  std::uint64_t firstQuotedLine = 0;   // the first of them, counted from 1
  std::uint64_t indented = 0;          // lines given indentation
  std::uint64_t tooDeep = 0;           // lines whose level is above MaxLevel
  std::uint64_t firstTooDeepLine = 0;  // the first of them, counted from 1
};

// Everything the scan carries from one piece to the next; the kernels of
// each scan path work on it.
struct ScanState {
  Dialect dialect;
  std::uint64_t base = 0;                 // offset of the current piece's first byte
  std::uint64_t lineStart = 0;            // offset of the open line's first byte
  std::uint64_t fieldStart = 0;           // offset of its level field, once found
  unsigned separatorsToGo = LevelColumn;  // before the open line's level field
  std::uint64_t quoteFlip = 0;            // all ones when the line's quoting is odd where the piece starts
  bool decided = false;                   // the open line's level is known and dealt with
  bool reading = false;                   // level holds a level field begun in an earlier piece
  LevelReading level;
  bool lastEndedWithCr = false;  // for counting CR LF as one line end
  ScanTally tally;
};

// Finds the level of every line of an input fed to it in pieces, in order, of
// any size (for UTF-16, of an even size until the last). The level is read
// from the level column: separators divide fields except between double
// quotation marks, and every quotation mark toggles that protection, which
// starts anew with each line. A line's level is known once its level field
// has been read to its first character that is not part of the number, or its
// end has shown it has no such field; from then on, nothing more of the line
// is needed to indent it.
class LineScanner {
 public:
  // Scans from offset start of the input on (the first byte after any mark),
  // with the kernels of path.
  LineScanner(const Dialect& dialect, std::uint64_t start, ScanPath path = ChosenScanPath());

  // Scans the next bytes, appending an indent for each line of level 2 to
  // MaxLevel whose level they made known. With final set they are the last,
  // and end the last line. In 16-bit text, only the last bytes may be of an
  // odd count: a character must not be cut between two calls.
  void Scan(std::string_view bytes, bool final, std::vector<LineIndent>& indents) {
    kernel(state, bytes, final, indents);
  }

  // The line that the scanned bytes end in, if they do not end with a line
  // end: where it starts, and whether its level is still unknown.
  std::uint64_t OpenLineStart() const noexcept { return state.lineStart; }
  bool OpenLineUndecided() const noexcept { return !state.decided; }

  const ScanTally& Tally() const noexcept { return state.tally; }

 private:
  ScanState state;
  void (*kernel)(ScanState&, std::string_view, bool, std::vector<LineIndent>&);
};

}  // namespace rungwell
