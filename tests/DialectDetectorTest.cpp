#include <gtest/gtest.h>

#include <string>

#include "csv/DialectDetector.h"
#include "tests/PlainRules.h"

namespace rungwell {
namespace {

using namespace std::string_literals;

// The dialect from the start of a file, fed whole and a byte at a time.
TEST(DialectDetector, ReadsTheDialectFromTheStartOfAFile) {
  const std::string le = "\xFF\xFE";
  const std::string be = "\xFE\xFF";
  const auto utf16le = [](const std::string& ascii) {
    std::string out;
    for (const char c : ascii) {
      out += {c, '\0'};
    }
    return out;
  };
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
      {"UTF-16LE", le + utf16le("a\tb\tc\td\te\tf\r\n"), {Encoding::Utf16Le, 2, '\t'}},
      {"UTF-16LE mark alone", le, {Encoding::Utf16Le, 2}},
      {"UTF-16LE of odd length", le + utf16le("a;b;c;d;e;f") + "\x3b", {Encoding::Utf16Le, 2, ';'}},
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
       le + utf16le("abcdefg") +
           [] {
             std::string units;
             for (int i = 0; i < 40000; ++i) {
               units += "\x2c\x3b";
             }
             return units;
           }() +
           utf16le(";b;c;d;e;f\n"),
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
       le + utf16le(std::string(70, 'x') + ";\t;\t;\t;\t;\t;" + std::string(70, 'y') + "\n"),
       {Encoding::Utf16Le, 2, ';'}},
      {"UTF-16LE: a long first line, more tabs than semicolons in its middle",
       le + utf16le(std::string(70, 'x') + "\t;\t;\t;\t;\t;\t" + std::string(70, 'y') + "\n"),
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

}  // namespace
}  // namespace rungwell
