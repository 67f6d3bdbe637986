#pragma once

// The conversion of one file: the loop that reads the input's blocks, has
// the rules of csv/ put its lines together, and hands them to the output.

#include <vector>

#include "csv/Dialect.h"
#include "csv/DialectDetector.h"
#include "csv/Layout.h"
#include "csv/Outcome.h"
#include "csv/simd/ScanState.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

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
