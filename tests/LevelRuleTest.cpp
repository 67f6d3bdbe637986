#include <gtest/gtest.h>

#include <random>
#include <string>

#include "csv/LevelRule.h"
#include "tests/PlainRules.h"

namespace rungwell {
namespace {

using namespace std::string_literals;

struct FieldCase {
  const char* name;
  std::string line;
  std::string field;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
  *os << c.name;
}

class LevelFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(LevelFieldTest, FindsTheSixthFieldQuoteAware) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(FindLevelField(c.line), c.field);
  EXPECT_EQ(ExtractLevelField(c.line), c.field);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LevelFieldTest,
    ::testing::Values(
        FieldCase{"LastFieldKeepsLineEnd", "a,b,c,d,e,7\n", "7\n"},
        FieldCase{"LastFieldKeepsCrLf", "a,b,c,d,e,7\r\n", "7\r\n"},
        FieldCase{"MiddleFieldEndsAtComma", "a,b,c,d,e,7,x", "7"}, FieldCase{"FiveFieldsGiveNothing", "a,b,c,d,e", ""},
        FieldCase{"FiveFieldsWithLineEndGiveNothing", "a,b,c,d,e\n", ""},
        FieldCase{"EmptySixthFieldAtEnd", "a,b,c,d,e,", ""}, FieldCase{"EmptySixthFieldInMiddle", "a,b,c,d,e,,g", ""},
        FieldCase{"QuotedCommaStaysInItsField", "a,\"b,c\",d,e,f,3,g", "3"},
        FieldCase{"QuotedLevelKeepsQuotes", "a,b,c,d,e,\"4\",z", "\"4\""},
        FieldCase{"QuotedLevelWithCommaKeepsAll", "a,b,c,d,e,\"4,5\",z", "\"4,5\""},
        FieldCase{"DoubledQuoteKeepsQuoting", "a,\"say \"\"hi, there\"\"\",c,d,e,6", "6"},
        FieldCase{"QuoteMidFieldToggles", "a,b\"x,y\"b,c,d,e,2", "2"},
        FieldCase{"QuotedFirstField", "\"a,b\",c,d,e,f,7", "7"},
        FieldCase{"UnpairedQuoteRunsToLineEnd", "a,\",b,c,d,e,5", ""},
        FieldCase{"UnpairedQuoteInLevelFieldTakesRest", "a,b,c,d,e,\"5,6,7", "\"5,6,7"}, FieldCase{"EmptyLine", "", ""},
        FieldCase{"OnlyCommas", ",,,,,2", "2"}, FieldCase{"SpacesKept", "a,b,c,d,e,  3 ,x", "  3 "},
        FieldCase{"NulIsAnOrdinaryByte", "a,b\0,c,d,e,8,x"s, "8"},
        FieldCase{"NulInsideTheField", "a,b,c,d,e,9\0z,x"s, "9\0z"s},
        FieldCase{"HighBytesPassThrough",
                  "\xc3\xa9,b,c,d,e,\xff"
                  "3",
                  "\xff"
                  "3"}),
    [](const ::testing::TestParamInfo<FieldCase>& param) { return std::string(param.param.name); });

// Random lines dense in commas and quotation marks, long enough to cross the
// blocks the search works in, so that quoting carried from one block into the
// next is exercised.
TEST(LevelField, AgreesWithThePlainRuleOnRandomLines) {
  std::mt19937 random(20261208);
  const std::string filler = "a3 \0\n"s;
  std::uniform_int_distribution<std::size_t> length(0, 400);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  const double densities[] = {0.01, 0.03, 0.1, 0.3};
  for (int i = 0; i < 20000; ++i) {
    // Sparse commas give long fields, so the level field often starts or
    // ends blocks away from the line's start.
    const double density = densities[i % 4];
    std::string line(length(random), ' ');
    for (char& c : line) {
      const double roll = chance(random);
      c = roll < density ? ',' : roll < 1.5 * density ? '"' : filler[random() % filler.size()];
    }
    ASSERT_EQ(FindLevelField(line), plain::LevelField(line)) << '"' << line << '"';
  }
}

}  // namespace
}  // namespace rungwell
