#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "csv/Dialect.h"
#include "csv/simd/ScanPath.h"
#include "csv/simd/ScanState.h"

namespace rungwell {

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

// The first place at or after offset from of an input, in the given
// dialect, where a line starts, looked for in bytes, the input's bytes from
// offset base on (from - base at least a character, so that the character
// before from is among them): after a line end, and in a file whose lines CR
// ends, after the LF of a CR LF. None where bytes end before it is known.
std::optional<std::uint64_t> FindLineStart(std::string_view bytes, std::uint64_t base, std::uint64_t from,
                                           const Dialect& dialect);

// Counts on a tally with that of the lines that follow those it counted, so
// that an input scanned in parts, each from a line's start, is tallied as a
// whole: every first line is the one the whole would name.
void CountOn(ScanTally& tally, const ScanTally& after);

}  // namespace rungwell
