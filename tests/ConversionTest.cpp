#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "csv/DialectDetector.h"
#include "csv/LineConverter.h"
#include "csv/LineScanner.h"
#include "driver/FileConversion.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"
#include "tests/PlainRules.h"
#include "tests/StringSink.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace std::string_literals;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Runs the conversion loop over real files, as the program does.
std::string Convert(const std::string& contents, ConversionReport* report = nullptr, const LayoutChoice& layout = {}) {
  TempDir dir;
  WriteFile(dir.File("in.csv"), contents);
  CsvFileHandle input;
  EXPECT_TRUE(input.Open(dir.File("in.csv")));
  OutputFile output(dir.File("out.csv"));
  EXPECT_TRUE(output.Create());
  ConversionReport ignored;
  const Outcome outcome = ConvertLines(input, output, layout, report != nullptr ? *report : ignored);
  EXPECT_TRUE(outcome.Done()) << outcome.error.message();
  return ReadFile(dir.File("out.csv"));
}

// Text in UTF-16 with its mark, as Windows programs write it.
std::string Utf16(const std::u16string& text, bool littleEndian) {
  std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t c : text) {
    const auto low = static_cast<char>(c & 0xFFU);
    const auto high = static_cast<char>(c >> 8U);
    bytes += littleEndian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

// The plans that Windows programs write, header and rows at levels 1 to 4.
TEST(ConvertLines, IndentsPlansAsWindowsProgramsWriteThem) {
  struct Case {
    const char* writer;
    std::string input;
    std::string output;
  };
  // Devanagari letters whose code units hold the bytes of a comma and a line
  // feed (U+092C, U+090A): they must not cut fields or lines.
  const std::u16string header = u"ID,Task,Owner,Start,Finish,Level\r\n";
  const std::u16string rows[] = {u"1,\u092C\u090A,A,x,y,1\r\n", u"2,Move,B,x,y,2\r\n", u"3,Pack,\u090A,x,y,4\r\n"};
  const std::u16string tabbed = u"ID\tTask\tLevel\tx\ty\tLevel\r\n1\ta\tb\tc\td\t3\r\n";
  const Case cases[] = {
      {"Excel CSV where the list separator is ;, cp1252, decimal commas",
       "ID;Task;Owner;Start;Finish;Level;Work;Cost\r\n1;B\xfcro;\"Ortega; Ana\";x;y;1;7,5 Tage;9.400,75 \x80\r\n"
       "2;Wahl;Lee;x;y;2;1,5 Tage;50 \x80\r\n3;Umzug;Lee;x;y;4;3,0 Tage;7.050,50 \x80\r\n",
       "ID;Task;Owner;Start;Finish;Level;Work;Cost\r\n1;B\xfcro;\"Ortega; Ana\";x;y;1;7,5 Tage;9.400,75 \x80\r\n"
       "  2;Wahl;Lee;x;y;2;1,5 Tage;50 \x80\r\n      3;Umzug;Lee;x;y;4;3,0 Tage;7.050,50 \x80\r\n"},
      {"Excel CSV with its sep= line", "sep=;\r\n1;a;b;c;d;3;4,5\r\n", "sep=;\r\n    1;a;b;c;d;3;4,5\r\n"},
      {"PowerShell 5.1 Out-File and Notepad's Unicode: UTF-16LE", Utf16(header + rows[0] + rows[1] + rows[2], true),
       Utf16(header + rows[0] + u"  " + rows[1] + u"      " + rows[2], true)},
      {"Excel Unicode Text: UTF-16LE with tabs", Utf16(tabbed, true),
       Utf16(u"ID\tTask\tLevel\tx\ty\tLevel\r\n    1\ta\tb\tc\td\t3\r\n", true)},
      {"UTF-16BE with a mark", Utf16(header + rows[1], false), Utf16(header + u"  " + rows[1], false)},
      {"UTF-16 of odd length", Utf16(rows[1], true) + "2", Utf16(u"  " + rows[1], true) + "2"},
      {"Excel CSV UTF-8 without a header",
       "\xEF\xBB\xBF"
       "1,M\xC3\xBCller,a,b,c,2\r\n2,x,a,b,c,1\r\n",
       "\xEF\xBB\xBF"
       "  1,M\xC3\xBCller,a,b,c,2\r\n2,x,a,b,c,1\r\n"},
      {"Excel for Mac's CSV (Macintosh): CR line ends", "ID,a,b,c,d,Level\r1,a,b,c,d,3\r2,a,b,c,d,2",
       "ID,a,b,c,d,Level\r    1,a,b,c,d,3\r  2,a,b,c,d,2"},
      {"PowerShell Export-Csv: every field quoted",
       "\"ID\",\"a\",\"b\",\"c\",\"d\",\"Level\"\r\n\"1\",\"a\",\"b\",\"c\",\"d\",\"3\"\r\n",
       "\"ID\",\"a\",\"b\",\"c\",\"d\",\"Level\"\r\n\"1\",\"a\",\"b\",\"c\",\"d\",\"3\"\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.input), c.output) << c.writer;
    EXPECT_EQ(plain::Convert(c.input), c.output) << c.writer;
  }
}

// What a run tells the user comes from what the conversion counted.
TEST(ConvertLines, CountsWhatExplainsAnUnchangedOutput) {
  struct Case {
    const char* name;
    std::string input;
    ScanTally tally;
  };
  const Case cases[] = {
      {"levels all quoted", "\"1\",a,b,c,d,\"3\"\n\"2\",a,b,c,d,\" -2\"\r\n", {2, 2, 0, 2, 1}},
      {"no sixth field", "a;b;c\nd;e;f\n", {2, 0, 0, 0}},
      {"a flat plan", "a,b,c,d,e,Level\n1,a,b,c,d,1\n", {2, 2, 1, 0}},
      {"levels past the deepest", "a,b,c,d,e,2\na,b,c,d,e,1001\r\na,b,c,d,e,2027-01-04\n", {3, 3, 3, 0, 0, 1, 2, 2}},
      {"CR LF counts once where CR ends lines",
       std::string(LineEndWindow - 1, 'x') + "\ra\r\nb\r\r\na,b,c,d,e,5000\r",
       {5, 1, 1, 0, 0, 0, 1, 5}},
  };
  for (const Case& c : cases) {
    ConversionReport report;
    Convert(c.input, &report);
    EXPECT_EQ(report.tally, c.tally) << c.name;
  }
}

TEST(ConvertLines, IndentsByTheLevelColumnText) {
  struct Case {
    const char* name;
    std::string line;
    std::string indent;
  };
  const Case cases[] = {
      {"header", "id,name,a,b,c,level,notes\n", ""},
      {"empty level", "1,n,a,b,c,,x\n", ""},
      {"level 0", "1,n,a,b,c,0,x\n", ""},
      {"level 1", "1,n,a,b,c,1,x\n", ""},
      {"negative", "1,n,a,b,c,-4,x\n", ""},
      {"level 2", "1,n,a,b,c,2,x\n", "  "},
      {"level 3", "1,n,a,b,c,3,x\n", "    "},
      {"level 9", "1,n,a,b,c,9,x\n", std::string(16, ' ')},
      {"padded", "1,n,a,b,c,  3,x\n", "    "},
      {"trailing text", "1,n,a,b,c,3 days,x\n", "    "},
      {"decimal", "1,n,a,b,c,3.7,x\n", "    "},
      {"quoted", "1,n,a,b,c,\"3\",x\n", ""},
      {"last field with CRLF", "1,n,a,b,c,4\r\n", "      "},
      {"quoted commas before", "1,\"n, m\",\"a,b\",c,d,3\n", "    "},
      {"too few fields", "1,n,a,b,3\n", ""},
      {"no final newline", "1,n,a,b,c,2", "  "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.line), c.indent + c.line) << c.name;
  }
}

TEST(ConvertLines, KeepsOrderTerminatorsAndEveryOtherByte) {
  const std::string input =
      "id,name,a,b,c,level\r\n"
      "1,x\0y,a,b,c,2\n"s
      "\0,b,c,d,e,3\n"s
      "2,\x1a,a,b,c,1\r\n"
      "\n"
      "3,\xff,a,b,c,2";
  const std::string expected =
      "id,name,a,b,c,level\r\n"
      "  1,x\0y,a,b,c,2\n"s
      "    \0,b,c,d,e,3\n"s
      "2,\x1a,a,b,c,1\r\n"
      "\n"
      "  3,\xff,a,b,c,2";
  EXPECT_EQ(Convert(input), expected);
  EXPECT_EQ(Convert(""), "");
}

TEST(ConvertLines, IndentsALongLineOnceByItsOwnLevel) {
  // Past the read buffer, text that looks like further level fields must not
  // start lines of its own.
  std::string line = "1,n,a,b,c,3,";
  while (line.size() < 4 * ReadBlockSize) {
    line += "x,y,z,w,v,9,";
  }
  line += "\n";
  EXPECT_TRUE(testing::SameBytes(Convert(line + "2,n,a,b,c,2\n"), "    " + line + "  2,n,a,b,c,2\n"));
}

// A line and the indent units it should get.
struct Line {
  std::string text;
  std::size_t units;
};

// A row of the given length, terminator included: its level 3 early, or its
// level 4 late, after a long first field.
Line Row(std::size_t length, std::string_view terminator, bool levelLate = false) {
  const std::string_view fields = levelLate ? ",b,c,d,e,4" : "a,b,c,d,e,3,";
  std::string row(length - fields.size() - terminator.size(), 'x');
  row.insert(levelLate ? row.size() : 0, fields);
  return {row.append(terminator), levelLate ? 3U : 2U};
}

// Lines that end just before, at and just past the edge of a read block, and
// lines spanning it several times, come out whole behind their own level's
// indentation, with and without a mark before them (which the first line's
// indentation follows).
TEST(ConvertLines, IndentsLinesWhereBlocksMeet) {
  const std::size_t block = ReadBlockSize;
  const std::size_t beyondWindow = (LineEndWindow / block + 1) * block;  // the first block edge past it
  const Line plain = {"next,line\n", 0};
  struct Case {
    std::string name;
    std::vector<Line> lines;
  };
  std::vector<Case> cases = {
      {"line straddles the edge", {Row(block - 10, "\n"), Row(30, "\n"), Row(20, "\n")}},
      {"level field across the edge", {Row(block - 5, "\n"), Row(30, "\n")}},
      {"CR and LF on either side of the edge", {Row(block + 1, "\r\n"), Row(20, "\r\n")}},
      // (An LF in the window that tells the line ends would make it an LF file.)
      {"CR file, CR last in a block and LF first in the next",
       {Row(20, "\r"), Row(beyondWindow - 21, "\r"), {"\n", 0}, Row(20, "\r"), Row(20, "\r", true)}},
      {"line ends on the edge", {Row(block, "\n"), Row(20, "\n")}},
      {"line longer than a block among short ones", {Row(20, "\n"), Row(2 * block + 5, "\n"), Row(20, "\n")}},
      {"level two blocks into its line", {Row(20, "\n"), Row(2 * block + 5, "\n", true), Row(20, "\n")}},
      {"last line without newline across the edge", {Row(block - 3, "\n"), Row(20, "")}},
      {"long last line without newline", {Row(20, "\n"), Row(block + 5, "")}},
      {"long last line without newline, its level late", {Row(20, "\n"), Row(block + 5, "", true)}},
  };
  for (const std::size_t length : {block - 2, block - 1, block, block + 1, 2 * block + 7}) {
    for (const bool newline : {true, false}) {
      // Without a newline the two are one line, of the first one's level.
      cases.push_back({"first line of " + std::to_string(length) + (newline ? " with" : " without") + " newline",
                       {Row(length, newline ? "\n" : ""), plain}});
    }
  }
  Case many{"many short lines over many blocks", {}};
  for (std::size_t i = 0, size = 0; size < 2 * block + 100; ++i) {
    const std::size_t level = i % 7;
    many.lines.push_back({std::to_string(i) + ",b,c,d,e," + std::to_string(level) + (i % 3 == 0 ? "\r\n" : "\n"),
                          level > 1 ? level - 1 : 0});
    size += many.lines.back().text.size();
  }
  cases.push_back(many);
  for (const Case& c : cases) {
    for (const std::string& mark : {""s, "\xEF\xBB\xBF"s}) {
      std::string contents = mark;
      std::string expected = mark;
      for (const Line& line : c.lines) {
        contents += line.text;
        expected += std::string(2 * line.units, ' ') + line.text;
      }
      EXPECT_TRUE(testing::SameBytes(Convert(contents), expected)) << c.name << (mark.empty() ? "" : ", after a mark");
    }
  }
}

TEST(ConvertLines, IndentsUpToTheDeepestLevelAndCopiesDeeperLines) {
  const std::string deepest = "1,n,a,b,c,1000,x\n";
  const std::string deeper = "2,n,a,b,c,1001,x\n";
  EXPECT_EQ(Convert(deepest + deeper + deeper), std::string(std::size_t{2} * 999, ' ') + deepest + deeper + deeper);
}

// A pipe gives what it has: pieces of any size, empty ones, cut inside a
// 16-bit character too, and nothing can be read again, so a line whose level comes late waits
// in memory.
TEST(LineConverter, GivesTheSameOutputHoweverThePiecesAreCut) {
  const std::u16string rows = u"ID,a,b,c,d,Level\r\n1,\u092C,b,c,d,2\r\n";
  const std::string late = std::string(300, 'x') + ",b,c,d,e,3\n";
  const std::string inputs[] = {
      "ID,a,b,c,d,Level\n1,a,b,c,d,2\n" + late + "2,a,b,c,d,4",
      "\xEF\xBB\xBF" + late,
      Utf16(rows + std::u16string(200, u'\u0A2C') + u";b;c;d;e;3\r\n", true) + "z",
      Utf16(u"a;b;c;d;e;2\r" + rows, false),
  };
  for (const ScanPath path : PathsToTest()) {
    for (const std::string& input : inputs) {
      DialectDetector detector;
      detector.Feed(input);
      detector.End();
      // With the room past the end that copies may read, as the blocks have.
      const std::string padded = input + std::string(CopySlack, '\0');
      for (const std::size_t piece : {1U, 2U, 3U, 7U, 64U, 1000U}) {
        testing::StringSink sink;
        PendingBytes held;
        LineConverter converter(detector.Result(), sink, held, path);
        for (std::size_t at = 0; at < input.size(); at += piece) {
          const std::size_t size = std::min(piece, input.size() - at);
          ASSERT_TRUE(converter.Convert(at, std::string_view(padded).substr(at, size), false).Done());
          ASSERT_TRUE(converter.Convert(at + size, {}, false).Done());
        }
        ASSERT_TRUE(converter.Convert(input.size(), {}, true).Done());
        EXPECT_TRUE(testing::SameBytes(sink.Text(), plain::Convert(input)))
            << "pieces of " << piece << " from " << input.substr(0, 20) << " on " << ScanPathName(path);
      }
    }
  }
}
// A line whose level comes in the next block leaves its start pending when
// its block goes: up to KeptRun bytes are kept, more are read again from
// the file. At the bound and on either side of it, every byte comes out.
TEST(ConvertLines, KeepsOrReadsAgainALinesStartAtTheBound) {
  for (const std::size_t pending : {KeptRun - 1, KeptRun, KeptRun + 1}) {
    // The line starts pending bytes before the first block's end, and its
    // level field starts in the next block.
    const std::string before = std::string(ReadBlockSize - pending - 1, 'x') + "\n";
    const std::string late = std::string(pending, 'y') + ",b,c,d,e,3\n";
    std::string input = before;
    input += late;
    input += "1,a,b,c,d,2\n";
    std::string expected = before;
    expected += "    ";
    expected += late;
    expected += "  1,a,b,c,d,2\n";
    EXPECT_TRUE(testing::SameBytes(Convert(input), expected)) << pending << " bytes pending";
  }
}

}  // namespace
}  // namespace rungwell
