#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "csv/Utf8.h"
#include "tests/PlainRules.h"

namespace rungwell {
namespace {

// The decoder of the command line's text, and the tests' own, against fixed
// vectors: every length of character at its bounds, and each way a byte
// sequence can fail to be UTF-8.
TEST(Utf8, DecodesIntoUtf16OrRefuses) {
  struct Case {
    const char* name;
    std::string bytes;
    std::optional<std::u16string> units;
  };
  const Case cases[] = {
      {"empty", "", u""},
      {"ASCII", "Level", u"Level"},
      {"the last of one byte", "\x7F", u"\u007F"},
      {"the first of two bytes", "\xC2\x80", u"\u0080"},
      {"a section sign, alone", "\xC2\xA7", u"\u00A7"},
      {"an accent, last", "Ebene \xC3\xA9", u"Ebene \u00E9"},
      {"the last of two bytes", "\xDF\xBF", u"\u07FF"},
      {"the first of three bytes", "\xE0\xA0\x80", u"\u0800"},
      {"the euro sign", "\xE2\x82\xAC", u"\u20AC"},
      {"the last before the surrogates", "\xED\x9F\xBF", u"\uD7FF"},
      {"the first after them", "\xEE\x80\x80", u"\uE000"},
      {"the last of three bytes", "\xEF\xBF\xBF", u"\uFFFF"},
      {"the first of four bytes", "\xF0\x90\x80\x80", u"\U00010000"},
      {"a clipboard", "\xF0\x9F\x93\x8B", u"\U0001F4CB"},
      {"the last code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"a continuation byte first", "\x80", std::nullopt},
      {"a two-byte form of ASCII", "\xC1\xBF", std::nullopt},
      {"a three-byte form of two", "\xE0\x9F\xBF", std::nullopt},
      {"a four-byte form of three", "\xF0\x8F\xBF\xBF", std::nullopt},
      {"a surrogate", "\xED\xA0\x80", std::nullopt},
      {"past U+10FFFF", "\xF4\x90\x80\x80", std::nullopt},
      {"no first byte at all", "\xF5\x80\x80\x80", std::nullopt},
      {"cut short at the end", "Ebene \xC3", std::nullopt},
      {"cut short in the middle", "\xE2\x82x", std::nullopt},
      {"Latin-1", "\xE9tape", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<std::vector<std::uint16_t>> decoded = Utf16FromUtf8(c.bytes);
    const std::optional<plain::Units> modelled = plain::Utf8ToUtf16(c.bytes);
    ASSERT_EQ(decoded.has_value(), c.units.has_value()) << c.name;
    ASSERT_EQ(modelled.has_value(), c.units.has_value()) << c.name;
    if (c.units) {
      EXPECT_EQ(std::u16string(decoded->begin(), decoded->end()), *c.units) << c.name;
      EXPECT_EQ(*modelled, *c.units) << c.name;
    }
  }
}

}  // namespace
}  // namespace rungwell
