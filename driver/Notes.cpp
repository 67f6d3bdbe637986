#include "driver/Notes.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "csv/Indentation.h"

namespace rungwell {

namespace {

std::string SeparatorName(const Dialect& dialect) {
  const std::uint16_t separator = dialect.separator;
  switch (separator) {
    case ',':
      return "commas";
    case ';':
      return "semicolons";
    case '\t':
      return "tabs";
    default:
      break;
  }
  if (separator >= 0x20 && separator < 0x7F) {
    return std::string("'") + static_cast<char>(separator) + "'";
  }
  char name[16];
  if (dialect.encoding == Encoding::Bytes) {
    // In 8-bit text a byte above 7F is no character of its own.
    (void)std::snprintf(name, sizeof name, "the byte %02X", separator);
  } else {
    (void)std::snprintf(name, sizeof name, "U+%04X", separator);
  }
  return name;
}

std::string Plural(std::uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// 1st, 2nd, 3rd, 4th, ..., 11th, 12th, 13th, ..., 21st.
std::string Ordinal(unsigned n) {
  const unsigned tens = n % 100 / 10;
  const unsigned ones = n % 10;
  const char* suffix = tens == 1 || ones == 0 || ones > 3 ? "th" : ones == 1 ? "st" : ones == 2 ? "nd" : "rd";
  return std::to_string(n) + suffix;
}

// The level field as the notes name it: by the first line's name for it,
// or by the separators before it.
std::string LevelFieldName(const ConversionReport& report) {
  const Dialect& dialect = report.dialect;
  if (!report.origin.name.empty()) {
    return "column " + std::to_string(dialect.levelColumn) + " (\"" + NameText(report.origin.name, dialect.encoding) +
           "\")";
  }
  const std::string field = dialect.levelColumn == 0
                                ? "the first field"
                                : "the field after the " + Ordinal(dialect.levelColumn) + " separator";
  return field + " (fields separated by " + SeparatorName(dialect) + ")";
}

}  // namespace

std::vector<std::string> NotesOn(const ConversionReport& report) {
  const Dialect& dialect = report.dialect;
  const ScanTally& tally = report.tally;
  const std::string tryColumn = "; --level-column picks the column that holds the levels";
  const std::string tryQuoted = "; --quoted-levels reads them";
  std::vector<std::string> notes;
  if (report.origin.source == LevelColumnOrigin::Source::FirstLine) {
    notes.push_back(std::string("the levels are read ") +
                    (dialect.levelForm == LevelForm::Outline ? "as outline numbers " : "") + "from column " +
                    std::to_string(dialect.levelColumn) + ", \"" + NameText(report.origin.name, dialect.encoding) +
                    "\", as the first line names it (--level-column " + std::to_string(LevelColumn) + " reads column " +
                    std::to_string(LevelColumn) + ")");
  }
  bool tooDeepTold = false;
  if (tally.indented == 0 && tally.lines > 0) {
    if (tally.levelFields == 0) {
      notes.push_back("nothing indented: no line has a level field, " + LevelFieldName(report) +
                      "; --level-column and --separator choose others");
    } else if (tally.quotedNumbers > 0 && tally.numbers == 0) {
      notes.push_back("nothing indented: every level is in quotation marks, and a quoted level counts as 0" +
                      tryQuoted);
    } else if (tally.numbers == 0) {
      notes.push_back("nothing indented: " + LevelFieldName(report) + " holds no number on any line" + tryColumn);
    } else if (tally.tooDeep == tally.numbers) {
      notes.push_back("nothing indented: every number in " + LevelFieldName(report) + " is above " +
                      std::to_string(MaxLevel) + ", so it holds no levels (" +
                      (tally.tooDeep == 1 ? "line " : Plural(tally.tooDeep, "", "lines, the first is line ")) +
                      std::to_string(tally.firstTooDeepLine) + ")" + tryColumn);
      tooDeepTold = true;
    }
  }
  // Lines left flat for what their level field holds: how many, and the first.
  const auto copied = [](std::uint64_t count, const char* one, const char* many, const std::string& why,
                         std::uint64_t first) {
    return Plural(count, one, many) + why + (count == 1 ? " was" : " were") + " copied unchanged (the first is line " +
           std::to_string(first) + ")";
  };
  if (tally.quotedNumbers > 0 && tally.numbers > 0) {
    notes.push_back(copied(tally.quotedNumbers, "line has its", "lines have their",
                           " level in quotation marks, which counts as 0, and", tally.firstQuotedLine) +
                    tryQuoted);
  }
  if (tally.tooDeep > 0 && !tooDeepTold) {
    notes.push_back(copied(tally.tooDeep, "line has", "lines have",
                           " a level above " + std::to_string(MaxLevel) + " and", tally.firstTooDeepLine));
  }
  if (tally.compound > 0) {
    notes.push_back(Plural(tally.compound, "line has", "lines have") + " more than a number in " +
                    LevelFieldName(report) + ", such as a date or an outline number, and only " +
                    (tally.compound == 1 ? "its" : "their") + " first number was read (the first is line " +
                    std::to_string(tally.firstCompoundLine) +
                    "); --level-column picks another column, --outline-numbers reads 1.2.3 as level 3");
  }
  if (tally.endInQuotes > 0) {
    notes.push_back(Plural(tally.endInQuotes, "line ends", "lines end") +
                    " inside quotation marks (the first is line " + std::to_string(tally.firstEndInQuotesLine) +
                    "); where cells go on to the next line, --multiline reads them as one record");
  }
  if (tally.unclosedLine > 0) {
    notes.push_back("the quoted field that opens on line " + std::to_string(tally.unclosedLine) +
                    " never closes, so its record runs to the end of the file");
  }
  return notes;
}

std::string LayoutFailure(LayoutProblem problem, const LayoutChoice& layout, const ConversionReport& report) {
  if (problem == LayoutProblem::NoColumnOfThatName) {
    // What the first line does hold, so that a misspelt name can be mended.
    constexpr std::size_t Shown = 20;
    const std::vector<Units>& names = report.firstLineNames;
    const bool none = std::all_of(names.begin(), names.end(), [](const Units& name) { return name.empty(); });
    std::string text = "no column named \"" + layout.levelName + "\" in the first line";
    if (none) {
      return text + ", which names no column";
    }
    text += ", whose names are ";
    for (std::size_t i = 0; i < names.size() && i < Shown; ++i) {
      text += (i > 0 ? ", \"" : "\"") + NameText(names[i], report.dialect.encoding) + "\"";
    }
    return names.size() > Shown ? text + ", and " + std::to_string(names.size() - Shown) + " more" : text;
  }
  return "the separator given is not one byte of this file's 8-bit text";
}

}  // namespace rungwell
