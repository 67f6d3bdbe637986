#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "csv/ByteSink.h"
#include "csv/Dialect.h"
#include "csv/Indentation.h"
#include "csv/LineScanner.h"
#include "csv/Outcome.h"
#include "csv/PendingBytes.h"
#include "csv/simd/ScanPath.h"

namespace rungwell {

struct Kernels;

// Puts each line of an input behind the indentation its level asks for, as
// the input's bytes come in pieces. A line's bytes go to the sink as soon as
// its level is known; only the bytes of a line whose level is still unknown
// wait. While the piece that holds them is at hand they are taken from it;
// once it is let go, pending has them.
class LineConverter {
 public:
  // The scan and the copies both take the instructions of path. The input
  // is taken from offset start on, the start of the file or of a line.
  LineConverter(const Dialect& dialect, ByteSink& sink, PendingBytes& pending, ScanPath path = ChosenScanPath(),
                std::uint64_t start = 0);

  LineConverter(const LineConverter&) = delete;
  LineConverter& operator=(const LineConverter&) = delete;

  // Takes the input's next piece, which starts at offset and may end
  // anywhere, inside a 16-bit character too; final with the last. Its
  // bytes, and CopySlack bytes readable past its end, are needed only
  // during the call. Done, or why writing, or getting pending bytes, failed.
  Outcome Convert(std::uint64_t offset, std::string_view bytes, bool final);

  const ScanTally& Tally() const noexcept { return scanner.Tally(); }

 private:
  // As Convert, for a block that ends with a whole character but for the last.
  bool ConvertBlock(std::uint64_t offset, std::string_view block, bool final);
  bool ConvertPiece(std::uint64_t offset, std::string_view block, std::size_t from, std::size_t to, bool final);

  // Writes the input from emitted on up to offset to: what is pending, then
  // what is in the block, which starts at offset.
  bool CopyInput(std::uint64_t offset, std::string_view block, std::uint64_t to);

  const Kernels& kernels;
  LineScanner scanner;
  Indentation indentation;
  std::uint64_t scanStart;  // the first byte after the mark
  bool wide;                // 16-bit text
  int cutByte = -1;         // the first byte of a character the last piece cut
  ByteSink& sink;
  PendingBytes& pending;
  std::vector<LineIndent> indents;
  std::uint64_t emitted = 0;  // the input's bytes before this offset are written
  Outcome failure;            // why the last call failed
};

}  // namespace rungwell
