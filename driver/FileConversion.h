#pragma once

// The conversion of one file: the loop that reads the input's blocks, has
// the rules of csv/ put its lines together, and hands them to the output.

#include <string>
#include <vector>

#include "csv/Dialect.h"
#include "csv/LineScanner.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

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
