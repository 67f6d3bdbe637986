// The built program on standard input and output, and on pipes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "io/BufferSizes.h"
#include "tests/CliSupport.h"
#include "tests/PlainRules.h"
#include "tests/ProgramRunner.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using namespace testing;

// A reader that goes away, as "| head" does once it has read enough, ends
// the run at once and quietly, by SIGPIPE as it ends cat, whether or not
// whoever started the program ignores that signal (Windows has none), and
// the files after it are not converted.
TEST(Cli, OutputToAReaderThatGoesAwayEndsQuietly) {
  for (const bool ignored : {false, true}) {
    SCOPED_TRACE(ignored ? "SIGPIPE ignored" : "SIGPIPE as it comes");
    TempDir dir;
    WriteFile(dir.File("plan.csv"), BigPlan(4 * OutputBufferSize));
    WriteFile(dir.File("next.csv"), "1,a,b,c,d,2\n");
    int out[2];
    int err[2];
    ASSERT_EQ(pipe(out), 0);
    ASSERT_EQ(pipe(err), 0);
    const std::string program = testing::ProgramPath();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const int in = open(dir.File("plan.csv").c_str(), O_RDONLY);
      if (in < 0 || dup2(in, 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) {
        _exit(127);
      }
      for (const int fd : {in, out[0], out[1], err[0], err[1]}) {
        close(fd);
      }
      // Ignored, it stays ignored in the program, as a shell's trap '' PIPE leaves it.
      (void)signal(SIGPIPE, ignored ? SIG_IGN : SIG_DFL);
      execl(program.c_str(), program.c_str(), "-", dir.File("next.csv").c_str(), static_cast<char*>(nullptr));
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
    EXPECT_EQ(dir.Entries(), (Names{"next.csv", "plan.csv"}));
  }
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

}  // namespace
}  // namespace rungwell
