#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rungwell {

// Zero-based index of the column that holds a row's level.
inline constexpr int LevelColumn = 5;

// Put in front of a line once for each level above 1.
inline constexpr std::string_view IndentUnit = "  ";

// The text of the level column of one line, exactly as it stands there:
// quotation marks, spaces and, when it is the last field, the line end stay in
// it. Commas separate fields except between double quotation marks; every
// quotation mark toggles that protection, which starts anew with each field.
// Empty when the line has fewer fields than the level column needs.
std::string_view FindLevelField(std::string_view line) noexcept;

// The same text as an owned string, for callers that keep it beyond the line.
std::string ExtractLevelField(const std::string& line);

// Reads a level as atoi does: C-locale white space skipped, an optional sign,
// then decimal digits up to the first other byte; no digits give 0. Values
// beyond the range of a 32-bit int are clamped to its bounds.
std::int32_t ParseLevel(std::string_view text) noexcept;

// How many times IndentUnit goes in front of a line of the given level:
// once per level above 1, so never for levels of 1 and below.
std::uint64_t IndentCount(std::int32_t level) noexcept;

}  // namespace rungwell
