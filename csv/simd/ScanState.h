#pragma once

// What the scan carries from one piece of an input to the next, and what it
// finds there: the state the kernels of every scan path work on.

#include <cstdint>

#include "csv/Dialect.h"
#include "csv/Level.h"

namespace rungwell {

// A line that needs indentation: where it starts in the input, and how many
// indent units go in front of it.
struct LineIndent {
  std::uint64_t lineStart;
  std::uint64_t units;
};

// What the scan saw, for telling the user why a file came out unchanged.
struct ScanTally {
  std::uint64_t lines = 0;             // lines ended so far (CR LF counts once)
  std::uint64_t levelFields = 0;       // lines that have a level field at all
  std::uint64_t numbers = 0;           // level fields that start with a number
  std::uint64_t quotedNumbers = 0;     // level fields holding a number in quotation marks
  std::uint64_t firstQuotedLine = 0;   // the first of them, counted from 1
  std::uint64_t indented = 0;          // lines given indentation
  std::uint64_t tooDeep = 0;           // lines whose level is above MaxLevel
  std::uint64_t firstTooDeepLine = 0;  // the first of them, counted from 1
  // Level fields holding more than a number, such as a date, whose first
  // number was read as a level of at most MaxLevel.
  std::uint64_t compound = 0;
  std::uint64_t firstCompoundLine = 0;
  // Lines whose quotation marks are odd in number, where records are lines.
  std::uint64_t endInQuotes = 0;
  std::uint64_t firstEndInQuotesLine = 0;
  // Where records span lines: the line on which a quoted field that never
  // closes opens, or 0.
  std::uint64_t unclosedLine = 0;
};

// Everything the scan carries from one piece to the next.
struct ScanState {
  Dialect dialect;
  std::uint64_t base = 0;                 // offset of the current piece's first byte
  std::uint64_t lineStart = 0;            // offset of the open line's first byte
  std::uint64_t fieldStart = 0;           // offset of its level field, once found
  unsigned separatorsToGo = LevelColumn;  // before the open line's level field
  std::uint64_t quoteFlip = 0;            // all ones when the line's quoting is odd where the piece starts
  bool decided = false;                   // the open line's level is known and dealt with
  bool reading = false;                   // level holds a level field begun in an earlier piece
  LevelReading level;
  bool lastEndedWithCr = false;   // for counting CR LF as one line end
  std::uint64_t linesBefore = 0;  // lines before the open record's first
  ScanTally tally;
  // Where records span lines, what the last block left: the quoted field
  // it ended in, and whether its last character ended a field or closed one.
  std::uint64_t fieldQuoted = 0;  // all ones inside a quoted field
  bool atFieldStart = true;
  bool afterClosingQuote = false;
  bool afterCr = false;             // for counting a CR LF inside a field as one line end
  std::uint64_t openQuoteLine = 0;  // where the quoted field it ended in opens
};

// The characters that may separate fields, counted where no quotation mark
// protects them.
struct SeparatorCounts {
  std::uint64_t commas = 0;
  std::uint64_t semicolons = 0;
  std::uint64_t tabs = 0;
};

// The count of a file's first line, which chooses its separator, carried
// from one piece to the next.
struct FirstLineCount {
  SeparatorCounts outside;
  bool inQuotes = false;  // at the current place in the line
};

}  // namespace rungwell
