// Every way the built program can fail on a file: the report, the status,
// and a folder left exactly as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "csv/Dialect.h"
#include "io/BufferSizes.h"
#include "tests/CliSupport.h"
#include "tests/ProgramRunner.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using namespace testing;

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
    // Outputs that are no plain files, and links, are checked as early.
    {"OutputIsALinkToAFolder",
     [](const TempDir& dir) {
       std::filesystem::create_directory(dir.File("folder"));
       std::filesystem::create_symlink("folder", dir.File("plan_new.csv"));
       return "plan.csv"s;
     },
     "plan_new.csv", EISDIR, std::nullopt, false, true},
    {"OutputIsALinkInALoop",
     [](const TempDir& dir) {
       std::filesystem::create_symlink("loop.csv", dir.File("plan_new.csv"));
       std::filesystem::create_symlink("plan_new.csv", dir.File("loop.csv"));
       return "plan.csv"s;
     },
     "plan_new.csv", ELOOP, std::nullopt, false, true},
    {"OutputIsAFifoThatCannotBeWritten",
     [](const TempDir& dir) {
       EXPECT_EQ(mkfifo(dir.File("plan_new.csv").c_str(), 0444), 0);
       return "plan.csv"s;
     },
     "plan_new.csv", EACCES, std::nullopt, true, true},
    // No file call opens a socket, as cp finds; it stays a socket.
    {"OutputIsASocket",
     [](const TempDir& dir) {
       EXPECT_TRUE(MakeSocket(dir.File("plan_new.csv")));
       return "plan.csv"s;
     },
     "plan_new.csv", ENXIO, std::nullopt, false, true},
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
    } else if (std::filesystem::is_socket(path)) {
      entries[name] = "<socket>";
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
