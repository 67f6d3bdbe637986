#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "csv/FirstLine.h"

namespace rungwell {
namespace {

// ASCII text, or bytes, as units of 8-bit text.
Units Text(const std::string& bytes) {
  Units units;
  for (const char c : bytes) {
    units.push_back(static_cast<unsigned char>(c));
  }
  return units;
}

Units Text(const std::u16string& units) {
  return {units.begin(), units.end()};
}

const std::vector<std::uint16_t> AllSeparators = {',', ';', '\t'};

TEST(FirstLine, FindsAColumnByItsName) {
  struct Case {
    const char* name;
    std::string line;
    std::string wanted;
    std::vector<std::uint16_t> separators;
    std::optional<unsigned> index;
    std::uint16_t separator = ',';
  };
  const Case cases[] = {
      {"commas, any case", "WBS,Task,Level", "level", AllSeparators, 2},
      {"semicolons once commas find none", "WBS;Task;Level;Owner", "Level", AllSeparators, 2, ';'},
      {"tabs last", "ID\tOutline Level\r", "outline level", AllSeparators, 1, '\t'},
      {"quoted and padded", "\"ID\",\" Outline Level \"", "Outline Level", AllSeparators, 1},
      {"the name given quoted", "ID,Level", "\"Level\"", AllSeparators, 1},
      {"a quoted separator does not divide", "\"a,Level\",Level", "Level", AllSeparators, 1},
      {"doubled quotation marks are one", "\"Say \"\"Hi\"\"\",x", "Say \"Hi\"", AllSeparators, 0},
      {"the first such field counts", "Level,x,Level", "Level", AllSeparators, 0},
      {"the first separator under which it is a field", "x;Level,y", "Level,y", AllSeparators, 1, ';'},
      {"a comma line that holds it only as part of a field", "x,Level;y", "y", AllSeparators, 1, ';'},
      {"only the separator given", "WBS;Task;Level", "Level", {','}, std::nullopt},
      {"none of that name", "ID,Task", "Level", AllSeparators, std::nullopt},
      {"no case folding beyond ASCII", "\xC3\x89tape", "\xC3\xA9tape", AllSeparators, std::nullopt},
      {"an empty line", "", "Level", AllSeparators, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<NamedColumn> found =
        ColumnNamed(Text(c.line), NameUnits(c.wanted, Encoding::Bytes), c.separators);
    ASSERT_EQ(found.has_value(), c.index.has_value()) << c.name;
    if (found) {
      EXPECT_EQ(found->index, *c.index) << c.name;
      EXPECT_EQ(found->separator, c.separator) << c.name;
    }
  }
}

// The command line's UTF-8 is the file's characters in 16-bit text, and its
// bytes in 8-bit text, where the bytes are all that can be compared.
TEST(FirstLine, TakesANameInTheFilesCharacters) {
  struct Case {
    std::string name;
    Encoding encoding;
    Units units;
  };
  const Case cases[] = {
      {"Gliederungsebene", Encoding::Utf16Le, Text(u"Gliederungsebene")},
      {"\xC3\x89tape", Encoding::Utf16Be, Text(u"\u00C9tape")},
      {"\xF0\x9F\x93\x8B", Encoding::Utf16Le, Text(u"\U0001F4CB")},
      {"\xC3\x89tape", Encoding::Bytes, Text("\xC3\x89tape")},
      {"\xC9tape", Encoding::Utf16Le, Text(u"\u00C9tape")},  // no UTF-8: byte for byte
      {"  \"Level\" ", Encoding::Bytes, Text("Level")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NameUnits(c.name, c.encoding), c.units) << c.name;
  }
}

TEST(FirstLine, ChoosesTheSeparatorByItsCounts) {
  struct Case {
    SeparatorCounts counts;
    std::uint64_t enough;
    std::uint16_t separator;
  };
  const Case cases[] = {
      {{5, 0, 0}, 5, ','}, {{0, 0, 0}, 5, ','},  {{4, 5, 0}, 5, ';'}, {{4, 0, 5}, 5, '\t'},
      {{5, 9, 9}, 5, ','}, {{0, 6, 7}, 5, '\t'}, {{0, 7, 7}, 5, ';'}, {{0, 4, 4}, 5, ','},
      {{0, 1, 0}, 1, ';'}, {{1, 1, 0}, 1, ','},  {{2, 3, 0}, 3, ';'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SeparatorByCount(c.counts, c.enough), c.separator)
        << c.counts.commas << " commas, " << c.counts.semicolons << " semicolons, " << c.counts.tabs << " tabs, "
        << c.enough << " enough";
  }
}

TEST(FirstLine, ReadsExcelsSeparatorHint) {
  struct Case {
    std::string line;
    std::optional<std::uint16_t> separator;
  };
  const Case cases[] = {
      {"sep=;", ';'},           {"sep=|", '|'},
      {"sep=\t", '\t'},         {"sep=;;", std::nullopt},
      {"sep=", std::nullopt},   {"sep=\"", std::nullopt},
      {"SEP=;", std::nullopt},  {std::string("sep=\0", 5), std::nullopt},
      {"sep=\r", std::nullopt}, {" sep=;", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SeparatorHint(Text(c.line)), c.separator) << c.line;
  }
}

TEST(FirstLine, TakesTheLineAfterAHintAsTheHeader) {
  struct Case {
    std::string start;
    bool crLineEnds;
    bool afterHint;
    std::string header;
  };
  const Case cases[] = {
      {"ID,Level\n1,2\n", false, false, "ID,Level"},
      {"ID,Level\r\n1,2\r\n", false, false, "ID,Level\r"},
      {"ID,Level", false, false, "ID,Level"},
      {"sep=;\nID;Level\n1;2\n", false, true, "ID;Level"},
      {"sep=;\r\nID;Level\r\n", false, true, "ID;Level\r"},
      {"sep=;\r\nID;Level\r\n", true, true, "ID;Level"},
      {"sep=;\rID;Level\r1;2\r", true, true, "ID;Level"},
      {"ID;Level\rx\r", true, false, "ID;Level"},
      {"sep=;", false, true, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HeaderLine(Text(c.start), c.crLineEnds, c.afterHint), Text(c.header)) << c.start;
  }
}

// Names go into messages as UTF-8, whatever the file's characters.
TEST(FirstLine, GivesNamesForMessages) {
  EXPECT_EQ(NameText(Text("Gliederungsebene \xDC"), Encoding::Bytes), "Gliederungsebene \xDC");
  EXPECT_EQ(NameText(Text(u"\u00DCbersicht \u20AC \U0001F4CB"), Encoding::Utf16Le),
            "\xC3\x9C"
            "bersicht \xE2\x82\xAC \xF0\x9F\x93\x8B");
  EXPECT_EQ(NameText(Units{'a', 0xD83D, 'b', 0xDC4B}, Encoding::Utf16Be),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  struct Case {
    std::string name;
    bool isName;
  };
  const Case cases[] = {{"Finish", true},   {"", false}, {"3", false}, {"-3", false},
                        {"+3 days", false}, {"-", true}, {"x3", true}, {"\"3\"", true}};
  for (const Case& c : cases) {
    EXPECT_EQ(IsName(Text(c.name)), c.isName) << c.name;
  }
}

}  // namespace
}  // namespace rungwell
