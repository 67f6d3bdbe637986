#include "driver/Conversion.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "csv/CsvFileHandle.h"
#include "csv/LevelField.h"
#include "driver/OutputFile.h"

namespace rungwell {

namespace {

bool IsCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

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

std::int32_t ParseLevel(std::string_view text) noexcept {
  std::size_t at = 0;
  while (at < text.size() && IsCSpace(text[at])) {
    ++at;
  }
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  // Accumulate in 64 bits and stop growing past the 32-bit range, so that any
  // number of digits clamps instead of overflowing.
  constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    magnitude = std::min(magnitude * 10 + (text[at] - '0'), Limit);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(value);
}

std::uint64_t IndentCount(std::int32_t level) noexcept {
  return level > 1 ? static_cast<std::uint64_t>(level) - 1 : 0;
}

bool ConvertLines(CsvFileHandle& input, OutputFile& output) {
  std::string_view line;
  while (input.ReadLine(line)) {
    const std::uint64_t indent = IndentCount(ParseLevel(FindLevelField(line)));
    if (!WriteIndent(output, indent) || !output.Write(line)) {
      return false;
    }
  }
  return !input.Error();
}

}  // namespace rungwell
