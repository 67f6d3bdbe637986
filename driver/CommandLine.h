#pragma once

#include <optional>
#include <string>
#include <vector>

#include "csv/DialectDetector.h"

namespace rungwell {

// The largest column index --level-column takes: far more fields than any
// spreadsheet has columns.
inline constexpr unsigned MaxLevelColumn = 65535;

// The name that stands for standard input as a file, and for standard
// output as --output.
inline constexpr const char* StandardStreamName = "-";

// What the command line asks for.
struct CommandLine {
  enum class Request { Usage, Convert, Help, Version, Mistake };

  Request request = Request::Usage;
  std::vector<std::string> files;     // to convert, in the order given; "-" is standard input
  LayoutChoice layout;                // the level column and the separator, where given
  std::optional<std::string> output;  // --output: the one file's output; "-" is standard output
  std::string outputOption;           // how --output was written, for messages
  std::string mistake;                // what is wrong with the command line, for Mistake
};

// Reads the arguments after the program's name. Options count only before
// "--", which ends them and is no file itself; every other argument is a
// file, one that starts with '-' too, and "-" is standard input.
//   -h, --help, /?             the help
//   --version                  the version
//   -c, --level-column N|NAME  the level's column, by its index or its name
//   -d, --separator X          the separator: one character, or tab
//   -o, --output PATH          where the one file's output goes; - for standard output
// An option's value follows it as the next argument, or joined to it
// (--level-column=3, -c3); the last one given counts. The first of -h, --help,
// /? and --version decides, whatever else is given. Otherwise a missing or
// empty value, a separator that is no one character, a column past
// MaxLevelColumn and --output with several files are mistakes. With neither a
// file nor a request: the usage text.
CommandLine ParseCommandLine(int argc, const char* const argv[]);

}  // namespace rungwell
