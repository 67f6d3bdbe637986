#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "csv/Dialect.h"
#include "csv/Indentation.h"
#include "csv/LineScanner.h"
#include "csv/ScanPath.h"

namespace rungwell {

struct Assembly;
class ByteSink;
class CsvFileHandle;
class OutputFile;

// Puts each line of an input behind the indentation its level asks for, as
// the input's bytes come in pieces. A line's bytes go to the sink as soon as
// its level is known; only the bytes of a line whose level is still unknown
// wait, and those are read again from the input where it can be (a regular
// file) instead of held in memory.
class LineConverter {
 public:
  // again: the input to read waiting bytes again from, or null to hold them.
  // The scan and the copies both take the instructions of path.
  LineConverter(const Dialect& dialect, ByteSink& sink, CsvFileHandle* again, ScanPath path = ChosenScanPath());

  // Takes the input's next bytes, which start at offset; final with the last.
  // Pieces may end anywhere, inside a 16-bit character too. False when a
  // write, or a read again, failed.
  bool Convert(std::uint64_t offset, std::string_view bytes, bool final);

  const ScanTally& Tally() const noexcept { return scanner.Tally(); }

 private:
  bool ConvertWhole(std::uint64_t offset, std::string_view bytes, bool final);
  bool ConvertPiece(std::uint64_t offset, std::string_view bytes, bool final);

  // Writes the input from emitted on up to offset to: what waited, then what
  // is in bytes, which start at offset.
  bool CopyInput(std::uint64_t offset, std::string_view bytes, std::uint64_t to);

  LineScanner scanner;
  Indentation indentation;
  std::uint64_t scanStart;  // the first byte after the mark
  std::size_t unitSize;     // of one character
  ByteSink& sink;
  CsvFileHandle* again;
  std::vector<LineIndent> indents;
  std::uint64_t emitted = 0;  // the input's bytes before this offset are written
  std::string chunk;          // for bytes read again
  void (*assemble)(Assembly&, std::uint64_t&) noexcept;
  int cutByte = -1;  // the first byte of a 16-bit character the last piece cut

  // Bytes from emitted on, when they cannot be read again: kept in pieces, so
  // that holding a long line never copies it into a larger buffer.
  class Held {
   public:
    void Append(std::string_view bytes);
    // Writes the first count bytes and lets them go.
    bool WriteFront(ByteSink& to, std::size_t count);

   private:
    std::deque<std::string> pieces;
    std::size_t written = 0;  // of the first piece
  };
  Held held;
};

// Reads the start of input as far as its dialect needs: a regular file at
// offsets, apart from its blocks; a pipe through ReadBlock, its bytes kept in
// start for the conversion. False after a read error.
bool DetectDialect(CsvFileHandle& input, Dialect& dialect, std::vector<std::string>& start);

// What a conversion found, for telling the user about it.
struct ConversionReport {
  Dialect dialect;
  ScanTally tally;
};

// Copies every line of input to output, each behind the indentation its level
// field asks for, in the dialect the start of the input shows. False when a
// read or a write failed: input.Error() or output.Error() says which and why.
bool ConvertLines(CsvFileHandle& input, OutputFile& output, ConversionReport* report = nullptr);

}  // namespace rungwell
