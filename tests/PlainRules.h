#pragma once

// The rules of the level column put as plainly as they can be, for tests and
// fuzz targets to hold the real code against.

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

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

// Line by line, as the rule is written: what ScanLines should append, and the
// count of bytes it should take.
struct Scan {
  std::vector<LineIndent> indents;
  std::size_t taken = 0;
};

inline Scan ScanLines(std::string_view bytes, bool final) {
  Scan scan;
  while (scan.taken < bytes.size()) {
    const std::size_t newline = bytes.find('\n', scan.taken);
    if (newline == std::string_view::npos && !final) {
      break;
    }
    const std::size_t end = newline == std::string_view::npos ? bytes.size() : newline + 1;
    const std::int32_t level = Level(LevelField(bytes.substr(scan.taken, end - scan.taken)));
    if (level > 1) {
      scan.indents.push_back({scan.taken, static_cast<std::uint64_t>(level) - 1});
    }
    scan.taken = end;
  }
  return scan;
}

}  // namespace rungwell::plain

namespace rungwell {

inline bool operator==(const LineIndent& a, const LineIndent& b) {
  return a.lineStart == b.lineStart && a.units == b.units;
}

inline std::ostream& operator<<(std::ostream& out, const LineIndent& indent) {
  return out << "{line at " << indent.lineStart << ", " << indent.units << " units}";
}

}  // namespace rungwell
