#pragma once

// The rules of the level column put as plainly as they can be, for tests and
// fuzz targets to hold the real code against.

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "csv/LevelRule.h"

namespace rungwell::plain {

// Field by field, each with its own quote toggle, as the rule is written.
inline std::string_view LevelField(std::string_view line) {
  std::size_t start = 0;
  for (int index = 0;; ++index) {
    bool quoted = false;
    std::size_t end = start;
    while (end < line.size() && (quoted || line[end] != ',')) {
      quoted = line[end] == '"' ? !quoted : quoted;
      ++end;
    }
    if (index == LevelColumn) {
      return line.substr(start, end - start);
    }
    if (end == line.size()) {
      return {};
    }
    start = end + 1;
  }
}

// The C library's own reading of a number, clamped to 32 bits. strtoll stops
// at the first NUL, as atoi would.
inline std::int32_t Level(std::string_view text) {
  const std::string terminated(text);
  errno = 0;
  const long long value = std::strtoll(terminated.c_str(), nullptr, 10);
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value < std::numeric_limits<std::int32_t>::min()) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace rungwell::plain
