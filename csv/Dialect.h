#pragma once

// How a plan is written: the encoding of its characters, the byte-order mark
// in front, the character that separates fields, the characters that end
// lines, and the field that holds the level. Windows programs write plans in
// several such dialects; the start of the file tells which.

#include <cstddef>
#include <cstdint>

#include "csv/Level.h"

namespace rungwell {

enum class Encoding {
  Bytes,    // 8-bit text or UTF-8: every byte is a character of its own
  Utf16Le,  // 16-bit code units, low byte first
  Utf16Be,  // 16-bit code units, high byte first
};

struct Dialect {
  Encoding encoding = Encoding::Bytes;
  // The byte-order mark the file starts with, copied first and never indented.
  std::size_t markSize = 0;
  // The code unit that separates fields; for Bytes, a byte.
  std::uint16_t separator = ',';
  // A CR ends a line as an LF does, and CR LF ends one line; otherwise only
  // an LF ends a line and a CR is an ordinary character.
  bool crLineEnds = false;
  // The field that holds a line's level, counted from 0.
  unsigned levelColumn = LevelColumn;
  // How the level field's text gives a level.
  LevelForm levelForm = LevelForm::Number;
  // A level field in quotation marks is read from the character after its mark.
  bool quotedLevels = false;
  // A record is what a spreadsheet reads: a quotation mark that starts a
  // field opens it, "" in it is a quotation mark, and separators and line
  // ends inside it belong to it, so that a record may span lines. Otherwise
  // a record is a line, and every quotation mark toggles the protection of
  // separators.
  bool multiline = false;

  std::size_t UnitSize() const noexcept { return encoding == Encoding::Bytes ? 1 : 2; }
};

// How far into a file the choice of line ends looks, after any mark. The
// build with tiny buffers makes it small too, so that the inputs of tests and
// fuzzers reach past it.
#ifdef RUNGWELL_TINY_BUFFERS
inline constexpr std::size_t LineEndWindow = 300;
#else
inline constexpr std::size_t LineEndWindow = std::size_t{64} << 10;
#endif

}  // namespace rungwell
