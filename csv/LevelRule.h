#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace rungwell {

// Zero-based index of the column that holds a row's level.
inline constexpr int LevelColumn = 5;

// A line that needs indentation: where it starts in the scanned bytes, and
// how many IndentUnits go in front of it.
struct LineIndent {
  std::size_t lineStart;
  std::uint64_t units;
};

// Scans the whole lines at the front of bytes and appends a LineIndent for
// each line whose level is above 1. Returns how many bytes those lines take,
// through the last newline; when final, the bytes after it are the last line
// and count too. The level is read from the level column: commas separate
// fields except between double quotation marks, and every quotation mark
// toggles that protection, which starts anew with each line.
std::size_t ScanLines(std::string_view bytes, bool final, std::vector<LineIndent>& indents);

// Reads a level as atoi does: C-locale white space skipped, an optional sign,
// then decimal digits up to the first other byte; no digits give 0. Values
// beyond the range of a 32-bit int are clamped to its bounds.
std::int32_t ParseLevel(std::string_view text) noexcept;

}  // namespace rungwell
