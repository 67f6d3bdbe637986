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

// Whether --output's path is a folder for the outputs: one that exists, or
// one that need not, since the path ends in a separator ('/', and on Windows
// '\' too). Standard output's "-" is none.
bool IsOutputFolder(const std::string& path);

// The path of the converted copy of inputPath in folder: the name it would
// have beside inputPath.
std::string OutputPathIn(const std::string& folder, std::string_view inputPath);

}  // namespace rungwell
