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

// A character that, between a number and a digit, makes the field more than
// a number: a date (4/30/2027, 26.03.2027, 2027-01-04) or an outline number.
constexpr bool IsNumberJoint(std::uint16_t c) noexcept {
  return c == '.' || c == '/' || c == '-';
}

// How a level field's text gives a level.
enum class LevelForm : std::uint8_t {
  Number,   // as atoi reads it: 3, 3 days and 3.7 are all 3
  Outline,  // an outline number, its level how many groups of digits it has: 1.1.2 is 3
};

// A level read as it comes, a character at a time, as its form says. A
// number: C-locale white space skipped, an optional sign, then decimal digits
// up to the first other character; no digits give 0; values beyond 32 bits
// are clamped. An outline number: after the white space, groups of digits
// joined by single dots (a final dot allowed), up to the first other
// character; a field that does not start with a digit has level 0. A leading
// quotation mark ends the reading at once, with no number, unless quoted
// levels are read: then the reading starts again after it, once.
struct LevelReading {
  enum class Phase : std::uint8_t {
    Space,
    Sign,
    Digits,
    Joint,  // a number followed by a joint: a digit next makes it more than a number
    Groups,
    Dot,
    QuotedSpace,
    QuotedSign,
    Done
  };
  Phase phase = Phase::Space;
  LevelForm form = LevelForm::Number;
  bool readQuoted = false;    // a quoted level is read from after its mark
  bool quoteSkipped = false;  // ...and that mark has been passed
  bool negative = false;
  bool digits = false;         // the field holds a number
  bool quotedNumber = false;   // ...in quotation marks, which counts as 0
  bool compound = false;       // a number followed at once by a joint and a digit
  std::int64_t magnitude = 0;  // the number, or the outline number's groups

  LevelReading() = default;
  LevelReading(LevelForm levelForm, bool quotedLevels) : form(levelForm), readQuoted(quotedLevels) {}

  // Takes one character more of a field that separator ends; false once the
  // reading is done. Kept inline, so that the scan's state never leaves its
  // registers for it.
  RUNGWELL_INLINE bool Take(std::uint16_t unit, std::uint16_t separator) noexcept {
    // The field ends at its separator, even one that is white space (a tab)
    // or a digit; inside quotation marks there is none.
    if (unit == separator && phase < Phase::QuotedSpace) {
      phase = Phase::Done;
      return false;
    }
    // Accumulated in 64 bits and kept from growing past the 32-bit range,
    // so that any number of digits or groups clamps instead of overflowing.
    constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    switch (phase) {
      case Phase::Space:
        if (IsCSpace(unit)) {
          return true;
        }
        if (unit == '"') {
          if (!readQuoted) {
            phase = Phase::QuotedSpace;
            return true;
          }
          // Only the one mark; another is text.
          if (!quoteSkipped) {
            quoteSkipped = true;
            return true;
          }
          break;
        }
        if (form == LevelForm::Outline) {
          if (IsDigit(unit)) {
            magnitude = 1;
            digits = true;
            phase = Phase::Groups;
            return true;
          }
          break;
        }
        if (unit == '+' || unit == '-') {
          negative = unit == '-';
          phase = Phase::Sign;
          return true;
        }
        [[fallthrough]];
      case Phase::Sign:
      case Phase::Digits:
        if (IsDigit(unit)) {
          magnitude = std::min(magnitude * 10 + (unit - '0'), Limit);
          digits = true;
          phase = Phase::Digits;
          return true;
        }
        if (phase == Phase::Digits && IsNumberJoint(unit)) {
          phase = Phase::Joint;
          return true;
        }
        break;
      case Phase::Joint:
        compound = IsDigit(unit);
        break;
      case Phase::Groups:
        if (IsDigit(unit)) {
          return true;
        }
        if (unit == '.') {
          phase = Phase::Dot;
          return true;
        }
        break;
      case Phase::Dot:
        if (IsDigit(unit)) {
          magnitude = std::min(magnitude + 1, Limit);
          phase = Phase::Groups;
          return true;
        }
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
        break;
      case Phase::QuotedSign:
        quotedNumber = IsDigit(unit);
        break;
      case Phase::Done:
        break;
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
inline LevelReading ReadField(std::string_view text, LevelForm form = LevelForm::Number, bool quotedLevels = false) {
  LevelReading reading(form, quotedLevels);
  for (const char c : text) {
    if (!reading.Take(static_cast<unsigned char>(c), ',')) {
      break;
    }
  }
  return reading;
}

inline std::int32_t ParseLevel(std::string_view text) noexcept {
  return ReadField(text).Level();
}

}  // namespace rungwell
