#pragma once

// The indentation: how much a line gets for its level, and the characters
// that make it up in the plan's own encoding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "csv/ByteSink.h"
#include "csv/Dialect.h"

namespace rungwell {

// Put in front of a line once for each level above 1.
inline constexpr std::string_view IndentUnit = "  ";

// The deepest level that indents. A number beyond it is no level but a budget,
// a year or an id in the wrong column, and indenting by it would write
// kilobytes to gigabytes of spaces per line; such a line is copied unchanged.
inline constexpr std::int32_t MaxLevel = 1000;

// How many times IndentUnit goes in front of a line of the given level: once
// per level above 1, so never for levels of 1 and below, nor above MaxLevel.
constexpr std::uint64_t IndentCount(std::int32_t level) noexcept {
  return level > 1 && level <= MaxLevel ? static_cast<std::uint64_t>(level) - 1 : 0;
}

// The deepest indentation there is, in IndentUnit's spaces written in the
// plan's encoding: a space's code unit in the file's byte order for 16-bit
// text. Any indentation is a prefix of it, and CopySlack bytes of it more
// may be read.
class Indentation {
 public:
  explicit Indentation(const Dialect& dialect) {
    std::string unit;
    for (std::size_t i = 0; i < IndentUnit.size(); ++i) {
      if (dialect.encoding == Encoding::Utf16Be) {
        unit += '\0';
      }
      unit += IndentUnit[i];
      if (dialect.encoding == Encoding::Utf16Le) {
        unit += '\0';
      }
    }
    unitBytes = unit.size();
    for (std::uint64_t i = 0; i < IndentCount(MaxLevel) || spaces.size() < CopySlack; ++i) {
      spaces += unit;
    }
    spaces.append(CopySlack, ' ');
  }

  std::size_t UnitBytes() const noexcept { return unitBytes; }
  const char* Data() const noexcept { return spaces.data(); }

 private:
  std::size_t unitBytes = 0;
  std::string spaces;
};

}  // namespace rungwell
