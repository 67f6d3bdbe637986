#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rungwell {

// Marks the converted copy's name: plan.csv becomes plan_new.csv.
inline constexpr std::string_view OutputSuffix = "_new";

// Offset of the file-name part of path: the byte after its last '/' or '\',
// or 0 when it has neither. Both separators count on every platform, so a
// Windows path gives the same answer wherever it is handled.
std::size_t FileNameStart(std::string_view path) noexcept;

// The path of the converted copy of inputPath: OutputSuffix inserted before
// the last dot of the file-name part, or appended where that part has none.
std::string OutputPathFor(std::string_view inputPath);

}  // namespace rungwell
