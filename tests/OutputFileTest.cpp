#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "io/OutputFile.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Names = std::vector<std::string>;

TEST(OutputFile, NothingAppearsBeforeCommit) {
  TempDir dir;
  OutputFile output(dir.File("out.csv"));
  ASSERT_TRUE(output.Create());
  ASSERT_TRUE(output.Write("a,b\n"));
  const Names during = dir.Entries();
#if defined(RUNGWELL_NAMED_TEMPORARY_FILES) || defined(_WIN32)
  ASSERT_EQ(during.size(), 1U);
  EXPECT_EQ(during[0].rfind(".Rungwell-", 0), 0U) << during[0];
#else
  EXPECT_EQ(during, Names{});
#endif
  ASSERT_TRUE(output.Commit());
  EXPECT_EQ(dir.Entries(), Names{"out.csv"});
  EXPECT_EQ(ReadFile(dir.File("out.csv")), "a,b\n");
}

TEST(OutputFile, CommitReplacesAnEarlierFile) {
  TempDir dir;
  WriteFile(dir.File("out.csv"), "old contents that are longer\n");
  OutputFile output(dir.File("out.csv"));
  ASSERT_TRUE(output.Create());
  ASSERT_TRUE(output.Write("new\n"));
  ASSERT_TRUE(output.Commit());
  EXPECT_EQ(ReadFile(dir.File("out.csv")), "new\n");
  EXPECT_EQ(dir.Entries(), Names{"out.csv"});
}

// A file that appears at the path while the output is being written is
// replaced like any earlier one, and no temporary name stays behind.
TEST(OutputFile, FileAppearingMeanwhileIsReplacedAtCommit) {
  TempDir dir;
  OutputFile output(dir.File("out.csv"));
  ASSERT_TRUE(output.Create());
  ASSERT_TRUE(output.Write(std::string(2 * OutputBufferSize, 'n')));
  WriteFile(dir.File("out.csv"), "written by someone else meanwhile\n");
  ASSERT_TRUE(output.Commit()) << output.Error().message();
  EXPECT_TRUE(testing::SameBytes(ReadFile(dir.File("out.csv")), std::string(2 * OutputBufferSize, 'n')));
  EXPECT_EQ(dir.Entries(), Names{"out.csv"});
}

TEST(OutputFile, AbandonedOutputLeavesTheEarlierFileAndNoTrace) {
  TempDir dir;
  WriteFile(dir.File("out.csv"), "old\n");
  {
    OutputFile output(dir.File("out.csv"));
    ASSERT_TRUE(output.Create());
    ASSERT_TRUE(output.Write(std::string(3 * OutputBufferSize, 'x')));
  }
  EXPECT_EQ(dir.Entries(), Names{"out.csv"});
  EXPECT_EQ(ReadFile(dir.File("out.csv")), "old\n");
}

TEST(OutputFile, CreateInAMissingDirectoryFails) {
  TempDir dir;
  OutputFile output(dir.File("missing/out.csv"));
  EXPECT_FALSE(output.Create());
  EXPECT_EQ(output.Error(), std::error_code(ENOENT, std::generic_category()));
  EXPECT_FALSE(output.Write("x"));
  EXPECT_FALSE(output.Commit());
  EXPECT_TRUE(dir.Entries().empty());
}

// Create refuses a directory already there; one that appears later is
// still found by the rename.
TEST(OutputFile, DirectoryAppearingMeanwhileFailsAtCommitAndCleansUp) {
  TempDir dir;
  OutputFile output(dir.File("out.csv"));
  ASSERT_TRUE(output.Create());
  std::filesystem::create_directory(dir.File("out.csv"));
  ASSERT_TRUE(output.Write("data\n"));
  EXPECT_FALSE(output.Commit());
  EXPECT_TRUE(output.Error());
  EXPECT_EQ(dir.Entries(), Names{"out.csv"});
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("out.csv")));
}

#if defined(RUNGWELL_NAMED_TEMPORARY_FILES) || defined(_WIN32)
// Takes, as anything else could, the count hidden names that this process
// tries next after name, the one it took last (.Rungwell-<process><number>.tmp).
Names TakeNamesAfter(const TempDir& dir, const std::string& name, unsigned long count) {
  const unsigned long number = std::stoul(name.substr(16, 6), nullptr, 16);
  Names taken;
  for (unsigned long next = number + 1; next <= number + count; ++next) {
    char candidate[32];
    std::snprintf(candidate, sizeof candidate, "%s%06lx.tmp", name.substr(0, 16).c_str(), next & 0xFFFFFFUL);
    WriteFile(dir.File(candidate), "someone else's\n");
    taken.push_back(candidate);
  }
  return taken;
}

// Names taken by anything else are passed over, not reused or given up on.
TEST(OutputFile, TemporaryNameTakenElsewhereIsPassedOver) {
  TempDir dir;
  OutputFile first(dir.File("first.csv"));
  ASSERT_TRUE(first.Create());
  const Names taken = TakeNamesAfter(dir, dir.Entries().at(0), 5);
  OutputFile second(dir.File("second.csv"));
  ASSERT_TRUE(second.Create()) << second.Error().message();
  ASSERT_TRUE(second.Write("second\n") && second.Commit());
  ASSERT_TRUE(first.Write("first\n") && first.Commit());
  EXPECT_EQ(ReadFile(dir.File("second.csv")), "second\n");
  EXPECT_EQ(ReadFile(dir.File("first.csv")), "first\n");
  for (const std::string& other : taken) {
    EXPECT_EQ(ReadFile(dir.File(other)), "someone else's\n");
  }
  EXPECT_EQ(dir.Entries().size(), taken.size() + 2);
}

// A hundred names taken in a row are no chance: the hundredth try is the
// last, and a file that gets no name fails, leaving nothing of its own.
TEST(OutputFile, GivesUpAfterAHundredTakenNames) {
  TempDir dir;
  OutputFile first(dir.File("first.csv"));
  ASSERT_TRUE(first.Create());
  const std::string firstName = dir.Entries().at(0);
  Names taken = TakeNamesAfter(dir, firstName, 99);
  OutputFile second(dir.File("second.csv"));
  ASSERT_TRUE(second.Create()) << second.Error().message();
  std::string secondName;
  for (const std::string& name : dir.Entries()) {
    if (name != firstName && std::find(taken.begin(), taken.end(), name) == taken.end()) {
      secondName = name;
    }
  }
  const Names others = TakeNamesAfter(dir, secondName, 100);
  taken.insert(taken.end(), others.begin(), others.end());
  OutputFile third(dir.File("third.csv"));
  EXPECT_FALSE(third.Create());
  EXPECT_EQ(third.Error(), std::make_error_code(std::errc::file_exists));
  ASSERT_TRUE(first.Commit() && second.Commit());
  Names expected = taken;
  expected.insert(expected.end(), {"first.csv", "second.csv"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.Entries(), expected);
}
#endif

}  // namespace
}  // namespace rungwell
