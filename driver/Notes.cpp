#include "driver/Notes.h"

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

// The level field as the notes name it, with the separator that finds it.
std::string LevelFieldName(const Dialect& dialect) {
  const std::string field = dialect.levelColumn == 0
                                ? "the first field"
                                : "the field after the " + Ordinal(dialect.levelColumn) + " separator";
  return field + " (fields separated by " + SeparatorName(dialect) + ")";
}

}  // namespace

std::vector<std::string> NotesOn(const Dialect& dialect, const ScanTally& tally) {
  const std::string tryColumn = "; --level-column picks the column that holds the levels";
  std::vector<std::string> notes;
  bool tooDeepTold = false;
  if (tally.indented == 0 && tally.lines > 0) {
    if (tally.levelFields == 0) {
      notes.push_back("nothing indented: no line has a level field, " + LevelFieldName(dialect) +
                      "; --level-column and --separator choose others");
    } else if (tally.quotedNumbers > 0 && tally.numbers == 0) {
      notes.push_back("nothing indented: every level is in quotation marks, and a quoted level counts as 0");
    } else if (tally.numbers == 0) {
      notes.push_back("nothing indented: " + LevelFieldName(dialect) + " holds no number on any line" + tryColumn);
    } else if (tally.tooDeep == tally.numbers) {
      notes.push_back("nothing indented: every number in " + LevelFieldName(dialect) + " is above " +
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
                           " level in quotation marks, which counts as 0, and", tally.firstQuotedLine));
  }
  if (tally.tooDeep > 0 && !tooDeepTold) {
    notes.push_back(copied(tally.tooDeep, "line has", "lines have",
                           " a level above " + std::to_string(MaxLevel) + " and", tally.firstTooDeepLine));
  }
  return notes;
}

std::string LayoutFailure(LayoutProblem problem, const LayoutChoice& layout) {
  if (problem == LayoutProblem::NoColumnOfThatName) {
    return "no column named \"" + layout.levelName + "\" in the first line";
  }
  return "the separator given is not one byte of this file's 8-bit text";
}

}  // namespace rungwell
