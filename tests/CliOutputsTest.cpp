// The built program on outputs that are not plain files, and on links: a
// device, a FIFO or a descriptor is written into as it stands and stays what
// it was; a link is followed, and the file it names replaced the safe way.
// Every special file is made here, in a folder of the test's own: the
// machine's /dev/null and /dev/full are never touched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "io/BufferSizes.h"
#include "tests/CliSupport.h"
#include "tests/PlainRules.h"
#include "tests/ProgramRunner.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using namespace testing;

const std::string Earlier = "an earlier output\n";

// What a reader of a FIFO or a pipe received, kept where the folder under
// test does not see it.
struct Reader {
  pid_t pid = -1;
  std::string keptIn;

  // What came, once the reader has seen the end; waits for it, but not for
  // ever: a FIFO that the run replaced leaves its reader waiting for a
  // writer, and the test fails on what came, not by hanging.
  std::string Received() {
    for (int wait = 0; pid > 0 && wait < 3000; ++wait) {
      if (waitpid(pid, nullptr, WNOHANG) == pid) {
        pid = -1;
      } else {
        usleep(10000);
      }
    }
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      pid = -1;
      return "<the reader never saw the end>";
    }
    return ReadFile(keptIn);
  }
};

// As `cat out > got` reads: a process of its own that opens the FIFO at path
// (or takes descriptor fd), after a pause of pauseMicroseconds, and reads
// until the end, or until atMost bytes, then keeps what came in keptIn.
// Descriptors in closeInChild are the writers' ends, which it must not hold.
Reader StartReader(const std::string& path, int fd, const std::string& keptIn, std::size_t atMost = SIZE_MAX,
                   const std::vector<int>& closeInChild = {}, useconds_t pauseMicroseconds = 0) {
  Reader reader;
  reader.keptIn = keptIn;
  WriteFile(keptIn, "");
  reader.pid = fork();
  if (reader.pid == 0) {
    for (const int other : closeInChild) {
      close(other);
    }
    (void)usleep(pauseMicroseconds);
    const int from = fd >= 0 ? fd : open(path.c_str(), O_RDONLY);
    std::string got;
    char chunk[65536];
    for (ssize_t n = 1; from >= 0 && n > 0 && got.size() < atMost;) {
      n = read(from, chunk, std::min(sizeof chunk, atMost - got.size()));
      got.append(chunk, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    const int out = open(keptIn.c_str(), O_WRONLY | O_TRUNC);
    (void)!write(out, got.data(), got.size());
    _exit(from >= 0 && out >= 0 ? 0 : 1);
  }
  return reader;
}

// A plan of several output blocks, so that the writer thread takes part.
const std::string LargePlan = BigPlan(3 * OutputBufferSize + 1000);
// One whose output a pipe cannot hold, whatever the size of the blocks.
const std::string PipesFull = BigPlan(std::size_t{4} << 20);
// One that fits in a pipe, written only at the end.
const std::string SmallPlan = "ID,a,b,c,d,Level\n1,a,b,c,d,1\n2,a,b,c,d,2\n3,a,b,c,d,3\n";

// What one case leaves to check, beside the run's status and messages.
struct Prepared {
  Names args;                   // after the program's name
  std::vector<Reader> readers;  // of the output
  std::vector<int> closeAfter;  // the test's own ends of the output's pipes
};

struct OutputCase {
  const char* name;
  const std::string* plan;  // plan.csv
  // Makes the output in dir, and whatever reads it, and sets options.
  std::function<Prepared(const TempDir& dir, const TempDir& kept, RunOptions& options)> prepare;
  int exitStatus;
  std::string err;  // standard error exactly: empty, or the one message
  // What dir, run and the readers must show afterwards.
  std::function<void(const TempDir& dir, const RunResult& run, Prepared& prepared)> check;
  bool needsRoot = false;  // mknod
  int signal = 0;          // that ends the run, in place of an exit status
};

std::string Converted(const std::string& plan) {
  return plain::Convert(plan);
}

// Whether path is still a character device of the given numbers and mode.
::testing::AssertionResult IsDevice(const std::string& path, unsigned major, unsigned minor, mode_t mode) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) {
    return ::testing::AssertionFailure() << path << " is gone";
  }
  if (!S_ISCHR(info.st_mode) || major(info.st_rdev) != major || minor(info.st_rdev) != minor ||
      (info.st_mode & 07777) != mode || info.st_uid != 0) {
    return ::testing::AssertionFailure() << path << " has mode " << std::oct << info.st_mode << std::dec << ", device "
                                         << major(info.st_rdev) << "," << minor(info.st_rdev) << ", owner "
                                         << info.st_uid;
  }
  return ::testing::AssertionSuccess();
}

bool IsFifo(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// Whether path is a symbolic link that holds exactly target.
::testing::AssertionResult IsLinkTo(const std::string& path, const std::string& target) {
  if (!std::filesystem::is_symlink(path)) {
    return ::testing::AssertionFailure() << path << " is no link";
  }
  const std::string held = std::filesystem::read_symlink(path).string();
  if (held != target) {
    return ::testing::AssertionFailure() << path << " leads to " << held;
  }
  return ::testing::AssertionSuccess();
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

Prepared Args(Names args) {
  Prepared prepared;
  prepared.args = std::move(args);
  return prepared;
}

// A pipe whose writing end the program inherits and whose reading end a
// reader holds; returns the writing end.
int PipeToReader(const TempDir& kept, Prepared& prepared, std::size_t atMost = SIZE_MAX) {
  int ends[2];
  if (pipe(ends) != 0) {
    ADD_FAILURE() << "no pipe";
    return -1;
  }
  (void)fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  prepared.readers.push_back(StartReader("", ends[0], kept.File("received"), atMost, {ends[1]}));
  close(ends[0]);
  prepared.closeAfter.push_back(ends[1]);
  return ends[1];
}

void ExpectEntries(const TempDir& dir, const Names& names) {
  EXPECT_EQ(dir.Entries(), names);
}

const OutputCase OutputCases[] = {
    // Devices, made here: writing into them leaves them devices, of their
    // mode and owner; /dev/full's failure is reported as any other.
    {"CharacterDeviceNull", &LargePlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       EXPECT_EQ(mknod(dir.File("null").c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
       return Args({"-o", "null", "plan.csv"});
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsDevice(dir.File("null"), 1, 3, 0600));
       ExpectEntries(dir, {"null", "plan.csv"});
     },
     true},
    {"CharacterDeviceFull", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       EXPECT_EQ(mknod(dir.File("full").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
       EXPECT_EQ(chmod(dir.File("full").c_str(), 0666), 0);
       return Args({"-o", "full", "plan.csv"});
     },
     1, Message("full", ENOSPC),
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsDevice(dir.File("full"), 1, 7, 0666));
       ExpectEntries(dir, {"full", "plan.csv"});
     },
     true},
    {"CharacterDeviceFullWhileTheWriterRuns", &LargePlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       EXPECT_EQ(mknod(dir.File("full").c_str(), S_IFCHR | 0600, makedev(1, 7)), 0);
       return Args({"-o", "full", "plan.csv"});
     },
     1, Message("full", ENOSPC),
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsDevice(dir.File("full"), 1, 7, 0600));
       ExpectEntries(dir, {"full", "plan.csv"});
     },
     true},
    // A FIFO gets every byte, whenever its reader comes, and stays a FIFO.
    {"FifoWithAReader", &LargePlan,
     [](const TempDir& dir, const TempDir& kept, RunOptions&) {
       EXPECT_EQ(mkfifo(dir.File("out").c_str(), 0600), 0);
       Prepared prepared = Args({"-o", "out", "plan.csv"});
       prepared.readers.push_back(StartReader(dir.File("out"), -1, kept.File("received")));
       return prepared;
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared& prepared) {
       EXPECT_TRUE(SameBytes(prepared.readers[0].Received(), Converted(LargePlan)));
       EXPECT_TRUE(IsFifo(dir.File("out")));
       EXPECT_EQ(ModeOf(dir.File("out")), 0600U);
       ExpectEntries(dir, {"out", "plan.csv"});
     }},
    {"FifoWhoseReaderComesLate", &SmallPlan,
     [](const TempDir& dir, const TempDir& kept, RunOptions&) {
       EXPECT_EQ(mkfifo(dir.File("out").c_str(), 0600), 0);
       Prepared prepared = Args({"-o", "out", "plan.csv"});
       prepared.readers.push_back(StartReader(dir.File("out"), -1, kept.File("received"), SIZE_MAX, {}, 300000));
       return prepared;
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared& prepared) {
       EXPECT_EQ(prepared.readers[0].Received(), Converted(SmallPlan));
       EXPECT_TRUE(IsFifo(dir.File("out")));
     }},
    // Nothing to write, so nothing but the end: the reader is not left waiting.
    {"FifoGetsAnEmptyOutput", nullptr,
     [](const TempDir& dir, const TempDir& kept, RunOptions&) {
       WriteFile(dir.File("plan.csv"), "");
       EXPECT_EQ(mkfifo(dir.File("out").c_str(), 0600), 0);
       Prepared prepared = Args({"-o", "out", "plan.csv"});
       prepared.readers.push_back(StartReader(dir.File("out"), -1, kept.File("received")));
       return prepared;
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared& prepared) {
       EXPECT_EQ(prepared.readers[0].Received(), "");
       EXPECT_TRUE(IsFifo(dir.File("out")));
     }},
    // The input is read before a FIFO is opened: a run that fails there
    // does not wait for a reader that never comes, nor does one whose
    // failure comes while the writer thread waits for one.
    {"FifoWithNoReaderAndAnInputThatFails", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions& options) {
       EXPECT_EQ(mkfifo(dir.File("out").c_str(), 0600), 0);
       options.failReadAt = 0;
       options.failReadName = "/plan.csv";
       return Args({"-o", "out", "plan.csv"});
     },
     1, Message("plan.csv", EIO),
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsFifo(dir.File("out")));
       ExpectEntries(dir, {"out", "plan.csv"});
     }},
    {"FifoWithNoReaderAndAnInputThatFailsLater", &LargePlan,
     [](const TempDir& dir, const TempDir&, RunOptions& options) {
       EXPECT_EQ(mkfifo(dir.File("out").c_str(), 0600), 0);
       options.failReadAt = 2 * OutputBufferSize;
       options.failReadName = "/plan.csv";
       return Args({"-o", "out", "plan.csv"});
     },
     1, Message("plan.csv", EIO),
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsFifo(dir.File("out")));
       ExpectEntries(dir, {"out", "plan.csv"});
     }},
    // A reader that goes away ends the run at once and quietly, as it ends
    // cat, and as it ends -o - under "| head".
    {"FifoWhoseReaderGoesAway", &PipesFull,
     [](const TempDir& dir, const TempDir& kept, RunOptions&) {
       EXPECT_EQ(mkfifo(dir.File("out").c_str(), 0600), 0);
       Prepared prepared = Args({"-o", "out", "plan.csv"});
       prepared.readers.push_back(StartReader(dir.File("out"), -1, kept.File("received"), 10));
       return prepared;
     },
     -1, "",
     [](const TempDir& dir, const RunResult&, Prepared& prepared) {
       EXPECT_EQ(prepared.readers[0].Received(), Converted(PipesFull).substr(0, 10));
       EXPECT_TRUE(IsFifo(dir.File("out")));
     },
     false, SIGPIPE},
    // A socket is opened as cp opens it, which the system refuses; it stays.
    {"Socket", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       EXPECT_TRUE(MakeSocket(dir.File("sock")));
       return Args({"-o", "sock", "plan.csv"});
     },
     1, Message("sock", ENXIO),
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(std::filesystem::is_socket(dir.File("sock")));
     }},
    // Descriptors, as the shell names them: written into as standard output is.
    {"DevStdout", &LargePlan,
     [](const TempDir&, const TempDir&, RunOptions&) {
       return Args({"-o", "/dev/stdout", "plan.csv"});
     },
     0, "",
     [](const TempDir& dir, const RunResult& run, Prepared&) {
       EXPECT_TRUE(SameBytes(run.out, Converted(LargePlan)));
       ExpectEntries(dir, {"plan.csv"});
     }},
    {"DevStderr", &SmallPlan,
     [](const TempDir&, const TempDir&, RunOptions&) {
       return Args({"-o", "/dev/stderr", "plan.csv"});
     },
     0, Converted(SmallPlan),
     [](const TempDir& dir, const RunResult& run, Prepared&) {
       EXPECT_EQ(run.out, "");
       ExpectEntries(dir, {"plan.csv"});
     }},
    {"DevFdOfAPipe", &LargePlan,
     [](const TempDir&, const TempDir& kept, RunOptions&) {
       Prepared prepared;
       const int fd = PipeToReader(kept, prepared);
       prepared.args = {"-o", "/dev/fd/" + std::to_string(fd), "plan.csv"};
       return prepared;
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared& prepared) {
       EXPECT_TRUE(SameBytes(prepared.readers[0].Received(), Converted(LargePlan)));
       ExpectEntries(dir, {"plan.csv"});
     }},
    {"ProcSelfFdOfAPipe", &SmallPlan,
     [](const TempDir&, const TempDir& kept, RunOptions&) {
       Prepared prepared;
       const int fd = PipeToReader(kept, prepared);
       prepared.args = {"-o", "/proc/self/fd/" + std::to_string(fd), "plan.csv"};
       return prepared;
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared& prepared) {
       EXPECT_EQ(prepared.readers[0].Received(), Converted(SmallPlan));
       ExpectEntries(dir, {"plan.csv"});
     }},
    {"DevFdNotOpen", &SmallPlan,
     [](const TempDir&, const TempDir&, RunOptions&) {
       return Args({"-o", "/dev/fd/97", "plan.csv"});
     },
     1, Message("/dev/fd/97", EBADF),
     [](const TempDir& dir, const RunResult&, Prepared&) { ExpectEntries(dir, {"plan.csv"}); }},
    // The input itself by any name is still refused before anything is read.
    {"DevStdoutThatIsTheInput", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions& options) {
       options.stdoutAppendPath = dir.File("plan.csv");
       return Args({"-o", "/dev/stdout", "plan.csv"});
     },
     1, "Rungwell: /dev/stdout: is the input itself; the output must go to another file\n",
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_EQ(ReadFile(dir.File("plan.csv")), SmallPlan);
       ExpectEntries(dir, {"plan.csv"});
     }},
    {"DevFdThatIsTheInput", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       Prepared prepared;
       const int fd = open(dir.File("plan.csv").c_str(), O_WRONLY | O_APPEND);
       prepared.closeAfter.push_back(fd);
       prepared.args = {"-o", "/dev/fd/" + std::to_string(fd), "plan.csv"};
       return prepared;
     },
     1, "",  // the message names the descriptor, checked below
     [](const TempDir& dir, const RunResult& run, Prepared& prepared) {
       EXPECT_EQ(run.err, "Rungwell: /dev/fd/" + std::to_string(prepared.closeAfter[0]) +
                              ": is the input itself; the output must go to another file\n");
       EXPECT_EQ(ReadFile(dir.File("plan.csv")), SmallPlan);
     }},
    {"LinkToTheInput", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       std::filesystem::create_symlink("plan.csv", dir.File("link.csv"));
       return Args({"-o", "link.csv", "plan.csv"});
     },
     1, "Rungwell: link.csv: is the input itself; the output must go to another file\n",
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_EQ(ReadFile(dir.File("plan.csv")), SmallPlan);
       EXPECT_TRUE(IsLinkTo(dir.File("link.csv"), "plan.csv"));
     }},
    // A link is followed: the file it names is replaced in its own folder,
    // keeps its own permissions, and the link stays a link.
    {"LinkToAFileInAnotherFolder", &LargePlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       std::filesystem::create_directory(dir.File("sub"));
       WriteFile(dir.File("sub/target.csv"), Earlier);
       EXPECT_EQ(chmod(dir.File("sub/target.csv").c_str(), 0640), 0);
       std::filesystem::create_symlink("sub/target.csv", dir.File("link.csv"));
       return Args({"-o", "link.csv", "plan.csv"});
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsLinkTo(dir.File("link.csv"), "sub/target.csv"));
       EXPECT_TRUE(SameBytes(ReadFile(dir.File("sub/target.csv")), Converted(LargePlan)));
       EXPECT_EQ(ModeOf(dir.File("sub/target.csv")), 0640U);
       ExpectEntries(dir, {"link.csv", "plan.csv", "sub"});
       EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("sub")), {}), 1);
     }},
    {"DefaultOutputThatIsALink", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       std::filesystem::create_directory(dir.File("sub"));
       WriteFile(dir.File("sub/plan_new.csv"), Earlier);
       std::filesystem::create_symlink(dir.File("sub/plan_new.csv"), dir.File("plan_new.csv"));
       return Args({"plan.csv"});
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsLinkTo(dir.File("plan_new.csv"), dir.File("sub/plan_new.csv")));
       EXPECT_EQ(ReadFile(dir.File("sub/plan_new.csv")), Converted(SmallPlan));
       ExpectEntries(dir, {"plan.csv", "plan_new.csv", "sub"});
     }},
    // Each step of a chain from the folder of the link before it.
    {"ChainOfLinks", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       std::filesystem::create_directories(dir.File("a/b"));
       WriteFile(dir.File("a/b/target.csv"), Earlier);
       std::filesystem::create_symlink("b/target.csv", dir.File("a/second.csv"));
       std::filesystem::create_symlink("a/second.csv", dir.File("first.csv"));
       return Args({"-o", "first.csv", "plan.csv"});
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsLinkTo(dir.File("first.csv"), "a/second.csv"));
       EXPECT_TRUE(IsLinkTo(dir.File("a/second.csv"), "b/target.csv"));
       EXPECT_EQ(ReadFile(dir.File("a/b/target.csv")), Converted(SmallPlan));
     }},
    // A link to nothing makes the file it names, with the input's permissions.
    {"LinkToNothing", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       std::filesystem::create_directory(dir.File("sub"));
       EXPECT_EQ(chmod(dir.File("plan.csv").c_str(), 0600), 0);
       std::filesystem::create_symlink("sub/made.csv", dir.File("link.csv"));
       return Args({"-o", "link.csv", "plan.csv"});
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsLinkTo(dir.File("link.csv"), "sub/made.csv"));
       EXPECT_EQ(ReadFile(dir.File("sub/made.csv")), Converted(SmallPlan));
       EXPECT_EQ(ModeOf(dir.File("sub/made.csv")), 0600U);
     }},
    // The folder of the file that would be replaced decides, not the link's.
    {"LinkWhoseTargetsFolderTakesNoNewFile", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions& options) {
       std::filesystem::create_directory(dir.File("sub"));
       WriteFile(dir.File("sub/target.csv"), Earlier);
       // Writable in place by anyone, so that only a write in place could change it.
       EXPECT_EQ(chmod(dir.File("sub/target.csv").c_str(), 0666), 0);
       EXPECT_EQ(chmod(dir.File("sub").c_str(), 0555), 0);
       std::filesystem::create_symlink("sub/target.csv", dir.File("link.csv"));
       // The test's folder lets anyone in; the link's folder takes new files.
       EXPECT_EQ(chmod(dir.Path().c_str(), 0777), 0);
       options.asOrdinaryUser = true;
       return Args({"-o", "link.csv", "plan.csv"});
     },
     1, Message("link.csv", EACCES),
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsLinkTo(dir.File("link.csv"), "sub/target.csv"));
       EXPECT_EQ(ReadFile(dir.File("sub/target.csv")), Earlier);
       ExpectEntries(dir, {"link.csv", "plan.csv", "sub"});
       EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("sub")), {}), 1);
       EXPECT_EQ(chmod(dir.File("sub").c_str(), 0755), 0);
     }},
    // A link to a folder is a folder: the output goes into it.
    {"LinkToAFolder", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       std::filesystem::create_directory(dir.File("sub"));
       std::filesystem::create_symlink("sub", dir.File("link.csv"));
       return Args({"-o", "link.csv", "plan.csv"});
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared&) {
       EXPECT_TRUE(IsLinkTo(dir.File("link.csv"), "sub"));
       EXPECT_EQ(ReadFile(dir.File("sub/plan_new.csv")), Converted(SmallPlan));
     }},
    {"LinksInALoop", &SmallPlan,
     [](const TempDir& dir, const TempDir&, RunOptions&) {
       std::filesystem::create_symlink("two.csv", dir.File("one.csv"));
       std::filesystem::create_symlink("one.csv", dir.File("two.csv"));
       return Args({"-o", "one.csv", "plan.csv"});
     },
     1, Message("one.csv", ELOOP),
     [](const TempDir& dir, const RunResult&, Prepared&) {
       ExpectEntries(dir, {"one.csv", "plan.csv", "two.csv"});
     }},
    // A link to a FIFO is that FIFO.
    {"LinkToAFifo", &SmallPlan,
     [](const TempDir& dir, const TempDir& kept, RunOptions&) {
       EXPECT_EQ(mkfifo(dir.File("out").c_str(), 0600), 0);
       std::filesystem::create_symlink("out", dir.File("link.csv"));
       Prepared prepared = Args({"-o", "link.csv", "plan.csv"});
       prepared.readers.push_back(StartReader(dir.File("out"), -1, kept.File("received")));
       return prepared;
     },
     0, "",
     [](const TempDir& dir, const RunResult&, Prepared& prepared) {
       EXPECT_EQ(prepared.readers[0].Received(), Converted(SmallPlan));
       EXPECT_TRUE(IsFifo(dir.File("out")));
       EXPECT_TRUE(IsLinkTo(dir.File("link.csv"), "out"));
     }},
};

void PrintTo(const OutputCase& c, std::ostream* os) {
  *os << c.name;
}

class CliOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(CliOutput, IsWrittenAsItsKindAsks) {
  const OutputCase& c = GetParam();
  if (c.needsRoot && geteuid() != 0) {
    GTEST_SKIP() << "mknod needs root";
  }
  TempDir dir;
  TempDir kept;
  if (c.plan != nullptr) {
    WriteFile(dir.File("plan.csv"), *c.plan);
  }
  RunOptions options;
  options.workingDirectory = dir.Path();
  Prepared prepared = c.prepare(dir, kept, options);
  options.args = prepared.args;
  const RunResult run = RunProgram(options);
  for (const int fd : prepared.closeAfter) {
    close(fd);
  }
  EXPECT_FALSE(run.timedOut);
  if (c.signal != 0) {
    EXPECT_EQ(run.signal, c.signal) << "exit status " << run.exitStatus;
  } else {
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
  }
  if (c.exitStatus != 1 || !c.err.empty()) {
    EXPECT_TRUE(SameBytes(run.err, c.err));
  }
  if (c.name != "DevStdout"s) {
    EXPECT_EQ(run.out, "");
  }
  c.check(dir, run, prepared);
  for (Reader& reader : prepared.readers) {
    if (reader.pid > 0) {
      kill(reader.pid, SIGKILL);
      waitpid(reader.pid, nullptr, 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CliOutput, ::testing::ValuesIn(OutputCases),
                         [](const ::testing::TestParamInfo<OutputCase>& param) { return param.param.name; });

}  // namespace
}  // namespace rungwell
