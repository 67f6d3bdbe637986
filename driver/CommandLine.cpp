#include "driver/CommandLine.h"

#include <string_view>

namespace rungwell {

CommandLine ParseCommandLine(int argc, const char* const argv[]) {
  CommandLine command;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (options && argument == "--") {
      options = false;
    } else if (options && (argument == "-h" || argument == "--help" || argument == "/?")) {
      command.request = CommandLine::Request::Help;
      return command;
    } else if (options && argument == "--version") {
      command.request = CommandLine::Request::Version;
      return command;
    } else {
      command.files.emplace_back(argument);
    }
  }
  if (!command.files.empty()) {
    command.request = CommandLine::Request::Convert;
  }
  return command;
}

}  // namespace rungwell
