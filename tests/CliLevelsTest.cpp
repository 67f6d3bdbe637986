// The built program on plans as other programs export them: where each
// keeps its levels, and what the program says of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/CliSupport.h"
#include "tests/ProgramRunner.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace testing;

const std::string Found =
    "the levels are read from column 7, \"Outline Level\", as the first line names it "
    "(--level-column 5 reads column 5)";

TEST(Cli, ReadsTheLevelWhereExportsKeepIt) {
  struct Case {
    const char* name;
    Names options;
    std::string input;
    std::string output;
    Names notes;
  };
  const std::string us =
      "ID,Unique ID,Name,Duration,Start,Finish,Predecessors,Outline Level,Notes\n"
      "1,1,Relaunch,45 days,3/1/2027,4/30/2027,,1,\"Sponsor: Kim, VP\"\n"
      "2,2,Discovery,10 days,3/1/2027,3/12/2027,,2,\n"
      "3,3,Interviews,5 days,3/1/2027,3/5/2027,,3,\"CEO, CFO\"\n";
  const std::string usIndented =
      "ID,Unique ID,Name,Duration,Start,Finish,Predecessors,Outline Level,Notes\n"
      "1,1,Relaunch,45 days,3/1/2027,4/30/2027,,1,\"Sponsor: Kim, VP\"\n"
      "  2,2,Discovery,10 days,3/1/2027,3/12/2027,,2,\n"
      "    3,3,Interviews,5 days,3/1/2027,3/5/2027,,3,\"CEO, CFO\"\n";
  const std::string german =
      "\xEF\xBB\xBFNr.;Eindeutige Nr.;Name;Dauer;Anfang;Ende;Vorg\xC3\xA4nger;Gliederungsebene;Notizen\r\n"
      "1;1;Umzug;60 Tage;04.01.2027;26.03.2027;;1;\"9.400,75 \xE2\x82\xAC; frei\"\r\n"
      "2;2;Standort;7,5 Tage;04.01.2027;13.01.2027;;2;\r\n";
  const std::string predecessors =
      "ID,Name,Duration,Start,Finish,Predecessors,Outline Level,Notes\n"
      "1,Relaunch,45 days,Mon 3/1/27,Fri 4/30/27,,1,\n"
      "4,Requirements,5 days,Mon 3/8/27,Fri 3/12/27,3,3,\n"
      "5,Design,15 days,Mon 3/15/27,Fri 4/2/27,\"9,11\",2,\n";
  const std::string wbs =
      "WBS,Task Name,Duration,Start,Finish,Resource Names,Notes\n"
      "1,Office move,60 days,2027-01-04,2027-03-26,\"Ortega, Ana\",\n"
      "1.1,Choose the site,15 days,2027-01-04,2027-01-22,\"Ortega, Ana\",\n"
      "1.1.2,Sign the lease,2 days,2027-01-21,2027-01-22,Lee,\n"
      "2,Move day,5 days,2027-03-22,2027-03-26,Everyone,\n";
  const std::string wbsIndented =
      "WBS,Task Name,Duration,Start,Finish,Resource Names,Notes\n"
      "1,Office move,60 days,2027-01-04,2027-03-26,\"Ortega, Ana\",\n"
      "  1.1,Choose the site,15 days,2027-01-04,2027-01-22,\"Ortega, Ana\",\n"
      "    1.1.2,Sign the lease,2 days,2027-01-21,2027-01-22,Lee,\n"
      "2,Move day,5 days,2027-03-22,2027-03-26,Everyone,\n";
  const std::string quoted =
      "\"ID\",\"Name\",\"Start\",\"Finish\",\"Work\",\"Cost\",\"Predecessors\",\"Outline Level\"\r\n"
      "\"1\",\"Relaunch\",\"Mon 3/1/27\",\"Fri 4/30/27\",\"0\",\"0\",\"\",\"1\"\r\n"
      "\"2\",\"Discovery\",\"Mon 3/1/27\",\"Fri 3/12/27\",\"0\",\"0\",\"\",\"2\"\r\n";
  const std::string altEnter =
      "ID,Task,Owner,Start,Finish,Level,Notes\r\n"
      "2,Choose the site,\"Ortega, Ana\",2027-01-04,2027-01-22,2,\"Shortlist:\n"
      "north, east, harbour, old town, airport, 3 more\n"
      "Decide by 22 Jan\"\r\n"
      "3,\"Visit sites\n"
      "(north, harbour)\",Lee Min,2027-01-04,2027-01-13,3,\r\n";
  const Case cases[] = {
      {"US dates in the sixth field", {}, us, usIndented, {Found}},
      {"German dates in the sixth field",
       {},
       german,
       "\xEF\xBB\xBFNr.;Eindeutige Nr.;Name;Dauer;Anfang;Ende;Vorg\xC3\xA4nger;Gliederungsebene;Notizen\r\n"
       "1;1;Umzug;60 Tage;04.01.2027;26.03.2027;;1;\"9.400,75 \xE2\x82\xAC; frei\"\r\n"
       "  2;2;Standort;7,5 Tage;04.01.2027;13.01.2027;;2;\r\n",
       {"the levels are read from column 7, \"Gliederungsebene\", as the first line names it (--level-column 5 reads "
        "column 5)"}},
      {"a predecessor's id in the sixth field",
       {},
       predecessors,
       "ID,Name,Duration,Start,Finish,Predecessors,Outline Level,Notes\n"
       "1,Relaunch,45 days,Mon 3/1/27,Fri 4/30/27,,1,\n"
       "    4,Requirements,5 days,Mon 3/8/27,Fri 3/12/27,3,3,\n"
       "  5,Design,15 days,Mon 3/15/27,Fri 4/2/27,\"9,11\",2,\n",
       {"the levels are read from column 6, \"Outline Level\", as the first line names it (--level-column 5 reads "
        "column 5)"}},
      {"the sixth field asked for: its dates are told",
       {"-c", "5"},
       us,
       "ID,Unique ID,Name,Duration,Start,Finish,Predecessors,Outline Level,Notes\n"
       "      1,1,Relaunch,45 days,3/1/2027,4/30/2027,,1,\"Sponsor: Kim, VP\"\n"
       "    2,2,Discovery,10 days,3/1/2027,3/12/2027,,2,\n"
       "    3,3,Interviews,5 days,3/1/2027,3/5/2027,,3,\"CEO, CFO\"\n",
       {"3 lines have more than a number in column 5 (\"Finish\"), such as a date or an outline number, and only "
        "their first number was read (the first is line 2); --level-column picks another column, --outline-numbers "
        "reads 1.2.3 as level 3"}},
      {"outline numbers found by their column's name",
       {},
       wbs,
       wbsIndented,
       {"the levels are read as outline numbers from column 0, \"WBS\", as the first line names it (--level-column 5 "
        "reads column 5)"}},
      {"outline numbers by the name given", {"-c", "wbs"}, wbs, wbsIndented, {}},
      {"outline numbers asked for", {"--outline-numbers", "-c", "0"}, wbs, wbsIndented, {}},
      {"every field quoted",
       {},
       quoted,
       quoted,
       {Found,
        "nothing indented: every level is in quotation marks, and a quoted level counts as 0; --quoted-levels "
        "reads them"}},
      {"every field quoted, read",
       {"--quoted-levels"},
       quoted,
       "\"ID\",\"Name\",\"Start\",\"Finish\",\"Work\",\"Cost\",\"Predecessors\",\"Outline Level\"\r\n"
       "\"1\",\"Relaunch\",\"Mon 3/1/27\",\"Fri 4/30/27\",\"0\",\"0\",\"\",\"1\"\r\n"
       "  \"2\",\"Discovery\",\"Mon 3/1/27\",\"Fri 3/12/27\",\"0\",\"0\",\"\",\"2\"\r\n",
       {Found}},
      {"cells over lines, each line on its own",
       {},
       altEnter,
       "ID,Task,Owner,Start,Finish,Level,Notes\r\n"
       "  2,Choose the site,\"Ortega, Ana\",2027-01-04,2027-01-22,2,\"Shortlist:\n"
       "    north, east, harbour, old town, airport, 3 more\n"
       "Decide by 22 Jan\"\r\n"
       "3,\"Visit sites\n"
       "(north, harbour)\",Lee Min,2027-01-04,2027-01-13,3,\r\n",
       {"4 lines end inside quotation marks (the first is line 2); where cells go on to the next line, --multiline "
        "reads them as one record"}},
      {"cells over lines, as records",
       {"--multiline"},
       altEnter,
       "ID,Task,Owner,Start,Finish,Level,Notes\r\n"
       "  2,Choose the site,\"Ortega, Ana\",2027-01-04,2027-01-22,2,\"Shortlist:\n"
       "north, east, harbour, old town, airport, 3 more\n"
       "Decide by 22 Jan\"\r\n"
       "    3,\"Visit sites\n"
       "(north, harbour)\",Lee Min,2027-01-04,2027-01-13,3,\r\n",
       {}},
      {"a quoted field that never closes",
       {"--multiline"},
       "ID,Task,Owner,Start,Finish,Level\n2,a,b,c,d,2\n3,\"Pack, label,x,y,3\n4,a,b,c,d,4\n",
       "ID,Task,Owner,Start,Finish,Level\n  2,a,b,c,d,2\n3,\"Pack, label,x,y,3\n4,a,b,c,d,4\n",
       {"the quoted field that opens on line 3 never closes, so its record runs to the end of the file"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFile(dir.File("plan.csv"), c.input);
    RunOptions options;
    options.args = c.options;
    options.args.push_back("plan.csv");
    options.workingDirectory = dir.Path();
    const RunResult run = RunProgram(options);
    EXPECT_EQ(run.exitStatus, 0);
    std::string notes;
    for (const std::string& note : c.notes) {
      notes += "Rungwell: plan.csv: " + note + "\n";
    }
    EXPECT_EQ(run.err, notes);
    EXPECT_EQ(ReadFile(dir.File("plan_new.csv")), c.output);
  }
}

}  // namespace
}  // namespace rungwell
