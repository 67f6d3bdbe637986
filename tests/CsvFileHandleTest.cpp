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

std::vector<std::string> ReadAllLines(CsvFileHandle& handle) {
  std::vector<std::string> lines;
  for (std::string line = handle.ReadLine(); !line.empty(); line = handle.ReadLine()) {
    lines.push_back(line);
  }
  return lines;
}

// Splits the lines out of the blocks as the conversion does: whole lines are
// consumed, an unfinished one waits for the next block, unless it is the last.
std::vector<std::string> ReadAllLinesByBlock(CsvFileHandle& handle) {
  std::vector<std::string> lines;
  std::string_view bytes;
  while (handle.ReadBlock(bytes)) {
    std::size_t taken = 0;
    for (std::size_t newline = bytes.find('\n'); newline != std::string_view::npos; newline = bytes.find('\n', taken)) {
      lines.emplace_back(bytes.substr(taken, newline + 1 - taken));
      taken = newline + 1;
    }
    if (handle.AtEnd() && taken < bytes.size()) {
      lines.emplace_back(bytes.substr(taken));
      taken = bytes.size();
    }
    handle.Consume(taken);
  }
  return lines;
}

// The file's lines read both ways, which must agree.
std::vector<std::string> LinesOfFile(const std::string& contents) {
  TempDir dir;
  const std::string path = dir.File("in.csv");
  WriteFile(path, contents);
  CsvFileHandle byLine;
  CsvFileHandle byBlock;
  EXPECT_TRUE(byLine.Open(path)) << byLine.Error().message();
  EXPECT_TRUE(byBlock.Open(path)) << byBlock.Error().message();
  std::vector<std::string> lines = ReadAllLines(byLine);
  EXPECT_EQ(ReadAllLinesByBlock(byBlock), lines);
  EXPECT_FALSE(byLine.Error());
  EXPECT_FALSE(byBlock.Error());
  return lines;
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
    EXPECT_TRUE(handle.ReadLine().empty()) << c.path;
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
  ASSERT_TRUE(handle.Open(dir.File("a.csv")));
  EXPECT_EQ(handle.ReadLine(), "a1\n");
  ASSERT_TRUE(handle.Open(dir.File("b.csv")));
  EXPECT_EQ(handle.ReadLine(), "b1\n");
  ASSERT_TRUE(handle.Open(dir.File("a.csv")));
  EXPECT_FALSE(handle.Open(dir.File("missing.csv")));
  EXPECT_TRUE(handle.ReadLine().empty());
}

TEST(CsvFileHandleReadLine, KeepsTerminatorsAndEndsWithEmptyStrings) {
  TempDir dir;
  WriteFile(dir.File("in.csv"), "a\nb");
  CsvFileHandle handle;
  ASSERT_TRUE(handle.Open(dir.File("in.csv")));
  EXPECT_EQ(handle.ReadLine(), "a\n");
  EXPECT_EQ(handle.ReadLine(), "b");
  EXPECT_EQ(handle.ReadLine(), "");
  EXPECT_EQ(handle.ReadLine(), "");
  EXPECT_FALSE(handle.Error());
}

TEST(CsvFileHandleReadLine, KeepsEveryByte) {
  struct Case {
    const char* name;
    std::string contents;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"empty file", "", {}},
      {"lone newline", "\n", {"\n"}},
      {"blank lines", "\n\n\n", {"\n", "\n", "\n"}},
      {"CRLF", "a,b\r\nc,d\r\n", {"a,b\r\n", "c,d\r\n"}},
      {"lone CR is no line end", "a\rb\n", {"a\rb\n"}},
      {"NUL inside a line", "a\0b\nc\n"s, {"a\0b\n"s, "c\n"}},
      {"NUL first in a line", "x\n\0y\nz\n"s, {"x\n", "\0y\n"s, "z\n"}},
      {"line of only NUL", "\0"s, {"\0"s}},
      {"Ctrl-Z", "a\x1a\nb\n", {"a\x1a\n", "b\n"}},
      {"high bytes", "\xff\xfe\n", {"\xff\xfe\n"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LinesOfFile(c.contents), c.lines) << c.name;
  }
}

// Lines that end just before, at, and just past the edge of the read buffer,
// and lines spanning it several times, come back whole.
TEST(CsvFileHandleReadLine, ReturnsWholeLinesAcrossBufferEdges) {
  const std::size_t lengths[] = {ReadBlockSize - 2, ReadBlockSize - 1, ReadBlockSize,
                                 ReadBlockSize + 1, 3 * ReadBlockSize, 5 * ReadBlockSize + 7};
  for (std::size_t length : lengths) {
    for (const bool finalNewline : {true, false}) {
      // The first line is the one whose end falls on the edge; its last byte
      // is a newline when it has one, so it is length bytes in all.
      std::string first(length - (finalNewline ? 1 : 0), 'x');
      first.replace(0, 12, "a,b,c,d,e,3,");
      if (finalNewline) {
        first += '\n';
      }
      const std::string second = "next,line\n";
      const std::vector<std::string> expected =
          finalNewline ? std::vector<std::string>{first, second} : std::vector<std::string>{first + second};
      EXPECT_EQ(LinesOfFile(first + second), expected) << "length " << length << " newline " << finalNewline;
      EXPECT_EQ(LinesOfFile(first), std::vector<std::string>{first})
          << "alone, length " << length << " newline " << finalNewline;
    }
  }
}

// A line of the given length, terminator included, that looks like a row.
std::string Row(std::size_t length, std::string_view terminator) {
  std::string row = "a,b,c,d,e,3," + std::string(length - 12 - terminator.size(), 'x');
  return row.append(terminator);
}

TEST(CsvFileHandleReadLine, KeepsLinesWholeWhereReadsMeet) {
  const std::size_t block = ReadBlockSize;
  struct Case {
    const char* name;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"line straddles the edge", {Row(block - 10, "\n"), Row(30, "\n"), Row(20, "\n")}},
      {"CR and LF on either side of the edge", {Row(block + 1, "\r\n"), Row(20, "\r\n")}},
      {"line ends on the edge", {Row(block, "\n"), Row(20, "\n")}},
      {"line longer than the buffer among short ones", {Row(20, "\n"), Row(2 * block + 5, "\n"), Row(20, "\n")}},
      {"last line without newline across the edge", {Row(block - 3, "\n"), Row(20, "")}},
      {"long last line without newline", {Row(20, "\n"), Row(3 * block, "")}},
      // The first read fills the room kept in front of later blocks too; the
      // line it leaves unfinished goes into that room, or, too long for it,
      // has the next block copied after it.
      {"unfinished line just fits the room before the next block",
       {Row(block, "\n"), Row(ReadHeadroom + 20, "\n"), Row(20, "\n")}},
      {"unfinished line one byte too long for that room",
       {Row(block - 1, "\n"), Row(ReadHeadroom + 21, "\n"), Row(20, "\n")}},
  };
  for (const Case& c : cases) {
    std::string contents;
    for (const std::string& line : c.lines) {
      contents += line;
    }
    EXPECT_EQ(LinesOfFile(contents), c.lines) << c.name;
  }
}

TEST(CsvFileHandleReadLine, ManyShortLinesSpanningManyBuffers) {
  std::string contents;
  std::vector<std::string> expected;
  for (int i = 0; i < 20000; ++i) {
    expected.push_back(std::to_string(i) + ",b,c,d,e," + std::to_string(i % 7) + (i % 3 == 0 ? "\r\n" : "\n"));
    contents += expected.back();
  }
  EXPECT_EQ(LinesOfFile(contents), expected);
}

// Bytes left unconsumed come again, ahead of the new ones; when they fill the
// buffer it grows, so that a line longer than any read still arrives whole.
TEST(CsvFileHandleReadBlock, GivesUnconsumedBytesAgainAndGrowsForThem) {
  TempDir dir;
  const std::string contents = Row(3 * ReadBlockSize + 5, "\n") + "short\n";
  WriteFile(dir.File("in.csv"), contents);
  CsvFileHandle handle;
  ASSERT_TRUE(handle.Open(dir.File("in.csv")));
  std::string_view bytes;
  std::size_t reads = 0;
  while (handle.ReadBlock(bytes) && !handle.AtEnd()) {
    ASSERT_EQ(bytes, std::string_view(contents).substr(0, bytes.size()));
    ++reads;
  }
  EXPECT_GE(reads, 2U);
  EXPECT_EQ(bytes, contents);
  handle.Consume(contents.size() - 6);
  ASSERT_TRUE(handle.ReadBlock(bytes));
  EXPECT_EQ(bytes, "short\n");
  EXPECT_TRUE(handle.AtEnd());
  handle.Consume(bytes.size());
  EXPECT_FALSE(handle.ReadBlock(bytes));
  EXPECT_EQ(handle.ReadLine(), "");
  EXPECT_FALSE(handle.Error());
}

// Bytes already given that cannot be read again mean the file was cut short
// while it was converted; past what was given, a short read is just the end.
TEST(CsvFileHandleReadAt, FailsForGivenBytesThatAreGone) {
  TempDir dir;
  const std::string contents = Row(2 * ReadBlockSize, "\n");
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
  EXPECT_EQ(handle.ReadLine(), "");

  ASSERT_TRUE(handle.Open("/proc/self/mem"));
  EXPECT_EQ(handle.ReadLine(), "");
  EXPECT_EQ(handle.Error(), eio);
}
#endif

}  // namespace
}  // namespace rungwell
