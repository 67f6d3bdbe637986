#include <gtest/gtest.h>

#include <cerrno>
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
  ASSERT_EQ(during.size(), 1U);
  EXPECT_NE(during[0], "out.csv");
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

TEST(OutputFile, DirectoryInTheWayFailsAtCommitAndCleansUp) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("out.csv"));
  OutputFile output(dir.File("out.csv"));
  ASSERT_TRUE(output.Create());
  ASSERT_TRUE(output.Write("data\n"));
  EXPECT_FALSE(output.Commit());
  EXPECT_TRUE(output.Error());
  EXPECT_EQ(dir.Entries(), Names{"out.csv"});
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("out.csv")));
}

TEST(OutputFile, TemporaryNamesDoNotCollide) {
  TempDir dir;
  std::vector<std::unique_ptr<OutputFile>> outputs;
  for (int i = 0; i < 50; ++i) {
    outputs.push_back(std::make_unique<OutputFile>(dir.File("out" + std::to_string(i))));
    ASSERT_TRUE(outputs.back()->Create()) << outputs.back()->Error().message();
  }
  EXPECT_EQ(dir.Entries().size(), 50U);
}

}  // namespace
}  // namespace rungwell
