// The built program's files of a run: where their outputs go, and which of
// them a run leaves alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/CliSupport.h"
#include "tests/ProgramRunner.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace testing;

// What a folder holds, every level of it: each file's bytes by its path
// relative to the folder, and each folder as its path and '/', holding "".
using Folder = std::map<std::string, std::string>;

void Fill(const TempDir& dir, const Folder& contents) {
  for (const auto& [name, bytes] : contents) {
    const std::filesystem::path path = dir.File(name);
    std::filesystem::create_directories(name.back() == '/' ? path : path.parent_path());
    if (name.back() != '/') {
      WriteFile(path.string(), bytes);
    }
  }
}

Folder Contents(const TempDir& dir) {
  Folder contents;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path())) {
    const std::string name = entry.path().lexically_relative(dir.Path()).string();
    contents[entry.is_directory() ? name + "/" : name] = entry.is_directory() ? "" : ReadFile(entry.path().string());
  }
  return contents;
}

// A run in a folder of its own, made as before gives it, and what it must
// leave there.
struct Case {
  const char* name;
  Names args;
  Folder before;
  int status;
  std::string err;
  Folder after;
};

void ExpectRun(const Case& c) {
  SCOPED_TRACE(c.name);
  TempDir dir;
  Fill(dir, c.before);
  RunOptions options;
  options.args = c.args;
  options.workingDirectory = dir.Path();
  const RunResult run = RunProgram(options);
  EXPECT_EQ(run.exitStatus, c.status);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, c.err);
  EXPECT_EQ(Contents(dir), c.after);
}

// With -o naming a folder, every file's output goes into it under its usual
// name. Paths are relative to the folder the program runs in, as messages
// name them.
TEST(Cli, OutputFolderTakesEveryFilesOutput) {
  const std::string a = "1,a,b,c,d,2\n";
  const std::string b = "1,a,b,c,d,3\n";
  const Case cases[] = {
      {"a folder that exists",
       {"-o", "out", "a.csv", "sub/b.csv"},
       {{"a.csv", a}, {"sub/b.csv", b}, {"out/", ""}},
       0,
       "",
       {{"a.csv", a},
        {"sub/", ""},
        {"sub/b.csv", b},
        {"out/", ""},
        {"out/a_new.csv", "  " + a},
        {"out/b_new.csv", "    " + b}}},
      {"a folder written with its separator, over an earlier output",
       {"--output=out/", "a.csv", "b.csv"},
       {{"a.csv", a}, {"b.csv", b}, {"out/a_new.csv", "earlier\n"}},
       0,
       "",
       {{"a.csv", a}, {"b.csv", b}, {"out/", ""}, {"out/a_new.csv", "  " + a}, {"out/b_new.csv", "    " + b}}},
      {"one file",
       {"-o", "out/", "a.csv"},
       {{"a.csv", a}, {"out/", ""}},
       0,
       "",
       {{"a.csv", a}, {"out/", ""}, {"out/a_new.csv", "  " + a}}},
      {"a folder that does not exist: each file fails",
       {"-o", "missing/", "a.csv", "b.csv"},
       {{"a.csv", a}, {"b.csv", b}},
       1,
       Message("missing/a_new.csv", ENOENT) + Message("missing/b_new.csv", ENOENT),
       {{"a.csv", a}, {"b.csv", b}}},
      {"two files of one name: the first keeps the output",
       {"-o", "out/", "x/a.csv", "y/a.csv"},
       {{"x/a.csv", a}, {"y/a.csv", b}, {"out/", ""}},
       1,
       "Rungwell: y/a.csv: its output out/a_new.csv is also that of x/a.csv in this run, so it was not converted\n",
       {{"x/", ""}, {"x/a.csv", a}, {"y/", ""}, {"y/a.csv", b}, {"out/", ""}, {"out/a_new.csv", "  " + a}}},
  };
  for (const Case& c : cases) {
    ExpectRun(c);
  }
}

// A file that another file of the run is written to is skipped, with a
// note, wherever it comes in the list and whether or not it is there yet,
// and so is the output of a file skipped. A file that is not there is
// written to by none.
TEST(Cli, RunLeavesItsOwnOutputsAlone) {
  const std::string plan = "1,a,b,c,d,2\n";
  const std::string converted = "  " + plan;
  const std::string twice = "    " + plan;
  const std::string skipped = ": skipped: it is the output of plan.csv in this run\n";
  const Case cases[] = {
      {"a second run over both",
       {"plan.csv", "plan_new.csv"},
       {{"plan.csv", plan}, {"plan_new.csv", converted}},
       0,
       "Rungwell: plan_new.csv" + skipped,
       {{"plan.csv", plan}, {"plan_new.csv", converted}}},
      {"the output named first",
       {"plan_new.csv", "plan.csv"},
       {{"plan.csv", plan}, {"plan_new.csv", "earlier\n"}},
       0,
       "Rungwell: plan_new.csv" + skipped,
       {{"plan.csv", plan}, {"plan_new.csv", converted}}},
      {"the output by another name, not there yet",
       {"plan.csv", "./plan_new.csv"},
       {{"plan.csv", plan}},
       0,
       "Rungwell: ./plan_new.csv" + skipped,
       {{"plan.csv", plan}, {"plan_new.csv", converted}}},
      {"the output in a folder",
       {"-o", "out", "plan.csv", "out/plan_new.csv"},
       {{"plan.csv", plan}, {"out/plan_new.csv", "earlier\n"}},
       0,
       "Rungwell: out/plan_new.csv" + skipped,
       {{"plan.csv", plan}, {"out/", ""}, {"out/plan_new.csv", converted}}},
      {"an older run's output of an output",
       {"plan.csv", "plan_new.csv", "plan_new_new.csv"},
       {{"plan.csv", plan}, {"plan_new.csv", converted}, {"plan_new_new.csv", twice}},
       0,
       "Rungwell: plan_new.csv" + skipped +
           "Rungwell: plan_new_new.csv: skipped: it is the output of plan_new.csv in this run\n",
       {{"plan.csv", plan}, {"plan_new.csv", converted}, {"plan_new_new.csv", twice}}},
      {"an output named alone",
       {"plan_new.csv"},
       {{"plan_new.csv", converted}},
       0,
       "",
       {{"plan_new.csv", converted}, {"plan_new_new.csv", twice}}},
      {"the same file twice",
       {"plan.csv", "plan.csv"},
       {{"plan.csv", plan}},
       0,
       "",
       {{"plan.csv", plan}, {"plan_new.csv", converted}}},
      {"the output of a file that is not there",
       {"plan.csv", "plan_new.csv"},
       {{"plan_new.csv", converted}},
       1,
       Message("plan.csv", ENOENT),
       {{"plan_new.csv", converted}, {"plan_new_new.csv", twice}}},
  };
  for (const Case& c : cases) {
    ExpectRun(c);
  }
}

}  // namespace
}  // namespace rungwell
