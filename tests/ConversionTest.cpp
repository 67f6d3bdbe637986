#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "csv/Conversion.h"
#include "csv/LevelRule.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

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
      {"3\0"
       "9"s,
       3},
      {"\xa0"
       "3",
       0},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"99999999999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},
      {"-99999999999999999999999999", INT_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseLevel(c.text), c.level) << '"' << c.text << '"';
  }
}

// Runs the conversion loop over real files, as the program does.
std::string Convert(const std::string& contents) {
  TempDir dir;
  WriteFile(dir.File("in.csv"), contents);
  CsvFileHandle input;
  EXPECT_TRUE(input.Open(dir.File("in.csv")));
  OutputFile output(dir.File("out.csv"));
  EXPECT_TRUE(output.Create());
  EXPECT_TRUE(ConvertLines(input, output));
  EXPECT_TRUE(output.Commit()) << output.Error().message();
  return ReadFile(dir.File("out.csv"));
}

TEST(ConvertLines, IndentsByTheLevelColumnText) {
  struct Case {
    const char* name;
    std::string line;
    std::string indent;
  };
  const Case cases[] = {
      {"header", "id,name,a,b,c,level,notes\n", ""},
      {"empty level", "1,n,a,b,c,,x\n", ""},
      {"level 0", "1,n,a,b,c,0,x\n", ""},
      {"level 1", "1,n,a,b,c,1,x\n", ""},
      {"negative", "1,n,a,b,c,-4,x\n", ""},
      {"level 2", "1,n,a,b,c,2,x\n", "  "},
      {"level 3", "1,n,a,b,c,3,x\n", "    "},
      {"level 9", "1,n,a,b,c,9,x\n", std::string(16, ' ')},
      {"padded", "1,n,a,b,c,  3,x\n", "    "},
      {"trailing text", "1,n,a,b,c,3 days,x\n", "    "},
      {"decimal", "1,n,a,b,c,3.7,x\n", "    "},
      {"quoted", "1,n,a,b,c,\"3\",x\n", ""},
      {"last field with CRLF", "1,n,a,b,c,4\r\n", "      "},
      {"quoted commas before", "1,\"n, m\",\"a,b\",c,d,3\n", "    "},
      {"too few fields", "1,n,a,b,3\n", ""},
      {"no final newline", "1,n,a,b,c,2", "  "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.line), c.indent + c.line) << c.name;
  }
}

TEST(ConvertLines, KeepsOrderTerminatorsAndEveryOtherByte) {
  const std::string input =
      "id,name,a,b,c,level\r\n"
      "1,x\0y,a,b,c,2\n"s
      "\0,b,c,d,e,3\n"s
      "2,\x1a,a,b,c,1\r\n"
      "\n"
      "3,\xff,a,b,c,2";
  const std::string expected =
      "id,name,a,b,c,level\r\n"
      "  1,x\0y,a,b,c,2\n"s
      "    \0,b,c,d,e,3\n"s
      "2,\x1a,a,b,c,1\r\n"
      "\n"
      "  3,\xff,a,b,c,2";
  EXPECT_EQ(Convert(input), expected);
  EXPECT_EQ(Convert(""), "");
}

TEST(ConvertLines, IndentsALongLineOnceByItsOwnLevel) {
  // Past the read buffer, text that looks like further level fields must not
  // start lines of its own.
  std::string line = "1,n,a,b,c,3,";
  while (line.size() < 4 * ReadBlockSize) {
    line += "x,y,z,w,v,9,";
  }
  line += "\n";
  EXPECT_EQ(Convert(line + "2,n,a,b,c,2\n"), "    " + line + "  2,n,a,b,c,2\n");
}

TEST(ConvertLines, HugeLevelIsWrittenInFull) {
  const std::string line = "1,n,a,b,c,50000,x\n";
  EXPECT_EQ(Convert(line + "2,n,a,b,c,2\n"), std::string(std::size_t{2} * 49999, ' ') + line + "  2,n,a,b,c,2\n");
}

}  // namespace
}  // namespace rungwell
