// The built program, run as a user runs it, on real files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "csv/DialectDetector.h"
#include "io/BufferSizes.h"
#include "tests/PlainRules.h"
#include "tests/ProgramRunner.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using testing::ReadFile;
using testing::RunOptions;
using testing::RunProgram;
using testing::RunResult;
using testing::TempDir;
using testing::WriteFile;
using Names = std::vector<std::string>;

const std::string Usage = "Rungwell.exe [file path]\nthe level column is 5 (0 begin)\n";

std::string Message(const std::string& path, int error) {
  return "Rungwell: " + path + ": " + std::strerror(error) + "\n";
}

// Nobody reads a usage text that goes to a file or a pipe (Rungwell >
// usage.txt), whatever standard input is, so nothing waits.
// A plan of realistic lines, levels 0 to 5, of at least size bytes.
std::string BigPlan(std::size_t size = 1000000) {
  std::string plan;
  for (int i = 0; plan.size() < size; ++i) {
    plan += std::to_string(i) + ",\"Task, part\",owner,2026-01-01,2026-02-01," + std::to_string(i % 6) + ",notes\n";
  }
  return plan;
}

TEST(Cli, WithoutPathPrintsUsageAndReturnsWhenOutputIsNoTerminal) {
  for (const auto& [openPipe, terminalInput] : {std::pair{false, false}, {true, false}, {false, true}}) {
    TempDir dir;
    RunOptions options;
    options.workingDirectory = dir.Path();
    options.stdinOpenPipe = openPipe;
    if (terminalInput) {
      options.terminalInput = "";
    }
    const RunResult run = RunProgram(options);
    EXPECT_FALSE(run.timedOut) << "open pipe " << openPipe << ", terminal " << terminalInput;
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, Usage);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(dir.Entries().empty());
  }
}

TEST(Cli, WithoutPathWaitsForEnterOnATerminal) {
  RunOptions options;
  options.terminalOutput = true;  // input at its end: nothing to wait for
  EXPECT_FALSE(RunProgram(options).timedOut);
  options.terminalInput = "";
  options.patience = std::chrono::milliseconds(500);
  EXPECT_TRUE(RunProgram(options).timedOut);

  options.terminalInput = "\n";
  options.patience = std::chrono::milliseconds(30000);
  const RunResult run = RunProgram(options);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out, Usage + "Press Enter to continue . . . ");
}

TEST(Cli, ConvertsTheBundledExample) {
  TempDir dir;
  const std::string input = ReadFile(RUNGWELL_SOURCE_DIR "/examples/plan.csv");
  WriteFile(dir.File("plan.csv"), input);
  const RunResult run = RunProgram({dir.File("plan.csv")});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out, "");
  // Its line 12 shows a quoted level, as PowerShell exports have them.
  EXPECT_EQ(run.err, "Rungwell: " + dir.File("plan.csv") +
                         ": 1 line has its level in quotation marks, which counts as 0, and was copied unchanged "
                         "(the first is line 12)\n");
  EXPECT_EQ(dir.Entries(), (Names{"plan.csv", "plan_new.csv"}));
  EXPECT_EQ(ReadFile(dir.File("plan_new.csv")), ReadFile(RUNGWELL_SOURCE_DIR "/tests/data/plan_new.csv"));
  EXPECT_EQ(ReadFile(dir.File("plan.csv")), input);
}

TEST(Cli, RelativePathFromTheWorkingDirectory) {
  TempDir dir;
  WriteFile(dir.File("report.final.csv"), "a,b,c,d,e,3\n");
  RunOptions options;
  options.args = {"report.final.csv"};
  options.workingDirectory = dir.Path();
  const RunResult run = RunProgram(options);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(dir.Entries(), (Names{"report.final.csv", "report.final_new.csv"}));
  EXPECT_EQ(ReadFile(dir.File("report.final_new.csv")), "    a,b,c,d,e,3\n");
}

// Each file is converted on its own, in the order given: a failure is
// reported for its file, the others still convert, and the run ends with 1.
TEST(Cli, SeveralFilesConvertEachOnItsOwn) {
  TempDir dir;
  WriteFile(dir.File("b.csv"), "1,a,b,c,d,2\n");
  WriteFile(dir.File("c.csv"), "1,a,b,c,d,3\n");
  RunOptions options;
  options.args = {"a.csv", "b.csv", "a.csv", "c.csv"};
  options.workingDirectory = dir.Path();
  const RunResult run = RunProgram(options);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, Message("a.csv", ENOENT) + Message("a.csv", ENOENT));
  EXPECT_EQ(dir.Entries(), (Names{"b.csv", "b_new.csv", "c.csv", "c_new.csv"}));
  EXPECT_EQ(ReadFile(dir.File("b_new.csv")), "  1,a,b,c,d,2\n");
  EXPECT_EQ(ReadFile(dir.File("c_new.csv")), "    1,a,b,c,d,3\n");
}

// Options count only before "--"; every other argument is a file. Help and
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
      {{"-x"}, "", Message("-x", ENOENT), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    TempDir dir;
    WriteFile(dir.File("plan.csv"), "1,a,b,c,d,2\n");
    WriteFile(dir.File("--help"), "1,a,b,c,d,2\n");
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
    EXPECT_EQ(dir.Entries().size(), c.converted.empty() ? 2U : 3U);
    if (!c.converted.empty()) {
      EXPECT_EQ(ReadFile(dir.File(c.converted)), "  1,a,b,c,d,2\n");
    }
  }
}

// Text in UTF-16LE with its mark; the text must be ASCII.
std::string Utf16Le(std::string_view ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii) {
    bytes += {c, '\0'};
  }
  return bytes;
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
       "Rungwell: a.csv: no column named \"Outline Level\" in the first line\n",
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
// look, and nothing converted.
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    TempDir dir;
    WriteFile(dir.File("p.csv"), "1,a,b,c,d,2\n");
    RunOptions options;
    options.args = c.args;
    options.workingDirectory = dir.Path();
    const RunResult run = RunProgram(options);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Rungwell: " + c.message + "; Rungwell --help lists the options\n");
    EXPECT_EQ(dir.Entries(), Names{"p.csv"});
  }
}

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
      {"dates in the sixth field", "ID,Task,Level,x,y,Start\n1,a,1,x,y,2027-01-04\n2,b,2,x,y,2027-02-01\n",
       "ID,Task,Level,x,y,Start\n1,a,1,x,y,2027-01-04\n2,b,2,x,y,2027-02-01\n",
       "nothing indented: every number in the field after the 5th separator (fields separated by commas) is above "
       "1000, "
       "so it holds no levels (2 lines, the first is line 2); --level-column picks the column that holds the levels"},
      {"text in the sixth field", "WBS,Task,Level,x,y,Notes\n1,a,2,x,y,call\n",
       "WBS,Task,Level,x,y,Notes\n1,a,2,x,y,call\n",
       "nothing indented: the field after the 5th separator (fields separated by commas) holds no number on any line; "
       "--level-column picks the column that holds the levels"},
      {"some levels quoted", "1,a,b,c,d,2\n2,a,b,c,d,\"3\"\n3,a,b,c,d,\"4\"\n",
       "  1,a,b,c,d,2\n2,a,b,c,d,\"3\"\n3,a,b,c,d,\"4\"\n",
       "2 lines have their level in quotation marks, which counts as 0, and were copied unchanged (the first is line "
       "2)"},
      {"every level quoted", "\"1\",\"a\",\"b\",\"c\",\"d\",\"3\"\r\n", "\"1\",\"a\",\"b\",\"c\",\"d\",\"3\"\r\n",
       "nothing indented: every level is in quotation marks, and a quoted level counts as 0"},
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

// A reader that goes away, as "| head" does once it has read enough, ends
// the run at once and quietly, by SIGPIPE as it ends cat.
TEST(Cli, OutputToAReaderThatGoesAwayEndsQuietly) {
  TempDir dir;
  WriteFile(dir.File("plan.csv"), BigPlan(4 * OutputBufferSize));
  int out[2];
  int err[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(err), 0);
  const std::string program = testing::ProgramPath();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) {
      _exit(127);
    }
    for (const int fd : {out[0], out[1], err[0], err[1]}) {
      close(fd);
    }
    execl(program.c_str(), program.c_str(), "-o", "-", dir.File("plan.csv").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  char first[10];
  std::size_t got = 0;
  for (ssize_t n = 1; n > 0 && got<sizeof first; got += n> 0 ? static_cast<std::size_t>(n) : 0) {
    n = read(out[0], first + got, sizeof first - got);
  }
  close(out[0]);
  std::string messages;
  char chunk[256];
  for (ssize_t n = 1; n > 0;) {
    n = read(err[0], chunk, sizeof chunk);
    messages.append(chunk, n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  close(err[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(std::string(first, got), "0,\"Task, p");
  EXPECT_EQ(messages, "");
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << "status " << status;
}

// Standard output that is the input itself, as ">> plan.csv" makes it, is
// refused as -o naming the input is: the run would read its own output.
TEST(Cli, StandardOutputThatIsTheInputIsRefused) {
  const std::string plan = "1,a,b,c,d,2\n";
  for (const bool fromStandardInput : {false, true}) {
    SCOPED_TRACE(fromStandardInput ? "- < plan.csv >> plan.csv" : "-o - plan.csv >> plan.csv");
    TempDir dir;
    WriteFile(dir.File("plan.csv"), plan);
    RunOptions options;
    options.args = fromStandardInput ? Names{"-"} : Names{"-o", "-", dir.File("plan.csv")};
    options.stdinPath = fromStandardInput ? dir.File("plan.csv") : "";
    options.stdoutAppendPath = dir.File("plan.csv");
    const RunResult run = RunProgram(options);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "Rungwell: standard output: is the input itself; the output must go to another file\n");
    EXPECT_EQ(ReadFile(dir.File("plan.csv")), plan);
  }
}

TEST(Cli, ReplacesAnEarlierOutput) {
  TempDir dir;
  WriteFile(dir.File("plan.csv"), "1,a,b,c,d,2\n");
  WriteFile(dir.File("plan_new.csv"), "an earlier, longer output\n");
  const RunResult run = RunProgram({dir.File("plan.csv")});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(ReadFile(dir.File("plan_new.csv")), "  1,a,b,c,d,2\n");
  EXPECT_EQ(dir.Entries(), (Names{"plan.csv", "plan_new.csv"}));
}

TEST(Cli, EmptyInputGivesEmptyOutput) {
  TempDir dir;
  WriteFile(dir.File("plan.csv"), "");
  EXPECT_EQ(RunProgram({dir.File("plan.csv")}).exitStatus, 0);
  EXPECT_EQ(ReadFile(dir.File("plan_new.csv")), "");
}

// Whether the program runs under AddressSanitizer or a wrapper such as
// valgrind, which take memory of their own beyond any limit a test sets.
bool MemoryIsWatched() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#endif
#endif
  return std::getenv("RUNGWELL_TEST_WRAPPER") != nullptr;
}

// A pipe is read as it comes, with no going back: lines whose level comes
// late wait in memory, long ones too. A writer that goes away ends the input
// like the end of a file: nothing in the pipe tells a crash from a finish, so
// what arrived is converted. A read that fails, or memory that runs out for
// the waiting bytes, is a failure like any other.
TEST(Cli, PipesConvertAsFilesDo) {
  const std::string lateLevel = std::string(3 * ReadBlockSize / 2, 'x') + ",a,b,c,d,4\n";
  const std::string earlyLevel = "1,a,b,c,d,3," + std::string(3 * ReadBlockSize / 2, 'y') + "\n";
  const std::string mixed = BigPlan(5 * ReadBlockSize / 2) + lateLevel + "2,a,b,c,d,2\n" + earlyLevel + "3,a";
  struct Case {
    const char* name;
    std::string fed;
    std::optional<unsigned long long> failReadAt;
    std::optional<unsigned long long> addressSpaceLimit = std::nullopt;
  };
  const Case cases[] = {
      {"writer gone mid-line", "1,a,b,c,d,2\n2,a,b,c,d,3", std::nullopt},
      {"over two blocks, short lines and long", mixed, std::nullopt},
      {"a read that fails after two blocks", mixed, 2 * ReadBlockSize + 100},
      {"a first line over two blocks, its level late", std::string(5 * ReadBlockSize / 2, 'x') + ",a,b,c,d,3\n" + mixed,
       std::nullopt},
      {"a line with no level, longer than memory allows",
       [] {
         std::string fed = "1,a,b,c,d,2\n";
         fed.resize(fed.size() + 150'000'000, 'x');
         return fed + "\n2,a,b,c,d,3\n";
       }(),
       std::nullopt, 100'000'000},
      {"UTF-16LE, an odd byte at the end",
       [&mixed] {
         std::string wide = "\xFF\xFE";
         for (const char c : mixed) {
           wide += {c, '\0'};
         }
         return wide + "z";
       }(),
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.addressSpaceLimit && MemoryIsWatched()) {
      continue;
    }
    TempDir dir;
    const std::string fifo = dir.File("feed.csv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      const int fd = open(fifo.c_str(), O_WRONLY);
      std::size_t written = 0;
      while (fd >= 0 && written < c.fed.size()) {
        const ssize_t n = write(fd, c.fed.data() + written, c.fed.size() - written);
        if (n <= 0) {
          _exit(1);
        }
        written += static_cast<std::size_t>(n);
      }
      _exit(0);
    }
    RunOptions options;
    options.args = {fifo};
    options.failReadAt = c.failReadAt;
    options.failReadName = "/feed.csv";
    options.addressSpaceLimit = c.addressSpaceLimit;
    const RunResult run = RunProgram(options);
    kill(writer, SIGKILL);  // should the program have stopped reading
    waitpid(writer, nullptr, 0);
    EXPECT_FALSE(run.timedOut);
    if (c.failReadAt || c.addressSpaceLimit) {
      EXPECT_EQ(run.exitStatus, 1) << "signal " << run.signal;
      EXPECT_EQ(run.err, Message(fifo, c.failReadAt ? EIO : ENOMEM));
      EXPECT_EQ(dir.Entries(), Names{"feed.csv"});
    } else {
      EXPECT_EQ(run.exitStatus, 0) << run.err;
      EXPECT_TRUE(testing::SameBytes(ReadFile(dir.File("feed_new.csv")), plain::Convert(c.fed)));
    }
  }
}

#ifdef RUNGWELL_NAMED_TEMPORARY_FILES
// A named temporary file can be removed only by the program itself, so only
// signals that let it run its handler are promised to leave nothing.
constexpr int HardestEnd = SIGTERM;
#else
// The unfinished output has no name, so even an end the program never sees
// leaves nothing for anyone to clean up.
constexpr int HardestEnd = SIGKILL;
#endif

// The size of the file open at descriptor fd of process pid, or -1.
long long SizeOfOpenFile(pid_t pid, int fd) {
  struct stat info {};
  const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
  return stat(link.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? static_cast<long long>(info.st_size) : -1;
}

// The output's descriptor in pid: the one open file that is no pipe or
// terminal. Waits for it to appear, and to hold at least minimumSize bytes.
bool WaitForOutput(pid_t pid, long long minimumSize) {
  for (int wait = 0; wait < 3000; ++wait) {
    for (int fd = 3; fd < 16; ++fd) {
      if (SizeOfOpenFile(pid, fd) >= minimumSize) {
        return true;
      }
    }
    usleep(10000);
  }
  return false;
}

// However the run ends while its output is under way, the folder holds
// exactly what it held before: the earlier output intact, no stray file.
TEST(Cli, EndedMidRunLeavesTheFolderAsItWas) {
  const std::string line = "1,\"Task, part\",owner,2026-01-01,2026-02-01,3,notes\n";
  std::string lines;
  while (lines.size() < 3 * OutputBufferSize + 4096) {
    lines += line;
  }
  const std::size_t indentedSize = lines.size() / line.size() * (line.size() + 4);
  const auto indented = static_cast<long long>(indentedSize);
  struct Case {
    const char* moment;
    std::string fed;         // written into the pipe before the end
    long long writtenFirst;  // output bytes to wait for
    int signalNumber;
  };
  const Case cases[] = {
      {"before the first write", "", 0, HardestEnd},
      {"mid-run", lines.substr(0, lines.size() / 2), 1, HardestEnd},
      // What a pipe still holds back for a full read buffer, and the block
      // that is written only at the end, are all that is missing.
      {"with all but the last blocks written", lines,
       indented - static_cast<long long>(OutputBufferSize + ReadBlockSize), HardestEnd},
      {"Ctrl-C mid-run", lines.substr(0, lines.size() / 2), 1, SIGINT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moment);
    TempDir dir;
    const std::string fifo = dir.File("feed.csv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WriteFile(dir.File("feed_new.csv"), "an earlier output\n");
    const std::string program = testing::ProgramPath();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // As from a terminal: a test run started in the background of a script
      // ignores Ctrl-C, and the program would keep it so.
      (void)signal(SIGINT, SIG_DFL);
      execl(program.c_str(), program.c_str(), fifo.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // The pipe stays open, so the program waits for more with its output
    // under way and what was fed converted.
    const int feed = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(feed, 0);
    ASSERT_EQ(write(feed, c.fed.data(), c.fed.size()), static_cast<ssize_t>(c.fed.size()));
    EXPECT_TRUE(WaitForOutput(child, c.writtenFirst));
    kill(child, c.signalNumber);
    int status = 0;
    waitpid(child, &status, 0);
    close(feed);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signalNumber) << "status " << status;
    EXPECT_EQ(dir.Entries(), (Names{"feed.csv", "feed_new.csv"}));
    EXPECT_EQ(ReadFile(dir.File("feed_new.csv")), "an earlier output\n");
  }
}

// A new output is no more open than its input; a replaced one keeps the
// earlier output's bits, whatever the input's. A read-only one is replaced
// too, as mv replaces it: the folder's permissions decide.
TEST(Cli, OutputPermissionsFollowTheInputOrTheEarlierOutput) {
  struct Case {
    mode_t input;
    std::optional<mode_t> earlier;
    mode_t expected;  // under umask 022
  };
  const Case cases[] = {
      {0600, std::nullopt, 0600}, {0644, std::nullopt, 0644}, {0666, std::nullopt, 0644}, {0644, 0640, 0640},
      {0666, 0600, 0600},         {0600, 0664, 0664},         {0644, 0444, 0444},
  };
  const mode_t saved = umask(022);
  for (const Case& c : cases) {
    TempDir dir;
    WriteFile(dir.File("plan.csv"), "1,a,b,c,d,2\n");
    ASSERT_EQ(chmod(dir.File("plan.csv").c_str(), c.input), 0);
    if (c.earlier) {
      WriteFile(dir.File("plan_new.csv"), "earlier\n");
      ASSERT_EQ(chmod(dir.File("plan_new.csv").c_str(), *c.earlier), 0);
    }
    ASSERT_EQ(RunProgram({dir.File("plan.csv")}).exitStatus, 0);
    struct stat info {};
    ASSERT_EQ(stat(dir.File("plan_new.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, c.expected) << std::oct << "input " << c.input;
  }
  // The private bits of a pipe the shell made are no plan's.
  TempDir dir;
  RunOptions options;
  options.args = {"-", "-o", dir.File("plan_new.csv")};
  options.stdinBytes = "1,a,b,c,d,2\n";
  options.stdinBytesThroughPipe = true;
  ASSERT_EQ(RunProgram(options).exitStatus, 0);
  struct stat info {};
  ASSERT_EQ(stat(dir.File("plan_new.csv").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644U) << std::oct << "from a pipe";
  umask(saved);
}

// The size of output a full disk may allow, exactly and one byte short.
TEST(Cli, OutputFillingTheDiskExactlyStillSucceeds) {
  TempDir dir;
  WriteFile(dir.File("plan.csv"), "1,a,b,c,d,3\n2,a,b,c,d,1\n");
  const std::string expected = "    1,a,b,c,d,3\n2,a,b,c,d,1\n";
  RunOptions options;
  options.args = {dir.File("plan.csv")};
  options.fileSizeLimit = expected.size();
  EXPECT_EQ(RunProgram(options).exitStatus, 0);
  EXPECT_EQ(ReadFile(dir.File("plan_new.csv")), expected);
}

// Every failure: status 1, one message naming the path, nothing on standard
// output, and the directory exactly as it was: no temporary file left, an
// earlier output untouched, the input unchanged.
struct FailureCase {
  const char* name;
  // Fills the directory; returns the argument to pass.
  std::string (*prepare)(const TempDir& dir);
  std::string messagePath;  // as the program names it
  int error;                // 0 where the reason depends on the system
  std::optional<unsigned long long> fileSizeLimit = std::nullopt;
  // Permission bits do not stop root, so these cases run the program as
  // nobody when the tests run as root.
  bool asOrdinaryUser = false;
  // The input, plan.csv, is a FIFO that the test holds open and never
  // writes to: any read would wait for ever, so failing at all proves that
  // the run failed before reading.
  bool inputNeverArrives = false;
  // Reads of plan.csv fail from this byte on.
  std::optional<unsigned long long> failReadAt = std::nullopt;
  // Closing the finished output fails, as a network share may refuse its data then.
  bool failOutputClose = false;
};

const std::string Earlier = "an earlier output\n";

std::string PlanWithEarlierOutput(const TempDir& dir, const std::string& contents) {
  WriteFile(dir.File("plan.csv"), contents);
  WriteFile(dir.File("plan_new.csv"), Earlier);
  return "plan.csv";
}

const FailureCase FailureCases[] = {
    {"MissingInput",
     [](const TempDir& dir) {
       WriteFile(dir.File("missing_new.csv"), Earlier);
       return "missing.csv"s;
     },
     "missing.csv", ENOENT},
    {"EmptyArgument", [](const TempDir&) { return ""s; }, "", ENOENT},
    {"InputIsADirectory",
     [](const TempDir& dir) {
       std::filesystem::create_directory(dir.File("folder.csv"));
       return "folder.csv"s;
     },
     "folder.csv", EISDIR},
    {"OutputIsADirectory",
     [](const TempDir& dir) {
       std::filesystem::create_directory(dir.File("plan_new.csv"));
       return "plan.csv"s;
     },
     "plan_new.csv", EISDIR, std::nullopt, false, true},
    {"OutputNameTooLong",
     [](const TempDir& dir) {
       std::string name = std::string(251, 'p') + ".csv";
       WriteFile(dir.File(name), "1,a,b,c,d,2\n");
       return name;
     },
     std::string(251, 'p') + "_new.csv", ENAMETOOLONG},
    {"DiskFullAtTheLastWrite", [](const TempDir& dir) { return PlanWithEarlierOutput(dir, "1,a,b,c,d,2\n"); },
     "plan_new.csv", EFBIG, 0},
    {"DiskFullOneByteShort",
     [](const TempDir& dir) { return PlanWithEarlierOutput(dir, "1,a,b,c,d,3\n2,a,b,c,d,1\n"); }, "plan_new.csv", EFBIG,
     27},
    {"DiskFullInTheMiddle", [](const TempDir& dir) { return PlanWithEarlierOutput(dir, BigPlan()); }, "plan_new.csv",
     EFBIG, 300000},
    {"DiskFullInsideTheFirstLine",
     [](const TempDir& dir) { return PlanWithEarlierOutput(dir, "1,a,b,c,d,2," + std::string(1 << 21, 'x') + "\n"); },
     "plan_new.csv", EFBIG, 1000},
    // The first buffer's worth fits exactly; the next write finds the disk full.
    {"DiskFullAtABufferEdge", [](const TempDir& dir) { return PlanWithEarlierOutput(dir, BigPlan()); }, "plan_new.csv",
     EFBIG, OutputBufferSize},
    // Blocks go on being read ahead and written out while the disk fills.
    {"DiskFullWhileTheWriterRuns",
     [](const TempDir& dir) { return PlanWithEarlierOutput(dir, BigPlan(6 * OutputBufferSize)); }, "plan_new.csv",
     EFBIG, 5 * OutputBufferSize / 2},
    {"ReadFailsAfterTheFirstBlock",
     [](const TempDir& dir) { return PlanWithEarlierOutput(dir, BigPlan(4 * ReadBlockSize + 4096)); }, "plan.csv", EIO,
     std::nullopt, false, false, ReadBlockSize + 100},
    // Past the start that the dialect is read from, so that the reader thread
    // meets the failure, in the tiny-buffer build too.
    {"ReadFailsAfterTheDialectIsKnown",
     [](const TempDir& dir) { return PlanWithEarlierOutput(dir, BigPlan(LineEndWindow + 4 * ReadBlockSize + 4096)); },
     "plan.csv", EIO, std::nullopt, false, false, LineEndWindow + 2 * ReadBlockSize + 100},
    {"ReadFailsInsideALongLine",
     [](const TempDir& dir) {
       return PlanWithEarlierOutput(dir, "1,a,b,c,d,2," + std::string(3 * ReadBlockSize, 'x') + "\n2,a,b,c,d,3\n");
     },
     "plan.csv", EIO, std::nullopt, false, false, 2 * ReadBlockSize},
    {"ReadFailsInALongLineBeforeItsLevel",
     [](const TempDir& dir) {
       return PlanWithEarlierOutput(dir, std::string(3 * ReadBlockSize, 'x') + ",a,b,c,d,3\n");
     },
     "plan.csv", EIO, std::nullopt, false, false, 2 * ReadBlockSize},
    {"ClosingTheOutputFails", [](const TempDir& dir) { return PlanWithEarlierOutput(dir, "1,a,b,c,d,2\n"); },
     "plan_new.csv", EIO, std::nullopt, false, false, std::nullopt, true},
    {"UnreadableInput",
     [](const TempDir& dir) {
       std::string name = PlanWithEarlierOutput(dir, "1,a,b,c,d,2\n");
       std::filesystem::permissions(dir.File(name), std::filesystem::perms::none);
       return name;
     },
     "plan.csv", EACCES, std::nullopt, true},
    {"UnwritableDirectory",
     [](const TempDir& dir) {
       WriteFile(dir.File("plan_new.csv"), Earlier);
       std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all,
                                    std::filesystem::perm_options::remove);
       std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec,
                                    std::filesystem::perm_options::add);
       return "plan.csv"s;
     },
     "plan_new.csv", EACCES, std::nullopt, true, true},
#ifdef __linux__
    // Reading this link's target, the program's own memory, fails with EIO
    // although opening it succeeds.
    {"ReadErrorMidway",
     [](const TempDir& dir) {
       std::filesystem::create_symlink("/proc/self/mem", dir.File("plan.csv"));
       WriteFile(dir.File("plan_new.csv"), Earlier);
       return "plan.csv"s;
     },
     "plan.csv", EIO},
    // Nothing can be created in /proc, not even by root.
    {"OutputCannotBeCreated", [](const TempDir&) { return "/proc/self/status"s; }, "/proc/self/status_new", 0},
#endif
};

// Every entry of the directory with what it holds.
std::map<std::string, std::string> Snapshot(const TempDir& dir) {
  std::map<std::string, std::string> entries;
  for (const std::string& name : dir.Entries()) {
    const std::filesystem::path path = dir.File(name);
    if (std::filesystem::is_symlink(path)) {
      entries[name] = "<link>";
    } else if (std::filesystem::is_fifo(path)) {
      entries[name] = "<fifo>";
    } else if (std::filesystem::is_directory(path)) {
      entries[name] = "<directory>";
    } else if (std::ifstream(path)) {
      entries[name] = ReadFile(path.string());
    } else {
      // Not readable by the tests themselves: its size and time must do.
      entries[name] = "<unreadable> " + std::to_string(std::filesystem::file_size(path)) + " " +
                      std::to_string(std::filesystem::last_write_time(path).time_since_epoch().count());
    }
  }
  return entries;
}

// Whether a folder holds what it held: the same names, each with the same
// bytes, told by name, size and first difference rather than whole.
::testing::AssertionResult SameFolder(const std::map<std::string, std::string>& now,
                                      const std::map<std::string, std::string>& before) {
  std::string names;
  for (const auto& entries : {now, before}) {
    names += "[";
    for (const auto& entry : entries) {
      names += " " + entry.first;
    }
    names += " ]";
  }
  if (now.size() != before.size() || !std::equal(now.begin(), now.end(), before.begin(),
                                                 [](const auto& a, const auto& b) { return a.first == b.first; })) {
    return ::testing::AssertionFailure() << "the folder holds " << names.substr(0, names.find(']') + 1)
                                         << " where it held " << names.substr(names.find(']') + 2);
  }
  for (const auto& [name, bytes] : now) {
    if (const ::testing::AssertionResult same = testing::SameBytes(bytes, before.at(name)); !same) {
      return ::testing::AssertionFailure() << name << ": " << same.message();
    }
  }
  return ::testing::AssertionSuccess();
}

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class CliFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CliFailure, ReportsAndLeavesEverythingAsItWas) {
  const FailureCase& c = GetParam();
  TempDir dir;
  int idleWriter = -1;
  if (c.inputNeverArrives) {
    ASSERT_EQ(mkfifo(dir.File("plan.csv").c_str(), 0644), 0);
    // Read and write: the open does not wait for a reader, and the program's
    // own open finds a writer and does not wait either.
    idleWriter = open(dir.File("plan.csv").c_str(), O_RDWR);
    ASSERT_GE(idleWriter, 0);
  }
  RunOptions options;
  options.args = {c.prepare(dir)};
  options.workingDirectory = dir.Path();
  options.fileSizeLimit = c.fileSizeLimit;
  options.asOrdinaryUser = c.asOrdinaryUser;
  options.failReadAt = c.failReadAt;
  options.failReadName = "/plan.csv";
  options.failOutputClose = c.failOutputClose;
  const auto before = Snapshot(dir);

  const RunResult run = RunProgram(options);
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
  if (idleWriter >= 0) {
    close(idleWriter);
  }
  EXPECT_FALSE(run.timedOut);

  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  if (c.error != 0) {
    EXPECT_EQ(run.err, Message(c.messagePath, c.error));
  } else {
    EXPECT_EQ(run.err.rfind("Rungwell: " + c.messagePath + ": ", 0), 0U) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_TRUE(SameFolder(Snapshot(dir), before));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliFailure, ::testing::ValuesIn(FailureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& param) { return param.param.name; });

}  // namespace
}  // namespace rungwell
