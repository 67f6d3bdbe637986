#pragma once

#include <string>
#include <string_view>

namespace rungwell {

// Zero-based index of the column that holds a row's level.
inline constexpr int LevelColumn = 5;

// The text of the level column of one line, exactly as it stands there:
// quotation marks, spaces and, when it is the last field, the line end stay in
// it. Commas separate fields except between double quotation marks; every
// quotation mark toggles that protection, which starts anew with each field.
// Empty when the line has fewer fields than the level column needs.
std::string_view FindLevelField(std::string_view line) noexcept;

// The same text as an owned string, for callers that keep it beyond the line.
std::string ExtractLevelField(const std::string& line);

}  // namespace rungwell
