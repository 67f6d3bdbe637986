#include "driver/OutputPath.h"

#include <cstddef>

namespace rungwell {

namespace {

// Offset of the file-name part of path: the byte after its last '/' or '\',
// or 0 when it has neither.
std::size_t FileNameStart(std::string_view path) noexcept {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? 0 : separator + 1;
}

}  // namespace

std::string OutputPathFor(std::string_view inputPath) {
  const std::size_t dot = inputPath.rfind('.');
  // A dot in a directory name is no extension: dir.v2/plan becomes dir.v2/plan_new.
  const std::size_t insertAt =
      (dot == std::string_view::npos || dot < FileNameStart(inputPath)) ? inputPath.size() : dot;
  std::string outputPath;
  outputPath.reserve(inputPath.size() + OutputSuffix.size());
  outputPath.append(inputPath.substr(0, insertAt));
  outputPath.append(OutputSuffix);
  outputPath.append(inputPath.substr(insertAt));
  return outputPath;
}

}  // namespace rungwell
