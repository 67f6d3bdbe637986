#pragma once

// The conversion of one file: the loop that reads the input's blocks, has
// the rules of csv/ put its lines together, and hands them to the output.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "csv/DialectDetector.h"
#include "csv/LineScanner.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

// A block that a pipe gave while its dialect was read, kept for the
// conversion, with the room past its end that copies may read.
struct KeptBlock {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;

  std::string_view View() const noexcept { return {bytes.get(), size}; }
};

// Feeds the start of input to detector until it has decided: a regular file
// read at offsets, apart from its blocks; a pipe through ReadBlock, its
// blocks kept in start for the conversion. False after a read error.
bool DetectDialect(CsvFileHandle& input, DialectDetector& detector, std::vector<KeptBlock>& start);

// What a conversion found, for telling the user about it.
struct ConversionReport {
  Dialect dialect;
  ScanTally tally;
  // Why the input was not converted at all, where the layout given does not fit it.
  LayoutProblem problem = LayoutProblem::None;
};

// Copies every line of input to output, each behind the indentation its level
// field asks for, in the dialect the start of the input and layout make.
// False when a read or a write failed, input.Error() or output.Error() saying
// which and why, or when the layout did not fit the input (report says how;
// nothing is written then).
bool ConvertLines(CsvFileHandle& input, OutputFile& output, const LayoutChoice& layout, ConversionReport& report);

}  // namespace rungwell
