#include "driver/CommandLine.h"

#include <cstdint>
#include <string_view>

#include "csv/Utf8.h"

namespace rungwell {

namespace {

// The option an argument is, with its value joined to it or in the next
// argument, which it then takes.
struct ValueOption {
  std::string_view shortName;
  std::string_view longName;
};

constexpr ValueOption ColumnOption{"-c", "--level-column"};
constexpr ValueOption SeparatorOption{"-d", "--separator"};
constexpr ValueOption OutputOption{"-o", "--output"};

// The option given by the argument at i, as it was written, or nothing when
// it is none of option's forms. value is its value; missing, where no
// argument follows for it.
std::string_view Matches(const ValueOption& option, int argc, const char* const argv[], int& i, std::string_view& value,
                         bool& missing) {
  const std::string_view argument = argv[i];
  missing = false;
  if (argument == option.shortName || argument == option.longName) {
    missing = i + 1 >= argc;
    value = missing ? std::string_view() : std::string_view(argv[++i]);
    return argument;
  }
  if (argument.substr(0, option.longName.size() + 1) == std::string(option.longName) + "=") {
    value = argument.substr(option.longName.size() + 1);
    return option.longName;
  }
  if (argument.size() > option.shortName.size() && argument.substr(0, option.shortName.size()) == option.shortName) {
    value = argument.substr(option.shortName.size());
    return option.shortName;
  }
  return {};
}

// The one character text is, as a code point up to U+FFFF: a single byte as
// it is, or one character of UTF-8. None where text is more than that.
std::optional<std::uint16_t> OneCharacter(std::string_view text) {
  if (text.size() == 1) {
    return static_cast<unsigned char>(text[0]);
  }
  const auto units = Utf16FromUtf8(text);
  return units && units->size() == 1 ? std::optional<std::uint16_t>(units->front()) : std::nullopt;
}

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const argv[]) {
  CommandLine command;
  // The first mistake is the one told; later arguments may still ask for the help.
  const auto mistake = [&command](const std::string& what) {
    if (command.mistake.empty()) {
      command.mistake = what;
    }
  };
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    std::string_view value;
    bool missing = false;
    std::string name;
    // "-" is standard input, a file like any other.
    if (!options) {
      command.files.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      options = false;
    } else if (argument == "-h" || argument == "--help" || argument == "/?") {
      command.request = CommandLine::Request::Help;
      return command;
    } else if (argument == "--version") {
      command.request = CommandLine::Request::Version;
      return command;
    } else if (!(name = Matches(ColumnOption, argc, argv, i, value, missing)).empty()) {
      if (missing || value.empty()) {
        mistake("option " + name + (missing ? " needs a value" : " has an empty value"));
      } else if (value.find_first_not_of("0123456789") == std::string_view::npos) {
        // Leading zeros make no other column, and many digits no larger one.
        const std::string_view digits = value.substr(std::min(value.find_first_not_of('0'), value.size() - 1));
        const unsigned long column = digits.size() <= 6 ? std::stoul(std::string(digits)) : MaxLevelColumn + 1UL;
        if (column > MaxLevelColumn) {
          mistake("option " + name + " takes a column from 0 to " + std::to_string(MaxLevelColumn) + ", not " +
                  std::string(value));
        }
        command.layout.levelColumn = static_cast<unsigned>(column);
        command.layout.levelName.clear();
      } else {
        command.layout.levelName = std::string(value);
      }
    } else if (!(name = Matches(SeparatorOption, argc, argv, i, value, missing)).empty()) {
      const std::optional<std::uint16_t> separator =
          value == "tab" || value == "\\t" ? std::optional<std::uint16_t>('\t') : OneCharacter(value);
      if (missing || value.empty()) {
        mistake("option " + name + (missing ? " needs a value" : " has an empty value"));
      } else if (!separator) {
        mistake("option " + name + " takes one character, or tab, not " + Quoted(value));
      } else if (*separator == '"' || *separator == '\r' || *separator == '\n') {
        mistake("option " + name + " cannot take a quotation mark or a line end");
      }
      command.layout.separator = separator;
    } else if (!(name = Matches(OutputOption, argc, argv, i, value, missing)).empty()) {
      if (missing || value.empty()) {
        mistake("option " + name + (missing ? " needs a value" : " has an empty value"));
      }
      command.outputOption = name;
      command.output = std::string(value);
    } else {
      command.files.emplace_back(argument);
    }
  }
  if (command.output && command.files.size() > 1) {
    mistake("option " + command.outputOption + " takes one file, and " + std::to_string(command.files.size()) +
            " were given");
  }
  if (!command.mistake.empty()) {
    command.request = CommandLine::Request::Mistake;
  } else if (!command.files.empty()) {
    command.request = CommandLine::Request::Convert;
  }
  return command;
}

}  // namespace rungwell
