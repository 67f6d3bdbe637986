#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/Notes.h"

namespace rungwell {
namespace {

using Lines = std::vector<std::string>;

const std::string Commas = "the field after the 5th separator (fields separated by commas)";
const std::string TryColumn = "; --level-column picks the column that holds the levels";
const std::string TryQuoted = "; --quoted-levels reads them";

ConversionReport Report(const Dialect& dialect, const ScanTally& tally, const std::u16string& name = u"",
                        LevelColumnOrigin::Source source = LevelColumnOrigin::Source::Default) {
  ConversionReport report;
  report.dialect = dialect;
  report.tally = tally;
  report.origin.source = source;
  report.origin.name.assign(name.begin(), name.end());
  return report;
}

// A tally: lines, level fields, numbers, quoted numbers from their first line,
// indented lines, numbers above 1000 from their first line, fields with more
// than a number from their first line, lines ending in quotes from their
// first line, and where a quoted field that never closes opens.
ScanTally Tally(std::initializer_list<std::uint64_t> counts) {
  std::uint64_t values[13] = {};
  std::copy(counts.begin(), counts.end(), values);
  return {values[0], values[1], values[2], values[3],  values[4],  values[5], values[6],
          values[7], values[8], values[9], values[10], values[11], values[12]};
}

// Each note from what the scan counted: lines, level fields, numbers in
// them, quoted numbers from their first line, indented lines, and numbers
// above 1000 from their first line.
TEST(Notes, SayWhyLinesWereLeftAsTheyWere) {
  struct Case {
    const char* name;
    ScanTally tally;
    Lines notes;
  };
  const Case cases[] = {
      {"an empty file", {}, {}},
      {"a flat plan", {2, 2, 1}, {}},
      {"an indented plan", {3, 3, 3, 0, 0, 2}, {}},
      {"no level field",
       {2},
       {"nothing indented: no line has a level field, " + Commas + "; --level-column and --separator choose others"}},
      {"every level quoted",
       {2, 2, 0, 2, 1},
       {"nothing indented: every level is in quotation marks, and a quoted level counts as 0" + TryQuoted}},
      {"no number", {2, 2}, {"nothing indented: " + Commas + " holds no number on any line" + TryColumn}},
      {"one budget",
       {1, 1, 1, 0, 0, 0, 1, 1},
       {"nothing indented: every number in " + Commas + " is above 1000, so it holds no levels (line 1)" + TryColumn}},
      {"dates",
       {3, 3, 2, 0, 0, 0, 2, 2},
       {"nothing indented: every number in " + Commas +
        " is above 1000, so it holds no levels (2 lines, the first is line 2)" + TryColumn}},
      {"one quoted level among others",
       {3, 3, 2, 1, 12, 1},
       {"1 line has its level in quotation marks, which counts as 0, and was copied unchanged (the first is line "
        "12)" +
        TryQuoted}},
      {"quoted levels and levels too deep",
       {9, 9, 7, 2, 3, 4, 3, 5},
       {"2 lines have their level in quotation marks, which counts as 0, and were copied unchanged (the first is "
        "line 3)" +
            TryQuoted,
        "3 lines have a level above 1000 and were copied unchanged (the first is line 5)"}},
      {"some numbers too deep, none indented: they are told apart from the flat ones",
       {3, 3, 2, 0, 0, 0, 1, 2},
       {"1 line has a level above 1000 and was copied unchanged (the first is line 2)"}},
      {"a date",
       Tally({2, 2, 2, 0, 0, 1, 0, 0, 1, 2}),
       {"1 line has more than a number in " + Commas +
        ", such as a date or an outline number, and only its first number was read (the first is line 2); "
        "--level-column picks another column, --outline-numbers reads 1.2.3 as level 3"}},
      {"dates",
       Tally({9, 9, 8, 0, 0, 8, 0, 0, 7, 3}),
       {"7 lines have more than a number in " + Commas +
        ", such as a date or an outline number, and only their first number was read (the first is line 3); "
        "--level-column picks another column, --outline-numbers reads 1.2.3 as level 3"}},
      {"a line ending inside quotation marks",
       Tally({3, 3, 3, 0, 0, 1, 0, 0, 0, 0, 1, 2}),
       {"1 line ends inside quotation marks (the first is line 2); where cells go on to the next line, --multiline "
        "reads them as one record"}},
      {"lines ending inside quotation marks",
       Tally({9, 9, 9, 0, 0, 4, 0, 0, 0, 0, 3, 4}),
       {"3 lines end inside quotation marks (the first is line 4); where cells go on to the next line, --multiline "
        "reads them as one record"}},
      {"a quoted field that never closes",
       Tally({9, 3, 3, 0, 0, 2, 0, 0, 0, 0, 0, 0, 7}),
       {"the quoted field that opens on line 7 never closes, so its record runs to the end of the file"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NotesOn(Report(Dialect{}, c.tally)), c.notes) << c.name;
  }
}

// The notes name the level field by the separators before it, and the
// separator by its name, its character, its byte or its code point.
TEST(Notes, NameTheLevelFieldAndItsSeparator) {
  struct Case {
    Dialect dialect;
    std::string field;
  };
  const Case cases[] = {
      {{Encoding::Bytes, 0, ',', false, 0}, "the first field (fields separated by commas)"},
      {{Encoding::Bytes, 0, ';', false, 1}, "the field after the 1st separator (fields separated by semicolons)"},
      {{Encoding::Bytes, 0, '\t', false, 2}, "the field after the 2nd separator (fields separated by tabs)"},
      {{Encoding::Bytes, 0, '|', false, 3}, "the field after the 3rd separator (fields separated by '|')"},
      {{Encoding::Bytes, 0, 0xA7, false, 4}, "the field after the 4th separator (fields separated by the byte A7)"},
      {{Encoding::Utf16Le, 2, 0xE9, false, 11}, "the field after the 11th separator (fields separated by U+00E9)"},
      {{Encoding::Utf16Be, 2, 0x20AC, false, 12}, "the field after the 12th separator (fields separated by U+20AC)"},
      {{Encoding::Bytes, 0, ',', false, 13}, "the field after the 13th separator (fields separated by commas)"},
      {{Encoding::Bytes, 0, ',', false, 21}, "the field after the 21st separator (fields separated by commas)"},
      {{Encoding::Bytes, 0, ',', false, 22}, "the field after the 22nd separator (fields separated by commas)"},
      {{Encoding::Bytes, 0, ',', false, 23}, "the field after the 23rd separator (fields separated by commas)"},
      {{Encoding::Bytes, 0, ',', false, 101}, "the field after the 101st separator (fields separated by commas)"},
      {{Encoding::Bytes, 0, ',', false, 111}, "the field after the 111th separator (fields separated by commas)"},
      {{Encoding::Bytes, 0, ',', false, 112}, "the field after the 112th separator (fields separated by commas)"},
      {{Encoding::Bytes, 0, ',', false, 113}, "the field after the 113th separator (fields separated by commas)"},
      {{Encoding::Bytes, 0, ',', false, 65535}, "the field after the 65535th separator (fields separated by commas)"},
  };
  for (const Case& c : cases) {
    const Lines notes = NotesOn(Report(c.dialect, ScanTally{1, 1}));
    ASSERT_EQ(notes.size(), 1U);
    EXPECT_EQ(notes[0], "nothing indented: " + c.field + " holds no number on any line" + TryColumn);
  }
}

// Where the first line names the level column, the notes name it too, and
// a column the first line chose is told.
TEST(Notes, NameTheColumnAsTheFirstLineDoes) {
  using Source = LevelColumnOrigin::Source;
  Dialect seventh;
  seventh.levelColumn = 7;
  Dialect outline;
  outline.levelColumn = 0;
  outline.levelForm = LevelForm::Outline;
  Dialect wide{Encoding::Utf16Le, 2, '\t', false, 7};
  struct Case {
    ConversionReport report;
    Lines notes;
  };
  const Case cases[] = {
      {Report({}, ScanTally{2, 2}, u"Finish", Source::Default),
       {"nothing indented: column 5 (\"Finish\") holds no number on any line" + TryColumn}},
      {Report(seventh, ScanTally{2, 2, 1}, u"Outline Level", Source::FirstLine),
       {"the levels are read from column 7, \"Outline Level\", as the first line names it (--level-column 5 reads "
        "column 5)"}},
      {Report(outline, ScanTally{2, 2, 1}, u"WBS", Source::FirstLine),
       {"the levels are read as outline numbers from column 0, \"WBS\", as the first line names it (--level-column "
        "5 reads column 5)"}},
      {Report(wide, ScanTally{2, 2, 1}, u"Gliederungsebene \u00DC\U0001F4CB", Source::FirstLine),
       {"the levels are read from column 7, \"Gliederungsebene \xC3\x9C\xF0\x9F\x93\x8B\", as the first line names it "
        "(--level-column 5 reads column 5)"}},
      {Report(seventh, ScanTally{2, 2, 1}, u"Outline Level", Source::Index), {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NotesOn(c.report), c.notes);
  }
}

TEST(Notes, SayWhyAFileDoesNotFitTheLayoutGiven) {
  LayoutChoice layout;
  layout.levelName = "Outline Level";
  const auto names = [](int count) {
    ConversionReport report;
    for (int i = 0; i < count; ++i) {
      const std::string name = "F" + std::to_string(i);
      report.firstLineNames.emplace_back(name.begin(), name.end());
    }
    return report;
  };
  const std::string missing = "no column named \"Outline Level\" in the first line";
  EXPECT_EQ(LayoutFailure(LayoutProblem::NoColumnOfThatName, layout, names(3)),
            missing + ", whose names are \"F0\", \"F1\", \"F2\"");
  std::string twenty = missing + ", whose names are \"F0\"";
  for (int i = 1; i < 20; ++i) {
    twenty += ", \"F" + std::to_string(i) + "\"";
  }
  EXPECT_EQ(LayoutFailure(LayoutProblem::NoColumnOfThatName, layout, names(20)), twenty);
  EXPECT_EQ(LayoutFailure(LayoutProblem::NoColumnOfThatName, layout, names(21)), twenty + ", and 1 more");
  ConversionReport empty;
  empty.firstLineNames.emplace_back();
  EXPECT_EQ(LayoutFailure(LayoutProblem::NoColumnOfThatName, layout, empty), missing + ", which names no column");
  EXPECT_EQ(LayoutFailure(LayoutProblem::SeparatorNotOneByte, layout, empty),
            "the separator given is not one byte of this file's 8-bit text");
}

}  // namespace
}  // namespace rungwell
