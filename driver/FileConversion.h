#pragma once

// The conversion of one file: the loop that reads the input's blocks, has
// the rules of csv/ put its lines together, and hands them to the output.

#include <algorithm>
#include <cstddef>
#include <vector>

#include "csv/Dialect.h"
#include "csv/DialectDetector.h"
#include "csv/Layout.h"
#include "csv/Outcome.h"
#include "csv/PendingBytes.h"
#include "csv/simd/ScanState.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

// How many pending bytes of a regular file are kept rather than read again:
// a line's start cut by a block's edge is far shorter, and copying it costs
// less than a system call. (Half a block at most, so that the tiny blocks of
// the tests read longer runs again.)
inline constexpr std::size_t KeptRun = std::min<std::size_t>(std::size_t{64} << 10, ReadBlockSize / 2);

// A regular file, read again where pending bytes were let go; threads may
// read it apart at once. Bytes it gave before that it cannot give again
// fail the read.
class FileAgain final : public EarlierBytes {
 public:
  explicit FileAgain(const CsvFileHandle& file) : input(file) {}

  std::error_code ReadAgain(std::uint64_t at, char* into, std::size_t count) override {
    return input.ReadExactlyAt(at, into, count);
  }

 private:
  const CsvFileHandle& input;
};

// What a conversion found, for telling the user about it.
struct ConversionReport {
  Dialect dialect;
  LevelColumnOrigin origin;
  ScanTally tally;
  // The first line's names, where a column's name was not found there.
  std::vector<Units> firstLineNames;
};

// Copies every line of input to output, each behind the indentation its level
// field asks for, in the dialect the start of the input and layout make, and
// finishes the output. Nothing is written where the layout does not fit the
// input.
Outcome ConvertLines(CsvFileHandle& input, OutputFile& output, const LayoutChoice& layout, ConversionReport& report);

}  // namespace rungwell
