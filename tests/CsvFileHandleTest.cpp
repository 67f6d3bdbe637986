#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "io/CsvFileHandle.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using testing::TempDir;
using testing::WriteFile;

// Every block of the file, each checked to start where the one before ended.
std::vector<std::string> BlocksOfFile(const std::string& contents) {
  TempDir dir;
  WriteFile(dir.File("in.csv"), contents);
  CsvFileHandle handle;
  EXPECT_TRUE(handle.Open(dir.File("in.csv"))) << handle.Error().message();
  std::vector<std::string> blocks;
  std::uint64_t next = 0;
  for (std::string_view bytes; handle.ReadBlock(bytes);) {
    EXPECT_EQ(handle.Offset(), next);
    next += bytes.size();
    blocks.emplace_back(bytes);
  }
  EXPECT_FALSE(handle.Error()) << handle.Error().message();
  std::string_view bytes = "stale";
  EXPECT_FALSE(handle.ReadBlock(bytes)) << "again after the end";
  EXPECT_TRUE(bytes.empty());
  return blocks;
}

std::string Joined(const std::vector<std::string>& blocks) {
  std::string joined;
  for (const std::string& block : blocks) {
    joined += block;
  }
  return joined;
}

TEST(CsvFileHandleOpen, FailsWithTheReasonAndStaysClosed) {
  TempDir dir;
  struct Case {
    std::string path;
    int error;
  };
  for (const Case& c : {Case{"", ENOENT}, Case{dir.File("missing.csv"), ENOENT}, Case{dir.Path(), EISDIR},
                        Case{dir.File("missing/plan.csv"), ENOENT}}) {
    CsvFileHandle handle;
    EXPECT_FALSE(handle.Open(c.path)) << c.path;
    EXPECT_EQ(handle.Error(), std::error_code(c.error, std::generic_category())) << c.path;
    std::string_view bytes;
    EXPECT_FALSE(handle.ReadBlock(bytes)) << c.path;
    EXPECT_FALSE(handle.PermissionBits()) << c.path;
  }
}

TEST(CsvFileHandleOpen, ReopenLeavesTheEarlierFileWhetherOrNotItSucceeds) {
  TempDir dir;
  WriteFile(dir.File("a.csv"), "a1\na2\n");
  WriteFile(dir.File("b.csv"), "b1\n");
  CsvFileHandle handle;
  std::string_view bytes;
  ASSERT_TRUE(handle.Open(dir.File("a.csv")));
  ASSERT_TRUE(handle.ReadBlock(bytes));
  EXPECT_EQ(bytes, "a1\na2\n");
  ASSERT_TRUE(handle.Open(dir.File("b.csv")));
  ASSERT_TRUE(handle.ReadBlock(bytes));
  EXPECT_EQ(bytes, "b1\n");
  EXPECT_EQ(handle.Offset(), 0U);
  ASSERT_TRUE(handle.Open(dir.File("a.csv")));
  EXPECT_FALSE(handle.Open(dir.File("missing.csv")));
  EXPECT_FALSE(handle.ReadBlock(bytes));
}

TEST(CsvFileHandleReadBlock, KeepsEveryByte) {
  struct Case {
    const char* name;
    std::string contents;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"lone newline", "\n"},
      {"CRLF and a lone CR", "a,b\r\nc\rd\r\n"},
      {"NUL inside and first in a line", "a\0b\n\0y\nz"s},
      {"only NUL", "\0"s},
      {"Ctrl-Z", "a\x1a\nb\n"},
      {"high bytes", "\xff\xfe\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Joined(BlocksOfFile(c.contents)), c.contents) << c.name;
  }
}

// Files that end just before, at and just past the edge of a block, and
// files of several blocks, which the read-ahead thread reads: every block but
// the last is whole, and none is empty.
TEST(CsvFileHandleReadBlock, GivesWholeBlocksInOrderUpToTheEnd) {
  const std::size_t sizes[] = {1,
                               ReadBlockSize - 1,
                               ReadBlockSize,
                               ReadBlockSize + 1,
                               2 * ReadBlockSize,
                               3 * ReadBlockSize + 7,
                               5 * ReadBlockSize - 1};
  for (const std::size_t size : sizes) {
    std::string contents;
    for (std::size_t i = 0; contents.size() < size; ++i) {
      contents += std::to_string(i) + ",b,c,d,e," + std::to_string(i % 7) + (i % 3 == 0 ? "\r\n" : "\n");
    }
    contents.resize(size);
    const std::vector<std::string> blocks = BlocksOfFile(contents);
    EXPECT_TRUE(testing::SameBytes(Joined(blocks), contents)) << "size " << size;
    ASSERT_EQ(blocks.size(), (size + ReadBlockSize - 1) / ReadBlockSize) << "size " << size;
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
      EXPECT_EQ(blocks[i].size(), ReadBlockSize) << "size " << size << ", block " << i;
    }
  }
}

// Bytes already given that cannot be read again mean the file was cut short
// while it was converted; past what was given, a short read is just the end.
TEST(CsvFileHandleReadAt, FailsForGivenBytesThatAreGone) {
  TempDir dir;
  const std::string contents = "a,b,c,d,e,3," + std::string(2 * ReadBlockSize, 'x') + "\n";
  WriteFile(dir.File("in.csv"), contents);
  CsvFileHandle handle;
  ASSERT_TRUE(handle.Open(dir.File("in.csv")));
  std::string_view bytes;
  ASSERT_TRUE(handle.ReadBlock(bytes));
  const std::size_t given = bytes.size();
  char read[16];
  std::size_t got = 0;
  ASSERT_TRUE(handle.ReadAt(given + 10, read, sizeof read, got));
  EXPECT_EQ(std::string_view(read, got), std::string_view(contents).substr(given + 10, sizeof read));
  WriteFile(dir.File("in.csv"), contents.substr(0, given / 2));
  EXPECT_TRUE(handle.ReadAt(given, read, sizeof read, got));
  EXPECT_EQ(got, 0U);
  EXPECT_FALSE(handle.ReadAt(given - sizeof read, read, sizeof read, got));
  EXPECT_EQ(handle.Error(), std::make_error_code(std::errc::io_error));
}

#ifndef _WIN32
TEST(CsvFileHandleOpen, KnowsThePermissionBits) {
  TempDir dir;
  WriteFile(dir.File("in.csv"), "a\n");
  ASSERT_EQ(chmod(dir.File("in.csv").c_str(), 0640), 0);
  CsvFileHandle handle;
  ASSERT_TRUE(handle.Open(dir.File("in.csv")));
  EXPECT_EQ(handle.PermissionBits(), 0640U);
}
#endif

#ifdef __linux__
// Reading this process's own memory at offset 0 fails with EIO, although the
// open succeeds: a real read error, without special hardware.
TEST(CsvFileHandleReadBlock, ReadErrorIsReportedNotTakenForTheEnd) {
  const std::error_code eio(EIO, std::generic_category());
  CsvFileHandle handle;
  ASSERT_TRUE(handle.Open("/proc/self/mem"));
  std::string_view bytes = "stale";
  EXPECT_FALSE(handle.ReadBlock(bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(handle.Error(), eio);
  EXPECT_FALSE(handle.ReadBlock(bytes));
  EXPECT_EQ(handle.Error(), eio);
}
#endif

}  // namespace
}  // namespace rungwell
