#pragma once

#include <string>
#include <string_view>

namespace rungwell {

// Marks the converted copy's name: plan.csv becomes plan_new.csv.
inline constexpr std::string_view OutputSuffix = "_new";

// The path of the converted copy of inputPath: OutputSuffix inserted before
// the last dot of the file-name part (after the last '/' or '\', both on
// every system, so that a Windows path gives the same answer wherever it is
// handled), or appended where that part has none.
std::string OutputPathFor(std::string_view inputPath);

}  // namespace rungwell
