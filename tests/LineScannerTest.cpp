#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "csv/DialectDetector.h"
#include "csv/LineScanner.h"
#include "tests/PlainRules.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using Indents = std::vector<LineIndent>;

// The real scan of bytes, the start of an input, fed in pieces that end at
// the given offsets (and at the end), in the shape of the plain model's answer.
plain::Scan ScanInPieces(std::string_view bytes, const Dialect& dialect, bool final, ScanPath path,
                         std::vector<std::size_t> cuts = {}) {
  LineScanner scanner(dialect, dialect.markSize, path);
  plain::Scan scan;
  std::size_t from = std::min(dialect.markSize, bytes.size());
  cuts.push_back(bytes.size());
  for (std::size_t cut : cuts) {
    cut = std::max(cut, from);
    const bool last = cut == bytes.size();
    scanner.Scan(bytes.substr(from, cut - from), final && last, scan.indents);
    from = cut;
  }
  scan.openStart = scanner.OpenLineStart();
  scan.openUndecided = !final && scanner.OpenLineUndecided() && scanner.OpenLineStart() < bytes.size();
  scan.tally = scanner.Tally();
  return scan;
}

void ExpectSameScan(const plain::Scan& actual, const plain::Scan& expected, const std::string& what) {
  EXPECT_EQ(actual.indents, expected.indents) << what;
  EXPECT_EQ(actual.tally, expected.tally) << what;
  if (expected.openUndecided) {
    EXPECT_TRUE(actual.openUndecided) << what;
    EXPECT_EQ(actual.openStart, expected.openStart) << what;
  } else {
    EXPECT_FALSE(actual.openUndecided) << what;
  }
}

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
  for (const ScanPath path : PathsToTest()) {
    const plain::Scan scan = ScanInPieces(c.line, Dialect{}, true, path);
    EXPECT_EQ(scan.indents, (c.units > 0 ? Indents{{0, c.units}} : Indents{})) << ScanPathName(path);
  }
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
        LevelCase{"DeepestLevelIndents", "a,b,c,d,e,1000,x", 999},
        LevelCase{"LevelPastTheDeepestIsCopied", "a,b,c,d,e,1001,x", 0},
        LevelCase{"BudgetIsNoLevel", "a,b,c,d,e,99999999999\n", 0}),
    [](const ::testing::TestParamInfo<LevelCase>& param) { return std::string(param.param.name); });

// Text whose first field is padded so that the marker lands at offset at:
// where the scan's 64-byte blocks meet, or just before or after.
std::string Place(std::size_t at, const std::string& before, const std::string& marker, const std::string& after) {
  return std::string(at - before.size(), 'x') + before + marker + after;
}

TEST(LineScanner, FollowsLinesAndQuotesAcrossBlockAndPieceEdges) {
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
      {"level padded by spaces past a block", Place(70, "1,b,c,d,e,", std::string(90, ' '), "7,x\n")},
      {"quoted level across a block edge", Place(63, "1,b,c,d,e,\"", " 4", "\",x\n2,a,b,c,d,2\n")},
  };
  for (const Case& c : cases) {
    for (const bool final : {false, true}) {
      const plain::Scan expected = plain::ScanLines(c.text, final, Dialect{});
      for (const ScanPath path : PathsToTest()) {
        // Whole, and cut at every offset around the marker, so that a line
        // whose level is not yet known meets the end of a piece there.
        for (std::size_t cut = 0; cut <= std::min<std::size_t>(c.text.size(), 140); cut += cut < 50 ? 25 : 1) {
          ExpectSameScan(ScanInPieces(c.text, Dialect{}, final, path, {cut}), expected,
                         std::string(c.name) + ", final " + std::to_string(final) + ", " + ScanPathName(path) +
                             ", cut at " + std::to_string(cut));
        }
      }
    }
  }
}

// A line's level is known, and its bytes can go, as soon as its level field
// is read to its first character that is not part of the number.
TEST(LineScanner, KnowsALevelBeforeTheLineEnds) {
  struct Case {
    std::string start;
    bool known;
  };
  const Case cases[] = {
      {"1,b,c,d,e,3,rest", true}, {"1,b,c,d,e,3", false}, {"1,b,c,d,e,  ", false},
      {"1,b,c,d,e,-", false},     {"1,b,c,d,e,x", true},  {"1,b,c,d,e,\"", false},
      {"1,b,c,d,e,\"3", true},    {"1,b,c,d,e,,", true},  {"1,b,c,d", false},
  };
  for (const Case& c : cases) {
    LineScanner scanner(Dialect{}, 0);
    Indents indents;
    scanner.Scan(c.start, false, indents);
    EXPECT_EQ(!scanner.OpenLineUndecided(), c.known) << c.start;
    EXPECT_EQ(scanner.OpenLineStart(), 0U) << c.start;
  }
}

// Outline numbers of every length to past what is read at once, ended by
// each kind of character or by the end of the bytes, with the bytes cut at
// every offset from the number's start on, and every byte value after a
// number: each reading must end the number where the plain rule ends it.
TEST(LineScanner, ReadsOutlineNumbersOfAnyLengthWhereThePlainRuleEndsThem) {
  Dialect dialect;
  dialect.levelForm = LevelForm::Outline;
  std::vector<std::string> texts;
  const std::string enders[] = {",x\n", "\n", "\r\n", "x,y\n", "\xb1\n", "..1\n", ""};
  for (std::size_t length = 1; length <= 30; ++length) {
    std::string number;
    for (unsigned group = 1; number.size() < length; ++group) {
      number += (number.empty() ? "" : ".") + std::to_string(group % 2 == 1 ? 7 : 12);
    }
    number.resize(length);  // some end in a dot
    for (const std::string& ender : enders) {
      std::string text = "a,b,c,d,e," + number;
      texts.push_back(text.append(ender).append("f,g,h,i,j,2.1\n"));
    }
  }
  for (int byte = 0; byte < 256; ++byte) {
    texts.push_back("a,b,c,d,e,1.2" + std::string(1, static_cast<char>(byte)) + "3.4,x\n" + std::string(30, 'z'));
  }
  for (const std::string& text : texts) {
    for (const bool final : {false, true}) {
      const plain::Scan expected = plain::ScanLines(text, final, dialect);
      for (const ScanPath path : PathsToTest()) {
        for (std::size_t cut = 10; cut <= text.size(); ++cut) {
          ExpectSameScan(ScanInPieces(text, dialect, final, path, {cut}), expected,
                         '"' + text + "\" in " + ScanPathName(path) + ", cut at " + std::to_string(cut));
        }
      }
      if (::testing::Test::HasFailure()) {
        return;
      }
    }
  }
}

// Random text dense in separators, quotation marks and line ends, in every
// dialect, with the level in the first, second, sixth, tenth and 64th
// column and in one past every line's end, cut into random pieces, so that
// lines, quoting and level fields start and end everywhere in the blocks and
// in the pieces.
TEST(LineScanner, AgreesWithThePlainRuleOnRandomText) {
  std::mt19937 random(20261208);
  const std::string filler = "a3 -+\0\r\t;\xff.1/"s;
  std::uniform_int_distribution<std::size_t> length(0, 600);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  const double densities[] = {0.01, 0.03, 0.1, 0.3};
  const Dialect dialects[] = {
      {}, {Encoding::Bytes, 3, ';', true}, {Encoding::Utf16Le, 2, '\t', false}, {Encoding::Utf16Be, 2, ',', true}};
  const unsigned columns[] = {0, 1, 5, 9, 63, 1000};
  const std::vector<ScanPath> paths = PathsToTest();
  for (int i = 0; i < 12000; ++i) {
    Dialect dialect = dialects[i % 4];
    dialect.levelColumn = columns[static_cast<std::size_t>(i / 64) % std::size(columns)];
    // Every way of reading records and levels, on every path.
    const unsigned rules = static_cast<unsigned>(i / 7) % 8;
    dialect.multiline = (rules & 1U) != 0;
    dialect.levelForm = (rules & 2U) != 0 ? LevelForm::Outline : LevelForm::Number;
    dialect.quotedLevels = (rules & 4U) != 0;
    // Sparse separators give long fields, so the level field often starts
    // blocks away from the line's start; sparse line ends give long lines.
    const double density = densities[(i / 4) % 4];
    const double lineEnds = densities[(i / 16) % 4] / 4;
    std::string units(length(random), ' ');
    for (char& c : units) {
      const double roll = chance(random);
      c = roll < density                    ? static_cast<char>(dialect.separator)
          : roll < 1.5 * density            ? '"'
          : roll < 1.5 * density + lineEnds ? (random() % 3 == 0 ? '\r' : '\n')
                                            : filler[random() % filler.size()];
    }
    std::string text(dialect.markSize, '\xEF');
    for (const char c : units) {
      // A high byte that is sometimes not zero: a character that only looks like a separator.
      const char high = random() % 8 == 0 ? c : '\0';
      text += dialect.encoding == Encoding::Utf16Le   ? std::string{c, high}
              : dialect.encoding == Encoding::Utf16Be ? std::string{high, c}
                                                      : std::string{c};
    }
    if (dialect.encoding != Encoding::Bytes && i % 3 == 0) {
      text += '3';  // an odd last byte belongs to no character
    }
    const bool final = i % 2 == 0;
    const plain::Scan expected = plain::ScanLines(text, final, dialect);
    std::size_t cut = dialect.markSize + (random() % (text.size() + 1)) / 2 * 2;
    const ScanPath path = paths[static_cast<std::size_t>(i) % paths.size()];
    ExpectSameScan(ScanInPieces(text, dialect, final, path, {std::min(cut, text.size())}), expected,
                   '"' + text + "\" in " + ScanPathName(path) + ", column " + std::to_string(dialect.levelColumn) +
                       ", rules " + std::to_string(rules));
    if (::testing::Test::HasFailure()) {
      return;
    }
  }
}

}  // namespace
}  // namespace rungwell
