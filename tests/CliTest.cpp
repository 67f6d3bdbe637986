// The built program, run as a user runs it, on real files: what every run
// does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "io/BufferSizes.h"
#include "tests/CliSupport.h"
#include "tests/ProgramRunner.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using namespace testing;

// Nobody reads a usage text that goes to a file or a pipe (Rungwell >
// usage.txt), whatever standard input is, so nothing waits.
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
                         "(the first is line 12); --quoted-levels reads them\n");
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

#ifdef RUNGWELL_NAMED_TEMPORARY_FILES
// A named temporary file can be removed only by the program itself, so only
// signals that let it run its handler are promised to leave nothing.
constexpr int HardestEnd = SIGTERM;
#else
// The unfinished output has no name, so even an end the program never sees
// leaves nothing for anyone to clean up.
constexpr int HardestEnd = SIGKILL;
#endif

// The size of the file open at descriptor fd of process pid, or -1; -1 too
// for the file input, which the process reads.
long long SizeOfOpenFile(pid_t pid, int fd, const std::string& input = {}) {
  struct stat info {};
  struct stat read {};
  const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
  const bool isInput = !input.empty() && stat(input.c_str(), &read) == 0 && stat(link.c_str(), &info) == 0 &&
                       info.st_ino == read.st_ino && info.st_dev == read.st_dev;
  return !isInput && stat(link.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? static_cast<long long>(info.st_size)
                                                                             : -1;
}

// The output's descriptor in pid: the one open file that is no pipe or
// terminal, nor input. Waits for it to appear, and to hold at least
// minimumSize bytes.
bool WaitForOutput(pid_t pid, long long minimumSize, const std::string& input = {}) {
  for (int wait = 0; wait < 3000; ++wait) {
    for (int fd = 3; fd < 16; ++fd) {
      if (SizeOfOpenFile(pid, fd, input) >= minimumSize) {
        return true;
      }
    }
    usleep(10000);
  }
  return false;
}

// However the run ends while its output is under way, the folder holds
// exactly what it held before: the earlier output intact, no stray file.
// So does the folder of a file that a link at the output's path names.
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
  for (const bool throughLink : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.moment + (throughLink ? " through a link"s : ""s));
      TempDir dir;
      const std::string fifo = dir.File("feed.csv");
      ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
      const std::string earlier = throughLink ? dir.File("sub/feed_new.csv") : dir.File("feed_new.csv");
      if (throughLink) {
        ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
        ASSERT_EQ(symlink("sub/feed_new.csv", dir.File("feed_new.csv").c_str()), 0);
      }
      WriteFile(earlier, "an earlier output\n");
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
      if (throughLink) {
        EXPECT_EQ(dir.Entries(), (Names{"feed.csv", "feed_new.csv", "sub"}));
        EXPECT_TRUE(std::filesystem::is_symlink(dir.File("feed_new.csv")));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("sub")), {}), 1);
      } else {
        EXPECT_EQ(dir.Entries(), (Names{"feed.csv", "feed_new.csv"}));
      }
      EXPECT_EQ(ReadFile(earlier), "an earlier output\n");
    }
  }
}

// A regular file is converted in chunks by several threads, each writing
// where its chunk's output goes: ended at any moment, the run leaves the
// folder as it was too.
TEST(Cli, EndedMidRunOfARegularFileLeavesTheFolderAsItWas) {
  TempDir dir;
  WriteFile(dir.File("plan.csv"), BigPlan(std::size_t{16} << 20));
  for (const long long writtenFirst : {0LL, 1LL, 4LL << 20}) {
    SCOPED_TRACE("after " + std::to_string(writtenFirst) + " bytes");
    WriteFile(dir.File("plan_new.csv"), "an earlier output\n");
    const std::string program = testing::ProgramPath();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Read as from a slow disk: the run takes a second and more, whatever the machine.
      if (setenv("LD_PRELOAD", RUNGWELL_READ_FAILURE_SHIM, 1) != 0 ||
          setenv("RUNGWELL_FAIL_READ_NAME", "/plan.csv", 1) != 0 ||
          setenv("RUNGWELL_READ_NANOSECONDS_PER_BYTE", "100", 1) != 0 ||
          setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1) != 0) {
        _exit(126);
      }
      execl(program.c_str(), program.c_str(), dir.File("plan.csv").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    EXPECT_TRUE(WaitForOutput(child, writtenFirst, dir.File("plan.csv")));
    kill(child, HardestEnd);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == HardestEnd) << "status " << status;
    EXPECT_EQ(dir.Entries(), (Names{"plan.csv", "plan_new.csv"}));
    EXPECT_EQ(ReadFile(dir.File("plan_new.csv")), "an earlier output\n");
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
}  // namespace
}  // namespace rungwell
