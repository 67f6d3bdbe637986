#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "csv/Dialect.h"
#include "csv/DialectDetector.h"
#include "csv/LineScanner.h"
#include "driver/ChunkedConversion.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"
#include "tests/PlainRules.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Text in UTF-16 with its mark.
std::string Utf16(const std::string& ascii, bool littleEndian) {
  std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char c : ascii) {
    bytes += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
  }
  return bytes;
}

// The whole conversion of contents in chunks of the given size, on the
// given number of threads: the output, and the tally beside the plain
// model's.
std::string ConvertInChunksOf(const std::string& contents, const ChunkPlan& plan, const std::string& what) {
  TempDir dir;
  WriteFile(dir.File("in.csv"), contents);
  CsvFileHandle input;
  EXPECT_TRUE(input.Open(dir.File("in.csv")));
  DialectDetector detector;
  detector.Feed(contents);
  detector.End();
  const Dialect dialect = detector.Result();
  OutputFile output(dir.File("out.csv"));
  EXPECT_TRUE(output.Create());
  EXPECT_TRUE(CanConvertInChunks(input, output, dialect));
  ScanTally tally;
  const Outcome outcome = ConvertInChunks(input, output, dialect, tally, plan);
  EXPECT_TRUE(outcome.Done()) << what << ": " << outcome.error.message();
  EXPECT_TRUE(output.Commit());
  EXPECT_EQ(tally, plain::ScanLines(contents, true, dialect).tally) << what;
  return ReadFile(dir.File("out.csv"));
}

// Chunks cut a plan anywhere: inside lines, just before and after their
// ends, between a CR and its LF, inside a 16-bit character's file; a line
// runs through several chunks, which then hold no line of their own; the
// file ends with a line end or without. Whatever the cut, the output and
// every note's count are those of the whole.
TEST(ChunkedConversion, GivesWhatTheWholeGivesWhereverChunksAreCut) {
  std::string plan;
  for (int i = 0; i < 40; ++i) {
    plan += std::to_string(i) + ",\"Task, part\",b,c,d," + std::to_string(i % 5) + (i % 7 == 3 ? ",2027-01-04" : "") +
            (i % 9 == 4 ? ",\"note" : "") + "\n";
  }
  std::string crlf;
  std::string cr;
  for (const char c : plan) {
    crlf += c == '\n' ? "\r\n" : std::string(1, c);
    cr += c == '\n' ? '\r' : c;
  }
  // Longer than a chunk and its look-ahead together.
  const std::string longLine = "1,a,b,c,d,3," + std::string(9000, 'x') + "\n";
  // A file whose lines CR ends has no LF in its first LineEndWindow bytes;
  // after them, its CR LFs end one line each, whichever side of a chunk's
  // edge they fall on.
  std::string crThenCrLf;
  while (crThenCrLf.size() < LineEndWindow) {
    crThenCrLf += cr;
  }
  for (int i = 0; i < 30; ++i) {
    crThenCrLf += "1,a,b,c,d," + std::to_string(i % 4) + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\rx" : "\r");
  }
  const std::string inputs[] = {
      plan,
      plan + "9,a,b,c,d,4",
      crlf,
      cr + "\r\n2,a,b,c,d,3\r\n\r",
      "\xEF\xBB\xBF" + plan,
      Utf16(crlf, true),
      Utf16(plan, false) + "z",
      plan + longLine + longLine + plan,
      longLine,
      std::string(900, 'y') + ",a,b,c,d,2\n" + plan,
      "",
      "\n",
      crThenCrLf,
  };
  for (const std::string& input : inputs) {
    const std::string expected = plain::Convert(input);
    // Tiny chunks over a large file only make the test slow.
    const std::vector<std::size_t> chunks = input.size() > 10000
                                                ? std::vector<std::size_t>{62, 64, 66, 1000}
                                                : std::vector<std::size_t>{2, 4, 6, 62, 64, 66, 128, 1000};
    for (const std::size_t chunk : chunks) {
      for (const unsigned threads : {1U, 2U, 3U}) {
        // A long line read on in blocks shorter than a chunk, or longer.
        const std::size_t readOn = threads == 2 ? 4 * chunk + 6 : 6;
        const std::string what = "chunks of " + std::to_string(chunk) + " on " + std::to_string(threads) +
                                 " threads, read on by " + std::to_string(readOn) + ", from \"" + input.substr(0, 12) +
                                 "\"";
        EXPECT_TRUE(testing::SameBytes(ConvertInChunksOf(input, {chunk, threads, readOn}, what), expected)) << what;
      }
    }
  }
}

TEST(FindLineStart, FindsTheNextLineStartPastAnOffset) {
  struct Case {
    std::string bytes;
    Dialect dialect;
    std::uint64_t from;
    std::optional<std::uint64_t> start;
  };
  const Dialect cr{Encoding::Bytes, 0, ',', true};
  const Dialect wide{Encoding::Utf16Le, 2};
  const Case cases[] = {
      {"ab\ncd\n", {}, 1, 3},
      {"ab\ncd\n", {}, 3, 3},
      {"ab\ncd\n", {}, 4, 6},
      {"ab\ncd", {}, 4, std::nullopt},
      {"ab\r\ncd", {}, 3, 4},
      {"ab\rcd", {}, 1, std::nullopt},
      {"ab\rcd\r", cr, 1, 3},
      {"ab\r\ncd", cr, 1, 4},
      {"ab\r\ncd", cr, 3, 4},
      {"ab\r", cr, 1, std::nullopt},
      {"ab\n\ncd", cr, 4, 4},
      {Utf16("a\nb\n", true), wide, 4, 6},
      {Utf16("a\nb", true), wide, 8, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindLineStart(c.bytes, 0, c.from, c.dialect), c.start) << '"' << c.bytes << "\" from " << c.from;
  }
}

}  // namespace
}  // namespace rungwell
