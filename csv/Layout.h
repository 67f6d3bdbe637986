#pragma once

// What the user has said of a plan's layout, and why a file may not fit it.

#include <cstdint>
#include <optional>
#include <string>

#include "csv/Level.h"

namespace rungwell {

// What the command line says of a plan's layout, which the file's own start
// settles otherwise.
struct LayoutChoice {
  // The level's field, by its index counted from 0...
  std::optional<unsigned> levelColumn;
  // ...or, when not empty, by its name in the first line (after a sep=
  // line), in the command line's encoding, UTF-8. Without either, the
  // column the first line names as one of levels or outline numbers, else
  // LevelColumn.
  std::string levelName;
  // The character that separates fields, whatever the file says: a code
  // point up to U+FFFF.
  std::optional<std::uint16_t> separator;
  // The levels are outline numbers, whatever the column's name.
  bool outlineNumbers = false;
  // A level in quotation marks is read from after its mark.
  bool quotedLevels = false;
  // Records span lines where quoted fields hold line ends.
  bool multiline = false;
};

// Why a file's layout cannot be what the user said.
enum class LayoutProblem {
  None,
  NoColumnOfThatName,   // no field of the first line has the name given
  SeparatorNotOneByte,  // the separator given is no character of its own in this 8-bit text
};

}  // namespace rungwell
