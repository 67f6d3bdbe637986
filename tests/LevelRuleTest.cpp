#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "csv/LevelRule.h"
#include "tests/PlainRules.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using Indents = std::vector<LineIndent>;

struct LevelCase {
  const char* name;
  std::string line;
  std::uint64_t units;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
  *os << c.name;
}

class LevelFieldTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelFieldTest, IndentsByTheSixthFieldQuoteAware) {
  const LevelCase& c = GetParam();
  Indents indents;
  EXPECT_EQ(ScanLines(c.line, true, indents), c.line.size());
  EXPECT_EQ(indents, (c.units > 0 ? Indents{{0, c.units}} : Indents{}));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LevelFieldTest,
    ::testing::Values(
        LevelCase{"LastFieldKeepsLineEnd", "a,b,c,d,e,7\n", 6}, LevelCase{"LastFieldWithCrLf", "a,b,c,d,e,7\r\n", 6},
        LevelCase{"MiddleFieldEndsAtComma", "a,b,c,d,e,7,x", 6}, LevelCase{"FiveFieldsGiveNothing", "a,b,c,d,e", 0},
        LevelCase{"FiveFieldsWithLineEndGiveNothing", "a,b,c,d,e\n", 0},
        LevelCase{"EmptySixthFieldAtEnd", "a,b,c,d,e,", 0}, LevelCase{"EmptySixthFieldInMiddle", "a,b,c,d,e,,3", 0},
        LevelCase{"QuotedCommaStaysInItsField", "a,\"b,c\",d,e,f,3,g", 2},
        LevelCase{"QuotedLevelReadsAsZero", "a,b,c,d,e,\"4\",z", 0},
        LevelCase{"QuotedLevelWithComma", "a,b,c,d,e,\"4,5\",z", 0},
        LevelCase{"DoubledQuoteKeepsQuoting", "a,\"say \"\"hi, there\"\"\",c,d,e,6", 5},
        LevelCase{"QuoteMidFieldToggles", "a,b\"x,y\"b,c,d,e,2", 1},
        LevelCase{"QuotedFirstField", "\"a,b\",c,d,e,f,7", 6},
        LevelCase{"UnpairedQuoteRunsToLineEnd", "a,\",b,c,d,e,5", 0}, LevelCase{"EmptyLine", "", 0},
        LevelCase{"OnlyCommas", ",,,,,2", 1}, LevelCase{"LeadingSpacesSkipped", "a,b,c,d,e,  3 ,x", 2},
        LevelCase{"NulIsAnOrdinaryByte", "a,b\0,c,d,e,8,x"s, 7}, LevelCase{"NulInsideTheField", "a,b,c,d,e,9\0z,x"s, 8},
        LevelCase{"HighBytesPassThrough", "\xc3\xa9,b,c,d,e,3\xff", 2},
        LevelCase{"LongLevel", "a,b,c,d,e,1000000,x", 999999}),
    [](const ::testing::TestParamInfo<LevelCase>& param) { return std::string(param.param.name); });

// Text whose first field is padded so that the marker lands at offset at:
// where the scan's 64-byte blocks meet, or just before or after.
std::string Place(std::size_t at, const std::string& before, const std::string& marker, const std::string& after) {
  return std::string(at - before.size(), 'x') + before + marker + after;
}

TEST(ScanLines, FollowsLinesAndQuotesAcrossBlockEdges) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"newline last in a block", Place(63, "1,", "\n", "2,b,c,d,e,3\n")},
      {"newline first in a block", Place(64, "1,", "\n", "2,b,c,d,e,3\n")},
      {"fifth separator last in a block", Place(63, "1,b,c,d,e", ",", "4,x\n")},
      {"level digits across a block edge", Place(63, "1,b,c,d,e,", "12", ",x\n")},
      {"quote open across a block edge", Place(60, "1,", "\"a,b,c,d,e,f", "\",c,d,e,5\n")},
      {"odd quotes carried into the next block", Place(40, "1,", "\"", std::string(80, ',') + "\n,b,c,d,e,3\n")},
      {"odd quotes end with their line", Place(40, "1,\"", "\n", "1,b,c,d,e,3,\"x\n,b,c,d,e,4\n")},
      {"line longer than a block", Place(200, "1,b,c,d", ",", "e,5,\"y\",z\r\n2,b,c,d,e,2\r\n")},
      {"level field ending in a white space run",
       Place(62, "1,b,c,d,e,", " \r\n", "3,b,c,d,e,1\n")},  // must not be read past the line
      {"last line without newline", Place(66, "1,b,c,d,e,4\n,b,c,d,e", ",", "3")},
      {"last line ends at its fifth separator", Place(63, "1,b,c,d,e,4\n,b,c,d,e", ",", "")},
      {"no newline at all", Place(130, "1,b", ",", "c,d,e,2")},
  };
  for (const Case& c : cases) {
    for (const bool final : {false, true}) {
      plain::Scan expected = plain::ScanLines(c.text, final);
      Indents indents{{7, 7}};  // appended to, never replaced
      EXPECT_EQ(ScanLines(c.text, final, indents), expected.taken) << c.name << ", final " << final;
      expected.indents.insert(expected.indents.begin(), LineIndent{7, 7});
      EXPECT_EQ(indents, expected.indents) << c.name << ", final " << final;
    }
  }
}

// Random text dense in commas, quotation marks and newlines, so that lines,
// quoting and level fields start and end everywhere in the blocks.
TEST(ScanLines, AgreesWithThePlainRuleOnRandomText) {
  std::mt19937 random(20261208);
  const std::string filler = "a3 -\0\r"s;
  std::uniform_int_distribution<std::size_t> length(0, 600);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  const double densities[] = {0.01, 0.03, 0.1, 0.3};
  for (int i = 0; i < 20000; ++i) {
    // Sparse commas give long fields, so the level field often starts blocks
    // away from the line's start; sparse newlines give long lines.
    const double density = densities[i % 4];
    const double newlines = densities[(i / 4) % 4] / 4;
    std::string text(length(random), ' ');
    for (char& c : text) {
      const double roll = chance(random);
      c = roll < density                    ? ','
          : roll < 1.5 * density            ? '"'
          : roll < 1.5 * density + newlines ? '\n'
                                            : filler[random() % filler.size()];
    }
    const bool final = i % 2 == 0;
    const plain::Scan expected = plain::ScanLines(text, final);
    Indents indents;
    ASSERT_EQ(ScanLines(text, final, indents), expected.taken) << '"' << text << '"';
    ASSERT_EQ(indents, expected.indents) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace rungwell
