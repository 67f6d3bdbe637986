#pragma once

// The indentation: how much a line gets for its level, and writing it.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "csv/LevelRule.h"

namespace rungwell {

// Put in front of a line once for each level above 1.
inline constexpr std::string_view IndentUnit = "  ";

// How many times IndentUnit goes in front of a line of the given level:
// once per level above 1, so never for levels of 1 and below.
constexpr std::uint64_t IndentCount(std::int32_t level) noexcept {
  return level > 1 ? static_cast<std::uint64_t>(level) - 1 : 0;
}

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
