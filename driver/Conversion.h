#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "csv/LevelRule.h"

namespace rungwell {

class CsvFileHandle;
class OutputFile;

// Copies every line of input to output, each behind the indentation its level
// field asks for. False when a read or a write failed: input.Error() or
// output.Error() says which and why.
bool ConvertLines(CsvFileHandle& input, OutputFile& output);

namespace detail {

// More than 8 KiB of spaces: GCC copies a block whose size it knows to be
// below that with rep movsq, which is slow for the few bytes that most
// indents take, and calls memcpy for larger ones.
inline constexpr std::size_t UnitsPerBlock = 8192;

constexpr std::array<char, UnitsPerBlock * IndentUnit.size()> RepeatIndentUnit() {
  std::array<char, UnitsPerBlock * IndentUnit.size()> block{};
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = IndentUnit[i % IndentUnit.size()];
  }
  return block;
}

inline constexpr auto IndentBlock = RepeatIndentUnit();

}  // namespace detail

// Writes IndentUnit count times, a block at a time, so that even a level in
// the millions costs no more memory than the block.
template <typename Sink>
bool WriteIndent(Sink& sink, std::uint64_t count) {
  while (count > 0) {
    const auto units = static_cast<std::size_t>(std::min<std::uint64_t>(count, detail::UnitsPerBlock));
    if (!sink.Write(std::string_view(detail::IndentBlock.data(), units * IndentUnit.size()))) {
      return false;
    }
    count -= units;
  }
  return true;
}

// Writes lines, the bytes that ScanLines took, to sink (anything with a
// bool Write(std::string_view), such as OutputFile), with the indentation that
// it found in front of each line it named: the bytes between those lines go
// out in one piece. False once a write has failed.
template <typename Sink>
bool WriteIndentedLines(std::string_view lines, const std::vector<LineIndent>& indents, Sink& sink) {
  std::size_t written = 0;
  for (const LineIndent& indent : indents) {
    if (!sink.Write(lines.substr(written, indent.lineStart - written)) || !WriteIndent(sink, indent.units)) {
      return false;
    }
    written = indent.lineStart;
  }
  return sink.Write(lines.substr(written));
}

}  // namespace rungwell
