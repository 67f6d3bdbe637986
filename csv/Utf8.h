#pragma once

// The command line's text, UTF-8, as the 16-bit code units that UTF-16
// files hold.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace rungwell {

// text decoded into UTF-16 code units, or none where it is no UTF-8 (a byte
// that starts no character, a character cut short, a longer form than
// needed, a surrogate or a code point past U+10FFFF).
inline std::optional<std::vector<std::uint16_t>> Utf16FromUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::vector<std::uint16_t> units;
  for (std::size_t at = 0; at < text.size();) {
    const unsigned first = bytes[at];
    const std::size_t length = first < 0x80   ? 1
                               : first < 0xC2 ? 0
                               : first < 0xE0 ? 2
                               : first < 0xF0 ? 3
                               : first < 0xF5 ? 4
                                              : 0;
    if (length == 0 || at + length > text.size()) {
      return std::nullopt;
    }
    std::uint32_t code = length == 1 ? first : first & (0x7FU >> length);
    for (std::size_t i = 1; i < length; ++i) {
      if ((bytes[at + i] & 0xC0U) != 0x80U) {
        return std::nullopt;
      }
      code = code << 6U | (bytes[at + i] & 0x3FU);
    }
    constexpr std::uint32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < Least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      return std::nullopt;
    }
    if (code >= 0x10000) {
      units.push_back(static_cast<std::uint16_t>(0xD800 + ((code - 0x10000) >> 10U)));
      units.push_back(static_cast<std::uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FFU)));
    } else {
      units.push_back(static_cast<std::uint16_t>(code));
    }
    at += length;
  }
  return units;
}

}  // namespace rungwell
