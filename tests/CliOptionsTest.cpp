// The built program's options and the mistakes on its command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/CliSupport.h"
#include "tests/ProgramRunner.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using namespace testing;

// Options count only before "--", after which every argument is a file; a
// file whose name starts with '-' is named there or as ./-name. Help and
// version return at once, converting nothing, although a terminal shows them.
TEST(Cli, OptionsAndFilesThatLookLikeThem) {
  const std::string Help = "Help";
  const std::string Version = "Rungwell " RUNGWELL_VERSION "\n";
  struct Case {
    Names args;
    std::string out;
    std::string err;
    std::string converted;  // the output written, if any
  };
  const Case cases[] = {
      {{"--help"}, Help, "", ""},
      {{"-h"}, Help, "", ""},
      {{"/?"}, Help, "", ""},
      {{"plan.csv", "--help"}, Help, "", ""},
      {{"--version"}, Version, "", ""},
      {{"--", "--help"}, "", "", "--help_new"},
      {{"--", "-x.csv"}, "", "", "-x_new.csv"},
      {{"./-x.csv"}, "", "", "-x_new.csv"},
      {{"--", "-y.csv"}, "", Message("-y.csv", ENOENT), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    TempDir dir;
    WriteFile(dir.File("plan.csv"), "1,a,b,c,d,2\n");
    WriteFile(dir.File("--help"), "1,a,b,c,d,2\n");
    WriteFile(dir.File("-x.csv"), "1,a,b,c,d,2\n");
    RunOptions options;
    options.args = c.args;
    options.workingDirectory = dir.Path();
    options.terminalInput = "";
    options.terminalOutput = true;
    const RunResult run = RunProgram(options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, c.err.empty() ? 0 : 1);
    if (c.out == Help) {
      EXPECT_EQ(run.out.rfind(Usage + "\n", 0), 0U) << run.out;
      EXPECT_NE(run.out.find("\nRungwell " RUNGWELL_VERSION ". "), std::string::npos) << run.out;
    } else {
      EXPECT_EQ(run.out, c.out);
    }
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(dir.Entries().size(), c.converted.empty() ? 3U : 4U);
    if (!c.converted.empty()) {
      EXPECT_EQ(ReadFile(dir.File(c.converted)), "  1,a,b,c,d,2\n");
    }
  }
}

// The help names the docs where the installation put them, found from
// where the program is (through a link to it too): a package's under /usr,
// cmake --install's under /usr/local. A build never installed has none.
TEST(Cli, HelpNamesTheDocsWhereTheInstallationPutThem) {
  TempDir prefix;
  const std::filesystem::path bin = prefix.File("bin");
  std::filesystem::create_directories(bin);
  std::filesystem::copy_file(ProgramPath(), bin / "Rungwell");
  std::filesystem::create_symlink("Rungwell", bin / "rungwell");
  RunOptions options;
  options.args = {"--help"};
  options.program = (bin / "rungwell").string();
  const std::string pointer = "\nRungwell " RUNGWELL_VERSION ". More in ";
  EXPECT_NE(RunProgram(options).out.find(pointer + "README.md, which comes with the sources.\n"), std::string::npos);
  const std::filesystem::path docs = (bin / RUNGWELL_DOCS_FROM_PROGRAM).lexically_normal();
  std::filesystem::create_directories(docs);
  WriteFile((docs / "README.md").string(), "");
  const RunResult run = RunProgram(options);
  EXPECT_NE(run.out.find(pointer + (docs / "README.md").string() + ".\n"), std::string::npos) << run.out;
}

// What each option does. Paths are relative to the folder the program runs
// in, as messages name them.
TEST(Cli, OptionsChooseTheColumnTheSeparatorAndTheOutput) {
  using Folder = std::map<std::string, std::string>;
  const std::string plan = "1,a,b,c,d,2\n";
  const std::string commas = "Title, with, five, commas, in, it\n1;a;b;c;d;3\n";
  struct Case {
    const char* name;
    Names args;
    Folder before;
    int status;
    std::string out;
    std::string err;
    Folder after;
    std::optional<std::string> stdinBytes = std::nullopt;
    bool stdinThroughPipe = false;
  };
  const Case cases[] = {
      {"a column by its index",
       {"-c", "2", "p.csv"},
       {{"p.csv", "a,b,3\n"}},
       0,
       "",
       "",
       {{"p.csv", "a,b,3\n"}, {"p_new.csv", "    a,b,3\n"}}},
      {"joined to the long option",
       {"--level-column=2", "p.csv"},
       {{"p.csv", "a,b,3\n"}},
       0,
       "",
       "",
       {{"p.csv", "a,b,3\n"}, {"p_new.csv", "    a,b,3\n"}}},
      {"joined to the short option",
       {"-c2", "p.csv"},
       {{"p.csv", "a,b,3\n"}},
       0,
       "",
       "",
       {{"p.csv", "a,b,3\n"}, {"p_new.csv", "    a,b,3\n"}}},
      {"the first column",
       {"-c", "0", "p.csv"},
       {{"p.csv", "3,a\n1,b\n"}},
       0,
       "",
       "",
       {{"p.csv", "3,a\n1,b\n"}, {"p_new.csv", "    3,a\n1,b\n"}}},
      {"a column by its name, commas",
       {"-c", "level", "p.csv"},
       {{"p.csv", "WBS,Task,Level\n1,a,2\n"}},
       0,
       "",
       "",
       {{"p.csv", "WBS,Task,Level\n1,a,2\n"}, {"p_new.csv", "WBS,Task,Level\n  1,a,2\n"}}},
      {"a column by its name, semicolons",
       {"--level-column", "Level", "p.csv"},
       {{"p.csv", "WBS;Task;Level;Owner\n1;a;3;x\n"}},
       0,
       "",
       "",
       {{"p.csv", "WBS;Task;Level;Owner\n1;a;3;x\n"}, {"p_new.csv", "WBS;Task;Level;Owner\n    1;a;3;x\n"}}},
      {"a column by its name, quoted and padded",
       {"-c", "Outline Level", "p.csv"},
       {{"p.csv", "\"ID\",\" Outline Level \"\n\"1\",3\n"}},
       0,
       "",
       "",
       {{"p.csv", "\"ID\",\" Outline Level \"\n\"1\",3\n"},
        {"p_new.csv", "\"ID\",\" Outline Level \"\n    \"1\",3\n"}}},
      {"a column by its name, UTF-16",
       {"-c", "Level", "p.csv"},
       {{"p.csv", Utf16Le("ID\tLevel\r\n1\t2\r\n")}},
       0,
       "",
       "",
       {{"p.csv", Utf16Le("ID\tLevel\r\n1\t2\r\n")}, {"p_new.csv", Utf16Le("ID\tLevel\r\n  1\t2\r\n")}}},
      {"no column of that name: that file fails, the others convert",
       {"-c", "Outline Level", "a.csv", "b.csv"},
       {{"a.csv", "ID,Task\n1,2\n"}, {"b.csv", "ID,Outline Level\n1,2\n"}},
       1,
       "",
       "Rungwell: a.csv: no column named \"Outline Level\" in the first line, whose names are \"ID\", \"Task\"\n",
       {{"a.csv", "ID,Task\n1,2\n"}, {"b.csv", "ID,Outline Level\n1,2\n"}, {"b_new.csv", "ID,Outline Level\n  1,2\n"}}},
      {"a separator over a first line that misleads",
       {"-d", ";", "p.csv"},
       {{"p.csv", commas}},
       0,
       "",
       "",
       {{"p.csv", commas}, {"p_new.csv", "Title, with, five, commas, in, it\n    1;a;b;c;d;3\n"}}},
      {"tab by name",
       {"-d", "tab", "-c", "1", "p.csv"},
       {{"p.csv", "x,y\t2\n"}},
       0,
       "",
       "",
       {{"p.csv", "x,y\t2\n"}, {"p_new.csv", "  x,y\t2\n"}}},
      {"tab as \\t",
       {"-d", "\\t", "-c", "1", "p.csv"},
       {{"p.csv", "x,y\t2\n"}},
       0,
       "",
       "",
       {{"p.csv", "x,y\t2\n"}, {"p_new.csv", "  x,y\t2\n"}}},
      {"a separator over a sep= line, which stays",
       {"-d", "|", "p.csv"},
       {{"p.csv", "sep=;\n1|a|b|c|d|2\n"}},
       0,
       "",
       "",
       {{"p.csv", "sep=;\n1|a|b|c|d|2\n"}, {"p_new.csv", "sep=;\n  1|a|b|c|d|2\n"}}},
      {"the output named",
       {"-o", "out.csv", "p.csv"},
       {{"p.csv", plan}},
       0,
       "",
       "",
       {{"p.csv", plan}, {"out.csv", "  " + plan}}},
      {"the output to standard output", {"-o", "-", "p.csv"}, {{"p.csv", plan}}, 0, "  " + plan, "", {{"p.csv", plan}}},
      {"standard input to standard output", {"-"}, {}, 0, "  " + plan, "", {}, plan},
      {"standard input through a pipe", {"-"}, {}, 0, "  " + plan, "", {}, plan, true},
      {"standard input to a file", {"-", "-o", "out.csv"}, {}, 0, "", "", {{"out.csv", "  " + plan}}, plan},
      {"the output is the input",
       {"-o", "p.csv", "p.csv"},
       {{"p.csv", plan}},
       1,
       "",
       "Rungwell: p.csv: is the input itself; the output must go to another file\n",
       {{"p.csv", plan}}},
      {"the output is the input by another name",
       {"--output=./p.csv", "p.csv"},
       {{"p.csv", plan}},
       1,
       "",
       "Rungwell: ./p.csv: is the input itself; the output must go to another file\n",
       {{"p.csv", plan}}},
      {"a column and no file: the usage text shows it",
       {"-c", "3"},
       {},
       0,
       "Rungwell.exe [file path]\nthe level column is 3 (0 begin)\n",
       "",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const auto& [name, bytes] : c.before) {
      WriteFile(dir.File(name), bytes);
    }
    RunOptions options;
    options.args = c.args;
    options.workingDirectory = dir.Path();
    options.stdinBytes = c.stdinBytes;
    options.stdinBytesThroughPipe = c.stdinThroughPipe;
    const RunResult run = RunProgram(options);
    EXPECT_EQ(run.exitStatus, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    Folder after;
    for (const std::string& name : dir.Entries()) {
      after[name] = ReadFile(dir.File(name));
    }
    EXPECT_EQ(after, c.after);
  }
}

// A mistake on the command line: status 2, one line naming it and where to
// look, nothing converted, and an earlier output left as it was.
TEST(Cli, CommandLineMistakesConvertNothing) {
  struct Case {
    Names args;
    std::string message;
  };
  const Case cases[] = {
      {{"p.csv", "-c"}, "option -c needs a value"},
      {{"--separator=", "p.csv"}, "option --separator has an empty value"},
      {{"-d", "ab", "p.csv"}, "option -d takes one character, or tab, not \"ab\""},
      {{"-d", "\"", "p.csv"}, "option -d cannot take a quotation mark or a line end"},
      {{"-c", "70000", "p.csv"}, "option -c takes a column from 0 to 65535, not 70000"},
      {{"-o", "x.csv", "p.csv", "p.csv"}, "option -o takes one file, and 2 were given"},
      {{"-o", "", "p.csv"}, "option -o has an empty value"},
      {{"--level_column", "7", "p.csv"}, "unknown option --level_column (did you mean --level-column?)"},
      {{"-C", "7", "p.csv"}, "unknown option -C (did you mean -c?)"},
      {{"--column", "7", "p.csv"}, "unknown option --column"},
      {{"--levelcolumn=7", "p.csv"}, "unknown option --levelcolumn (did you mean --level-column?)"},
      {{"-x", "p.csv"}, "unknown option -x"},
      {{"p.csv", "-x"}, "unknown option -x"},
      {{"-c", "-1", "p.csv"}, "option -c takes a column from 0 to 65535, not -1"},
      {{"--help=x", "p.csv"}, "option --help takes no value"},
      {{"-o", "./", "-", "p.csv"}, "option -o names a folder, and standard input has no name to give its output there"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    TempDir dir;
    WriteFile(dir.File("p.csv"), "1,a,b,c,d,3\n");
    WriteFile(dir.File("p_new.csv"), "  1,a,b,c,d,2\n");
    RunOptions options;
    options.args = c.args;
    options.workingDirectory = dir.Path();
    const RunResult run = RunProgram(options);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Rungwell: " + c.message + "; Rungwell --help lists the options\n");
    EXPECT_EQ(dir.Entries(), (Names{"p.csv", "p_new.csv"}));
    EXPECT_EQ(ReadFile(dir.File("p_new.csv")), "  1,a,b,c,d,2\n");
  }
}

// An output can go where the input's own folder would not take it, as from
// a read-only share.
TEST(Cli, OutputGoesToAnotherFolderWhereTheInputsTakesNoNewFile) {
  TempDir inputs;
  TempDir outputs;
  WriteFile(inputs.File("plan.csv"), "1,a,b,c,d,2\n");
  std::filesystem::permissions(inputs.Path(), std::filesystem::perms::owner_write | std::filesystem::perms::group_write,
                               std::filesystem::perm_options::remove);
  std::filesystem::permissions(outputs.Path(), std::filesystem::perms::all, std::filesystem::perm_options::add);
  RunOptions options;
  options.args = {"-o", outputs.File("plan.csv"), "plan.csv"};
  options.workingDirectory = inputs.Path();
  options.asOrdinaryUser = true;
  const RunResult run = RunProgram(options);
  std::filesystem::permissions(inputs.Path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(inputs.Entries(), Names{"plan.csv"});
  EXPECT_EQ(ReadFile(outputs.File("plan.csv")), "  1,a,b,c,d,2\n");
}

}  // namespace
}  // namespace rungwell
