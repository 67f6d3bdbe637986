#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "csv/ByteSink.h"
#include "csv/Dialect.h"
#include "csv/Indentation.h"
#include "csv/LineScanner.h"
#include "csv/PendingBytes.h"
#include "csv/simd/ScanPath.h"

namespace rungwell {

struct Kernels;

// Puts each line of an input behind the indentation its level asks for, as
// the input's bytes come in blocks. A line's bytes go to the sink as soon as
// its level is known; only the bytes of a line whose level is still unknown
// wait. While the block that holds them is at hand they are taken from it;
// once it is let go, pending has them.
class LineConverter {
 public:
  // The scan and the copies both take the instructions of path.
  LineConverter(const Dialect& dialect, ByteSink& sink, PendingBytes& pending, ScanPath path = ChosenScanPath());

  LineConverter(const LineConverter&) = delete;
  LineConverter& operator=(const LineConverter&) = delete;

  // Takes the input's next block, which starts at offset; final with the
  // last. In 16-bit text only the last block may end inside a character (see
  // WholeCharacters). The block's bytes, and CopySlack bytes readable past
  // its end, are needed only during the call. False when a write, or getting
  // pending bytes, failed.
  bool Convert(std::uint64_t offset, std::string_view block, bool final);

  const ScanTally& Tally() const noexcept { return scanner.Tally(); }

 private:
  bool ConvertPiece(std::uint64_t offset, std::string_view block, std::size_t from, std::size_t to, bool final);

  // Writes the input from emitted on up to offset to: what is pending, then
  // what is in the block, which starts at offset.
  bool CopyInput(std::uint64_t offset, std::string_view block, std::uint64_t to);

  const Kernels& kernels;
  LineScanner scanner;
  Indentation indentation;
  std::uint64_t scanStart;  // the first byte after the mark
  ByteSink& sink;
  PendingBytes& pending;
  std::vector<LineIndent> indents;
  std::uint64_t emitted = 0;  // the input's bytes before this offset are written
};

// Hands the pieces of an input, cut anywhere, to a LineConverter as blocks of
// whole characters: in 16-bit text, a character that a piece's end cuts waits
// for the next piece.
class WholeCharacters {
 public:
  WholeCharacters(const Dialect& dialect, LineConverter& converter);

  // As LineConverter::Convert, for pieces that may end anywhere.
  bool Convert(std::uint64_t offset, std::string_view bytes, bool final);

 private:
  LineConverter& converter;
  bool wide;                // 16-bit text
  std::uint64_t scanStart;  // the first byte after the mark
  int cutByte = -1;         // the first byte of a character the last piece cut
};

}  // namespace rungwell
