#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "csv/DialectDetector.h"
#include "csv/FirstLine.h"
#include "tests/PlainRules.h"

namespace rungwell {
namespace {

using namespace std::string_literals;

// ASCII text as UTF-16LE, without a mark.
std::string Utf16Le(const std::string& ascii) {
  std::string out;
  for (const char c : ascii) {
    out += {c, '\0'};
  }
  return out;
}

// The dialect from the start of a file, fed whole and a byte at a time.
TEST(DialectDetector, ReadsTheDialectFromTheStartOfAFile) {
  const std::string le = "\xFF\xFE";
  const std::string be = "\xFE\xFF";
  struct Case {
    const char* name;
    std::string start;
    Dialect dialect;
  };
  const std::string window(LineEndWindow, 'x');
  const Case cases[] = {
      {"comma plan", "ID,a,b,c,d,Level\n1,a,b,c,d,2\n", {}},
      {"empty file", "", {}},
      {"semicolons", "ID;Task;Owner;Start;Finish;Level;Cost\r\n", {Encoding::Bytes, 0, ';'}},
      {"tabs", "a\tb\tc\td\te\tf\n", {Encoding::Bytes, 0, '\t'}},
      {"more tabs than semicolons", "a;b;c;d;e;f\tg\th\ti\tj\tk\tl\n", {Encoding::Bytes, 0, '\t'}},
      {"as many of each: semicolons", "a;b;c;d;e;f\tg\th\ti\tj\tk\n", {Encoding::Bytes, 0, ';'}},
      {"five commas win", "a,b,c,d,e,f;;;;;;;;\n", {}},
      {"quoted semicolons do not count", "a;\"b;c;d;e;f\"\n", {}},
      {"decimal commas with semicolons", "1;x;7,5;9.400,75;a,b;2\n", {Encoding::Bytes, 0, ';'}},
      {"separators only on the second line", "title\n1;a;b;c;d;2\n", {}},
      {"sep line", "sep=;\r\n1,2,3,4,5,6\n", {Encoding::Bytes, 0, ';'}},
      {"sep line alone", "sep=|", {Encoding::Bytes, 0, '|'}},
      {"sep line of two characters is none", "sep=;;\n", {}},
      {"sep of a quotation mark is none", "sep=\"\n", {}},
      {"sep of NUL is none",
       "sep=\0\n1\0a\0b\0c\0d\0"
       "3\n"s,
       {}},
      {"sep line in a CR file", "sep=;\r1;a;b;c;d;3\r", {Encoding::Bytes, 0, ';', true}},
      {"UTF-8 mark",
       "\xEF\xBB\xBF"
       "a;b;c;d;e;f\n",
       {Encoding::Bytes, 3, ';'}},
      {"UTF-8 mark cut short", "\xEF\xBB", {}},
      {"UTF-16LE", le + Utf16Le("a\tb\tc\td\te\tf\r\n"), {Encoding::Utf16Le, 2, '\t'}},
      {"UTF-16LE mark alone", le, {Encoding::Utf16Le, 2}},
      {"UTF-16LE of odd length", le + Utf16Le("a;b;c;d;e;f") + "\x3b", {Encoding::Utf16Le, 2, ';'}},
      {"UTF-16BE", be + std::string("\0a\0;\0b\0;\0c\0;\0d\0;\0e\0;\0f\0\r", 24), {Encoding::Utf16Be, 2, ';', true}},
      {"a character that only looks like a semicolon",
       le + std::string("a;\x09;\x09;\x09;\x09;\x09;\x09\0", 14),
       {Encoding::Utf16Le, 2}},
      {"CR line ends", "a;b;c;d;e;f\rg\r", {Encoding::Bytes, 0, ';', true}},
      {"CR line ends, first line by its CR", "a,b\rc;d;e;f;g;h\r", {Encoding::Bytes, 0, ',', true}},
      {"an LF anywhere keeps LF line ends", "a;b;c;d;e;f\rg\n", {Encoding::Bytes, 0, ';'}},
      {"an LF past the window does not", window.substr(1) + "\r\n", {Encoding::Bytes, 0, ',', true}},
      // The window starts after the mark.
      {"a CR at the window's end after a mark",
       "\xEF\xBB\xBF" + window.substr(1) + "\r1,a,b,c,d,3\r",
       {Encoding::Bytes, 3, ',', true}},
      {"an LF at the window's end after a mark",
       "\xEF\xBB\xBF\r" + window.substr(2) + "\n1,a,b,c,d,3\n",
       {Encoding::Bytes, 3, ','}},
      {"no line end at all", "a,b", {}},
      {"separators past the window", window + "a;b;c;d;e;f\n", {Encoding::Bytes, 0, ';'}},
      {"a long first line with quoted commas over several blocks",
       std::string(70, 'x') + "\"" + std::string(130, ',') + "\"" + std::string(70, 'x') + ";a;b;c;d;e\n",
       {Encoding::Bytes, 0, ';'}},
      {"a long first line whose quotation marks are odd to its end",
       std::string(70, 'x') + "\"" + std::string(130, 'x') + ";a;b;c;d;e\n1,2,3,4,5,6\n",
       {}},
      {"UTF-16LE: units that hold a comma's byte are no commas",
       le + Utf16Le("abcdefg") +
           [] {
             std::string units;
             for (int i = 0; i < 40000; ++i) {
               units += "\x2c\x3b";
             }
             return units;
           }() +
           Utf16Le(";b;c;d;e;f\n"),
       {Encoding::Utf16Le, 2, ';'}},
      {"UTF-16BE: a long first line with quoted semicolons over several blocks",
       be + std::string(140, '\0').replace(1, 1, "x") + std::string("\0\"", 2) +
           [] {
             std::string units;
             for (int i = 0; i < 70; ++i) {
               units += std::string("\0;", 2);
             }
             return units;
           }() +
           std::string("\0\"\0\t\0a\0\t\0b\0\t\0c\0\t\0d\0\t\0e\0\r\0\n", 26),
       {Encoding::Utf16Be, 2, '\t'}},
      {"a long first line, tabs and semicolons in its middle",
       std::string(70, 'x') + "\t;\t;\t;\t;\t;\t" + std::string(70, 'y') + "\n",
       {Encoding::Bytes, 0, '\t'}},
      {"UTF-16LE: a long first line, tabs and semicolons in its middle",
       le + Utf16Le(std::string(70, 'x') + ";\t;\t;\t;\t;\t;" + std::string(70, 'y') + "\n"),
       {Encoding::Utf16Le, 2, ';'}},
      {"UTF-16LE: a long first line, more tabs than semicolons in its middle",
       le + Utf16Le(std::string(70, 'x') + "\t;\t;\t;\t;\t;\t" + std::string(70, 'y') + "\n"),
       {Encoding::Utf16Le, 2, '\t'}},
      {"UTF-16BE: commas after the first units count",
       be + std::string("\0a\0b\0c\0d\0e\0f\0g\0;\0h\0;\0i\0;\0j\0;\0k\0;\0,\0,\0,\0,\0,\0\n", 44),
       {Encoding::Utf16Be, 2, ','}},
  };
  for (const Case& c : cases) {
    const Dialect plainly = plain::Detect(c.start);
    EXPECT_EQ(plainly.separator, c.dialect.separator) << c.name;
    EXPECT_EQ(plainly.crLineEnds, c.dialect.crLineEnds) << c.name;
    for (const ScanPath path : PathsToTest()) {
      // Pieces shorter than a block are counted a character at a time.
      for (const std::size_t piece : {c.start.size() + 1, std::size_t{1}, std::size_t{7}, std::size_t{100}}) {
        DialectDetector detector({}, path);
        for (std::size_t at = 0; at < c.start.size() && !detector.Decided(); at += piece) {
          detector.Feed(std::string_view(c.start).substr(at, piece));
        }
        if (!detector.Decided()) {
          detector.End();
        }
        const Dialect found = detector.Result();
        const std::string what =
            std::string(c.name) + " on " + ScanPathName(path) + ", pieces of " + std::to_string(piece);
        EXPECT_EQ(found.encoding, c.dialect.encoding) << what;
        EXPECT_EQ(found.markSize, c.dialect.markSize) << what;
        EXPECT_EQ(found.separator, c.dialect.separator) << what;
        EXPECT_EQ(found.crLineEnds, c.dialect.crLineEnds) << what;
      }
    }
  }
}

// The level column the first line gives, where the command line gives none:
// the first field named as one of levels, or failing that of outline
// numbers, under the first separator where one is, unless the sixth field
// is itself named as one of levels.
TEST(DialectDetector, TakesTheLevelColumnTheFirstLineNames) {
  using Source = LevelColumnOrigin::Source;
  const auto utf16le = [](const std::string& ascii) { return "\xFF\xFE" + Utf16Le(ascii); };
  struct Case {
    const char* name;
    std::string start;
    unsigned column;
    std::uint16_t separator;
    LevelForm form = LevelForm::Number;
    Source source = Source::FirstLine;
  };
  const Case cases[] = {
      {"a project-management export", "ID,Unique ID,Name,Duration,Start,Finish,Predecessors,Outline Level,Notes\n", 7,
       ','},
      {"written with an underscore", "id,name,outline_level\n", 2, ','},
      {"with a hyphen, any case", "ID;Name;OUTLINE-LEVEL\r\n", 2, ';'},
      {"with nothing between", "Task\tOutlineLevel\n", 1, '\t'},
      {"each level name", "a,Task Level,Hierarchy Level\n", 1, ','},
      {"indent level", "a,b,indent level\n", 2, ','},
      {"WBS level is a level", "WBS,WBS Level\n", 1, ','},
      {"German, semicolons, a mark", "\xEF\xBB\xBFNr.;Name;Anfang;Ende;Vorg\xC3\xA4nger;Dauer;X;Gliederungsebene\r\n",
       7, ';'},
      {"quoted and padded", "\"ID\",\" Outline Level \"\n", 1, ','},
      {"the first field so named counts", "Level,Outline Level\n", 0, ','},
      {"an outline number's column", "WBS,Task Name,Duration\n", 0, ',', LevelForm::Outline},
      {"outline names", "x;Outline Number\n", 1, ';', LevelForm::Outline},
      {"a level name before an outline name", "WBS,Name,Level\n", 2, ','},
      {"the sixth field a level name: it stays", "Level,b,c,d,e,Level\n", 5, ',', LevelForm::Number, Source::Default},
      {"the sixth field under the counted separator", "ID;Task;Level;x;y;Level\n", 5, ';', LevelForm::Number,
       Source::Default},
      {"no name of either", "ID,Task,Owner,Start,Finish,Depth\n", 5, ',', LevelForm::Number, Source::Default},
      {"a name as part of a field", "ID,Level of detail,Levels\n", 5, ',', LevelForm::Number, Source::Default},
      {"a line of values", "1,a,b,c,d,2\n", 5, ',', LevelForm::Number, Source::Default},
      {"after a sep= line, under its separator only", "sep=|\nID|Name|Level\n", 2, '|'},
      {"the sep= line's separator finds nothing", "sep=|\nID,Name,Level\n", 5, '|', LevelForm::Number, Source::Default},
      {"UTF-16 with tabs", utf16le("Nr.\tName\tGliederungsebene\r\n1\tx\t2\r\n"), 2, '\t'},
      {"only the first line counts", "ID,Task\nLevel,x\n", 5, ',', LevelForm::Number, Source::Default},
  };
  for (const Case& c : cases) {
    bool fromFirstLine = false;
    const Dialect plainly = plain::Detect(c.start, {}, nullptr, &fromFirstLine);
    EXPECT_EQ(plainly.levelColumn, c.column) << c.name;
    EXPECT_EQ(plainly.separator, c.separator) << c.name;
    EXPECT_EQ(plainly.levelForm, c.form) << c.name;
    EXPECT_EQ(fromFirstLine, c.source == Source::FirstLine) << c.name;
    for (const ScanPath path : PathsToTest()) {
      DialectDetector detector({}, path);
      if (!detector.Feed(c.start)) {
        detector.End();
      }
      const Dialect found = detector.Result();
      EXPECT_EQ(found.levelColumn, c.column) << c.name;
      EXPECT_EQ(found.separator, c.separator) << c.name;
      EXPECT_EQ(found.levelForm, c.form) << c.name;
      EXPECT_EQ(detector.Origin().source, c.source) << c.name;
    }
  }
}

// A column given keeps the file from choosing one; one given by a name of
// outline numbers holds outline numbers.
TEST(DialectDetector, KeepsTheColumnGiven) {
  const std::string start = "WBS,Task,Start,x,y,Finish,Outline Level\n";
  LayoutChoice byIndex;
  byIndex.levelColumn = 5;
  LayoutChoice byName;
  byName.levelName = "wbs";
  LayoutChoice outline;
  outline.levelColumn = 6;
  outline.outlineNumbers = true;
  struct Case {
    LayoutChoice layout;
    unsigned column;
    LevelForm form;
    LevelColumnOrigin::Source source;
    std::string name;
  };
  const Case cases[] = {
      {byIndex, 5, LevelForm::Number, LevelColumnOrigin::Source::Index, "Finish"},
      {byName, 0, LevelForm::Outline, LevelColumnOrigin::Source::Name, "WBS"},
      {outline, 6, LevelForm::Outline, LevelColumnOrigin::Source::Index, "Outline Level"},
  };
  for (const Case& c : cases) {
    DialectDetector detector(c.layout);
    detector.Feed(start);
    detector.End();
    EXPECT_EQ(detector.Result().levelColumn, c.column) << c.name;
    EXPECT_EQ(detector.Result().levelForm, c.form) << c.name;
    EXPECT_EQ(plain::Detect(start, c.layout).levelForm, c.form) << c.name;
    EXPECT_EQ(detector.Origin().source, c.source) << c.name;
    EXPECT_EQ(detector.Origin().name, Units(c.name.begin(), c.name.end())) << c.name;
  }
}

// Where the column named is sought: after a sep= line, up to the 64 Ki
// characters' bound in 8-bit and in 16-bit text, by a name whose last
// character is beyond ASCII.
TEST(DialectDetector, FindsTheColumnNamedUpToItsBounds) {
  const auto utf16le = [](const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (const char16_t c : text) {
      out += {static_cast<char>(c & 0xFFU), static_cast<char>(c >> 8U)};
    }
    return out;
  };
  // A first line whose name "Level" ends at the given character, counted from 1.
  const auto endingAt = [](std::size_t last) { return std::u16string(last - 6, u'x') + u",Level\n1,2\n"; };
  const auto narrow = [](const std::u16string& text) { return std::string(text.begin(), text.end()); };
  struct Case {
    const char* name;
    std::string start;
    std::string wanted;
    std::optional<unsigned> column;
    std::uint16_t separator = ',';
  };
  const Case cases[] = {
      {"the line after a sep= line", "sep=;\nID;a;b;Level;c\n1;x;y;3;z\n", "Level", 3, ';'},
      {"the line after a sep= line with CR LF", "sep=;\r\nID;a;b;Level;c\r\n", "level", 3, ';'},
      {"8-bit, the name's last character the last looked at", narrow(endingAt(HeaderLimit)), "Level", 1},
      {"8-bit, one past it", narrow(endingAt(HeaderLimit + 1)), "Level", std::nullopt},
      {"UTF-16, the name's last character the last looked at", utf16le(endingAt(HeaderLimit)), "Level", 1},
      {"UTF-16, one past it", utf16le(endingAt(HeaderLimit + 1)), "Level", std::nullopt},
      {"UTF-16, far past 32 Ki characters", utf16le(endingAt(40000)), "Level", 1},
      {"a name whose last character is beyond ASCII", utf16le(u"ID\tGliederungsebene \u00DC\r\n"),
       "Gliederungsebene \xC3\x9C", 1, '\t'},
      {"a name that is that character alone", utf16le(u"ID;\u00E9\r\n"), "\xC3\xA9", 1, ';'},
  };
  for (const Case& c : cases) {
    LayoutChoice layout;
    layout.levelName = c.wanted;
    LayoutProblem plainProblem = LayoutProblem::None;
    const Dialect plainly = plain::Detect(c.start, layout, &plainProblem);
    EXPECT_EQ(plainProblem == LayoutProblem::None, c.column.has_value()) << c.name;
    for (const std::size_t piece : {c.start.size(), std::size_t{4093}}) {
      DialectDetector detector(layout);
      for (std::size_t at = 0; at < c.start.size() && !detector.Decided(); at += piece) {
        detector.Feed(std::string_view(c.start).substr(at, piece));
      }
      if (!detector.Decided()) {
        detector.End();
      }
      ASSERT_EQ(detector.Problem() == LayoutProblem::None, c.column.has_value()) << c.name;
      if (c.column) {
        EXPECT_EQ(detector.Result().levelColumn, *c.column) << c.name;
        EXPECT_EQ(detector.Result().separator, c.separator) << c.name;
        EXPECT_EQ(plainly.levelColumn, *c.column) << c.name;
      }
    }
  }
}

// A separator given beyond ASCII is its byte in 8-bit text without a mark,
// and no character of its own where a UTF-8 mark says the bytes are UTF-8,
// nor beyond U+00FF in any 8-bit text; in UTF-16 it is its unit.
TEST(DialectDetector, TakesASeparatorBeyondAsciiWhereItIsOneCharacter) {
  struct Case {
    const char* name;
    std::string start;
    std::uint16_t separator;
    LayoutProblem problem;
  };
  const Case cases[] = {
      {"a section sign in cp1252",
       "a\xA7"
       "b\xA7"
       "c\n",
       0xA7, LayoutProblem::None},
      {"an accent in cp1252",
       "a\xE9"
       "b\n",
       0xE9, LayoutProblem::None},
      {"an accent after a UTF-8 mark",
       "\xEF\xBB\xBF"
       "a\xC3\xA9"
       "b\n",
       0xE9, LayoutProblem::SeparatorNotOneByte},
      {"ASCII after a UTF-8 mark",
       "\xEF\xBB\xBF"
       "a|b\n",
       '|', LayoutProblem::None},
      {"a euro sign in 8-bit text",
       "a\x80"
       "b\n",
       0x20AC, LayoutProblem::SeparatorNotOneByte},
      {"a euro sign in UTF-16",
       "\xFF\xFE"
       "a\0\xAC\x20"
       "b\0"s,
       0x20AC, LayoutProblem::None},
  };
  for (const Case& c : cases) {
    LayoutChoice layout;
    layout.separator = c.separator;
    DialectDetector detector(layout);
    detector.Feed(c.start);
    detector.End();
    LayoutProblem plainProblem = LayoutProblem::None;
    (void)plain::Detect(c.start, layout, &plainProblem);
    EXPECT_EQ(detector.Problem(), c.problem) << c.name;
    EXPECT_EQ(plainProblem, c.problem) << c.name;
    if (c.problem == LayoutProblem::None) {
      EXPECT_EQ(detector.Result().separator, c.separator) << c.name;
    }
  }
}

}  // namespace
}  // namespace rungwell
