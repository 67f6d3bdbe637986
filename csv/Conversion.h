#pragma once

namespace rungwell {

class CsvFileHandle;
class OutputFile;

// Copies every line of input to output, each behind the indentation its level
// field asks for. False when a read or a write failed: input.Error() or
// output.Error() says which and why.
bool ConvertLines(CsvFileHandle& input, OutputFile& output);

}  // namespace rungwell
