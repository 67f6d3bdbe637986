#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "csv/Layout.h"

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
  std::optional<std::string> output;  // --output: the one file's output, or their folder; "-" is standard output
  std::string outputOption;           // how --output was written, for messages
  std::string mistake;                // what is wrong with the command line, for Mistake
};

// One option of the command line: how it is written, how the help shows it,
// and what it does.
struct Option {
  enum class Kind {
    Value,         // takes a value, joined to it (-c3, --level-column=3) or as the next argument
    Flag,          // takes no value: given, it is on
    Request,       // asks for something at once (the help, the version), whatever else is given
    EndOfOptions,  // every argument after it is a file
  };
  Kind kind;
  std::string_view shortName;  // "-c", or empty
  std::string_view longName;   // "--level-column"
  std::string_view alias;      // one more way of writing it, or empty
  std::string_view valueName;  // what the help calls its value
  std::string_view help;       // its line in the help; a line break goes on below it
  // What it does to the command line, given its value as given (empty for
  // a flag) and the option as it was written: the mistake it finds in the
  // value, if any.
  std::string (*apply)(CommandLine& command, std::string_view value, std::string_view written);
  // What a shell's completion offers for the value: files and folders, or
  // these words (separated by spaces); neither where the value is typed.
  bool completesPaths = false;
  std::string_view completionWords = {};
};

// Every option, in the order the help lists them: the parser and the help
// are both made from this table.
const std::vector<Option>& Options();

// Reads the arguments after the program's name. Options count only before
// "--", which ends them and is no file itself; there an argument that starts
// with '-' and is no option is a mistake, so that a misspelt option never
// converts with the wrong settings (a file so named goes after "--", or as
// ./-name). Every other argument is a file, and "-" is standard input. A
// value follows its option as the next argument, or joined to it; the last
// one given counts. The first request decides, whatever else is given.
// Otherwise a missing or empty value, one that an option refuses, or a value
// given to an option that takes none, is a mistake. With neither a file nor
// a request: the usage text.
CommandLine ParseCommandLine(int argc, const char* const argv[]);

// The same, with the options of the table given.
CommandLine ParseCommandLine(int argc, const char* const argv[], const std::vector<Option>& options);

}  // namespace rungwell
