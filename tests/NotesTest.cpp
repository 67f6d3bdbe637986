#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/Notes.h"

namespace rungwell {
namespace {

using Lines = std::vector<std::string>;

const std::string Commas = "the field after the 5th separator (fields separated by commas)";
const std::string TryColumn = "; --level-column picks the column that holds the levels";

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
       {"nothing indented: every level is in quotation marks, and a quoted level counts as 0"}},
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
        "12)"}},
      {"quoted levels and levels too deep",
       {9, 9, 7, 2, 3, 4, 3, 5},
       {"2 lines have their level in quotation marks, which counts as 0, and were copied unchanged (the first is "
        "line 3)",
        "3 lines have a level above 1000 and were copied unchanged (the first is line 5)"}},
      {"some numbers too deep, none indented: they are told apart from the flat ones",
       {3, 3, 2, 0, 0, 0, 1, 2},
       {"1 line has a level above 1000 and was copied unchanged (the first is line 2)"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NotesOn(Dialect{}, c.tally), c.notes) << c.name;
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
    const Lines notes = NotesOn(c.dialect, ScanTally{1, 1});
    ASSERT_EQ(notes.size(), 1U);
    EXPECT_EQ(notes[0], "nothing indented: " + c.field + " holds no number on any line" + TryColumn);
  }
}

TEST(Notes, SayWhyAFileDoesNotFitTheLayoutGiven) {
  LayoutChoice layout;
  layout.levelName = "Outline Level";
  EXPECT_EQ(LayoutFailure(LayoutProblem::NoColumnOfThatName, layout),
            "no column named \"Outline Level\" in the first line");
  EXPECT_EQ(LayoutFailure(LayoutProblem::SeparatorNotOneByte, layout),
            "the separator given is not one byte of this file's 8-bit text");
}

}  // namespace
}  // namespace rungwell
