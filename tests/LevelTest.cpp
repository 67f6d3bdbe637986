#include <gtest/gtest.h>

#include <string>

#include "csv/Level.h"
#include "tests/PlainRules.h"

namespace rungwell {
namespace {

using namespace std::string_literals;

TEST(ParseLevel, ReadsLikeAtoiAndClampsOutOfRange) {
  struct Case {
    std::string text;
    std::int32_t level;
  };
  const Case cases[] = {
      {"", 0},
      {"0", 0},
      {"1", 1},
      {"7", 7},
      {"level", 0},
      {"-3", -3},
      {"+4", 4},
      {"  3", 3},
      {"\t\n\v\f\r3", 3},
      {"3 days", 3},
      {"3.7", 3},
      {"3\r\n", 3},
      {"\"3\"", 0},
      {"- 3", 0},
      {"+-3", 0},
      {"--3", 0},
      {"0003", 3},
      {"3\0009"s, 3},
      {"\xa0"
       "3",
       0},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"99999999999999999999999999", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"-99999999999999999999999999", INT32_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseLevel(c.text), c.level) << '"' << c.text << '"';
    EXPECT_EQ(ParseLevel(c.text), plain::Level(c.text)) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace rungwell
