#include "driver/Conversion.h"

#include <algorithm>
#include <array>
#include <string>

#include "csv/LevelRule.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

namespace {

constexpr std::size_t UnitsPerBlock = 2048;

constexpr std::array<char, UnitsPerBlock * IndentUnit.size()> RepeatIndentUnit() {
  std::array<char, UnitsPerBlock * IndentUnit.size()> block{};
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = IndentUnit[i % IndentUnit.size()];
  }
  return block;
}

constexpr auto IndentBlock = RepeatIndentUnit();

// Writes IndentUnit count times, a block at a time, so that even a level in
// the millions costs no more memory than the block.
bool WriteIndent(OutputFile& output, std::uint64_t count) {
  while (count > 0) {
    const auto units = static_cast<std::size_t>(std::min<std::uint64_t>(count, UnitsPerBlock));
    if (!output.Write(std::string_view(IndentBlock.data(), units * IndentUnit.size()))) {
      return false;
    }
    count -= units;
  }
  return true;
}

}  // namespace

bool ConvertLines(CsvFileHandle& input, OutputFile& output) {
  std::string_view bytes;
  while (input.ReadBlock(bytes)) {
    std::size_t taken = 0;
    while (taken < bytes.size()) {
      const std::size_t newline = bytes.find('\n', taken);
      if (newline == std::string_view::npos && !input.AtEnd()) {
        break;
      }
      const std::string_view line =
          bytes.substr(taken, newline == std::string_view::npos ? newline : newline + 1 - taken);
      const std::uint64_t indent = IndentCount(ParseLevel(FindLevelField(line)));
      if (!WriteIndent(output, indent) || !output.Write(line)) {
        return false;
      }
      taken += line.size();
    }
    input.Consume(taken);
  }
  return !input.Error();
}

}  // namespace rungwell
