// What the built program tells the user about a file it converted.
#include <gtest/gtest.h>

#include <string>

#include "tests/CliSupport.h"
#include "tests/ProgramRunner.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using namespace testing;

// A file that converts but comes out unchanged, or with lines left alone,
// says why in one line; the output is written all the same and the status
// stays 0. Levels 2 to 1000 indent; beyond, a number is no level.
TEST(Cli, SaysWhyLinesWereLeftAsTheyWere) {
  struct Case {
    const char* name;
    std::string input;
    std::string output;
    std::string note;
  };
  const Case cases[] = {
      {"a flat plan", "a,b,c,d,e,Level\n1,a,b,c,d,1\n", "a,b,c,d,e,Level\n1,a,b,c,d,1\n", ""},
      {"the deepest level", "1,a,b,c,d,1000\n", std::string(1998, ' ') + "1,a,b,c,d,1000\n", ""},
      {"one level deeper", "1,a,b,c,d,2\n1,a,b,c,d,1001\n", "  1,a,b,c,d,2\n1,a,b,c,d,1001\n",
       "1 line has a level above 1000 and was copied unchanged (the first is line 2)"},
      {"a budget in the level column", "1,a,b,c,d,99999999999\n", "1,a,b,c,d,99999999999\n",
       "nothing indented: every number in the field after the 5th separator (fields separated by commas) is above "
       "1000, "
       "so it holds no levels (line 1); --level-column picks the column that holds the levels"},
      {"dates in the sixth field", "ID,Task,Depth,x,y,Start\n1,a,1,x,y,2027-01-04\n2,b,2,x,y,2027-02-01\n",
       "ID,Task,Depth,x,y,Start\n1,a,1,x,y,2027-01-04\n2,b,2,x,y,2027-02-01\n",
       "nothing indented: every number in column 5 (\"Start\") is above 1000, so it holds no levels (2 lines, the "
       "first is line 2); --level-column picks the column that holds the levels"},
      {"dates in the sixth field, no header", "1,a,1,x,y,2027-01-04\n2,b,2,x,y,2027-02-01\n",
       "1,a,1,x,y,2027-01-04\n2,b,2,x,y,2027-02-01\n",
       "nothing indented: every number in the field after the 5th separator (fields separated by commas) is above "
       "1000, so it holds no levels (2 lines, the first is line 1); --level-column picks the column that holds the "
       "levels"},
      {"text in the sixth field", "ID,Task,Depth,x,y,Notes\n1,a,2,x,y,call\n",
       "ID,Task,Depth,x,y,Notes\n1,a,2,x,y,call\n",
       "nothing indented: column 5 (\"Notes\") holds no number on any line; --level-column picks the column that "
       "holds the levels"},
      {"some levels quoted", "1,a,b,c,d,2\n2,a,b,c,d,\"3\"\n3,a,b,c,d,\"4\"\n",
       "  1,a,b,c,d,2\n2,a,b,c,d,\"3\"\n3,a,b,c,d,\"4\"\n",
       "2 lines have their level in quotation marks, which counts as 0, and were copied unchanged (the first is line "
       "2); --quoted-levels reads them"},
      {"every level quoted", "\"1\",\"a\",\"b\",\"c\",\"d\",\"3\"\r\n", "\"1\",\"a\",\"b\",\"c\",\"d\",\"3\"\r\n",
       "nothing indented: every level is in quotation marks, and a quoted level counts as 0; --quoted-levels reads "
       "them"},
      {"no sixth field", "1;a;b;c\n", "1;a;b;c\n",
       "nothing indented: no line has a level field, the field after the 5th separator (fields separated by commas); "
       "--level-column and --separator choose others"},
      {"a separator named by a byte", "sep=\xA7\nab\n", "sep=\xA7\nab\n",
       "nothing indented: no line has a level field, the field after the 5th separator (fields separated by the byte "
       "A7); --level-column and --separator choose others"},
      {"a separator named in UTF-16", "\xFF\xFEs\0e\0p\0=\0\xE9\0\n\0"s, "\xFF\xFEs\0e\0p\0=\0\xE9\0\n\0"s,
       "nothing indented: no line has a level field, the field after the 5th separator (fields separated by U+00E9); "
       "--level-column and --separator choose others"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteFile(dir.File("plan.csv"), c.input);
    const RunResult run = RunProgram({dir.File("plan.csv")});
    EXPECT_EQ(run.exitStatus, 0) << c.name;
    EXPECT_EQ(run.err, c.note.empty() ? "" : "Rungwell: " + dir.File("plan.csv") + ": " + c.note + "\n") << c.name;
    EXPECT_EQ(ReadFile(dir.File("plan_new.csv")), c.output) << c.name;
  }
}

}  // namespace
}  // namespace rungwell
