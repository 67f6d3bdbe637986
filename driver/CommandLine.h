#pragma once

#include <string>
#include <vector>

namespace rungwell {

// What the command line asks for.
struct CommandLine {
  enum class Request { Usage, Convert, Help, Version };

  Request request = Request::Usage;
  std::vector<std::string> files;  // to convert, in the order given
};

// Reads the arguments after the program's name. -h, --help and /? ask for the
// help, --version for the version; the first of them decides, and the files
// go unconverted. They are options only before "--", which ends the options
// and is no file itself. Every other argument is a file, one that starts
// with '-' too. With neither a file nor an option: the usage text.
CommandLine ParseCommandLine(int argc, const char* const argv[]);

}  // namespace rungwell
