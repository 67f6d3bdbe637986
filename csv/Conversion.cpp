#include "csv/Conversion.h"

#include <string_view>
#include <vector>

#include "csv/Indentation.h"
#include "csv/LevelRule.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

bool ConvertLines(CsvFileHandle& input, OutputFile& output) {
  std::vector<LineIndent> indents;
  std::string_view bytes;
  while (input.ReadBlock(bytes)) {
    indents.clear();
    const std::size_t taken = ScanLines(bytes, input.AtEnd(), indents);
    if (!WriteIndentedLines(bytes.substr(0, taken), indents, output)) {
      return false;
    }
    input.Consume(taken);
  }
  return !input.Error();
}

}  // namespace rungwell
