#pragma once

#include <cstddef>
#include <cstdint>
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

}  // namespace rungwell
