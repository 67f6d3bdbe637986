#pragma once

// Where a line's level is, and how its text reads.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "csv/Inline.h"

namespace rungwell {

// Zero-based index of the column that holds a row's level.
inline constexpr unsigned LevelColumn = 5;

// White space and digits as the C locale has them, which is how atoi reads.
constexpr bool IsCSpace(std::uint16_t c) noexcept {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool IsDigit(std::uint16_t c) noexcept {
  return c >= '0' && c <= '9';
}

// A level read as it comes, a character at a time: C-locale white space
// skipped, an optional sign, then decimal digits up to the first other
// character; no digits give 0. Values beyond 32 bits are clamped. A leading
// quotation mark ends the reading at once, with no number; what follows it
// is looked at only to tell a quoted number from other text.
struct LevelReading {
  enum class Phase : std::uint8_t { Space, Sign, Digits, QuotedSpace, QuotedSign, Done };
  Phase phase = Phase::Space;
  bool negative = false;
  bool digits = false;
  bool quotedNumber = false;
  std::int64_t magnitude = 0;

  // Takes one character more of a field that separator ends; false once the
  // reading is done. Kept inline, so that the scan's state never leaves its
  // registers for it.
  RUNGWELL_INLINE bool Take(std::uint16_t unit, std::uint16_t separator) noexcept {
    // The field ends at its separator, even one that is white space (a tab)
    // or a digit; inside quotation marks there is none.
    if (unit == separator && phase <= Phase::Digits) {
      phase = Phase::Done;
      return false;
    }
    switch (phase) {
      case Phase::Space:
        if (IsCSpace(unit)) {
          return true;
        }
        if (unit == '+' || unit == '-') {
          negative = unit == '-';
          phase = Phase::Sign;
          return true;
        }
        if (unit == '"') {
          phase = Phase::QuotedSpace;
          return true;
        }
        break;
      case Phase::Sign:
      case Phase::Digits:
        break;
      case Phase::QuotedSpace:
        if (IsCSpace(unit)) {
          return true;
        }
        if (unit == '+' || unit == '-') {
          phase = Phase::QuotedSign;
          return true;
        }
        quotedNumber = IsDigit(unit);
        phase = Phase::Done;
        return false;
      case Phase::QuotedSign:
        quotedNumber = IsDigit(unit);
        phase = Phase::Done;
        return false;
      case Phase::Done:
        return false;
    }
    if (IsDigit(unit)) {
      // Accumulated in 64 bits and kept from growing past the 32-bit range,
      // so that any number of digits clamps instead of overflowing.
      constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
      magnitude = std::min(magnitude * 10 + (unit - '0'), Limit);
      digits = true;
      phase = Phase::Digits;
      return true;
    }
    phase = Phase::Done;
    return false;
  }

  std::int32_t Level() const noexcept {
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
  }
};

// Reads a whole field of 8-bit text as the scan reads a level.
inline std::int32_t ParseLevel(std::string_view text) noexcept {
  LevelReading reading;
  for (const char c : text) {
    if (!reading.Take(static_cast<unsigned char>(c), ',')) {
      break;
    }
  }
  return reading.Level();
}

}  // namespace rungwell
