#include "driver/CommandLine.h"

#include <algorithm>
#include <cstdint>

#include "csv/Utf8.h"

namespace rungwell {

namespace {

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

std::string SetLevelColumn(CommandLine& command, std::string_view value, std::string_view written) {
  if (value.find_first_not_of("0123456789") != std::string_view::npos) {
    command.layout.levelName = std::string(value);
    return {};
  }
  // Leading zeros make no other column, and many digits no larger one.
  const std::string_view digits = value.substr(std::min(value.find_first_not_of('0'), value.size() - 1));
  const unsigned long column = digits.size() <= 6 ? std::stoul(std::string(digits)) : MaxLevelColumn + 1UL;
  command.layout.levelColumn = static_cast<unsigned>(column);
  command.layout.levelName.clear();
  if (column > MaxLevelColumn) {
    return "option " + std::string(written) + " takes a column from 0 to " + std::to_string(MaxLevelColumn) + ", not " +
           std::string(value);
  }
  return {};
}

std::string SetSeparator(CommandLine& command, std::string_view value, std::string_view written) {
  const std::optional<std::uint16_t> separator =
      value == "tab" || value == "\\t" ? std::optional<std::uint16_t>('\t') : OneCharacter(value);
  command.layout.separator = separator;
  if (!separator) {
    return "option " + std::string(written) + " takes one character, or tab, not " + Quoted(value);
  }
  if (*separator == '"' || *separator == '\r' || *separator == '\n') {
    return "option " + std::string(written) + " cannot take a quotation mark or a line end";
  }
  return {};
}

std::string SetOutput(CommandLine& command, std::string_view value, std::string_view written) {
  command.outputOption = std::string(written);
  command.output = std::string(value);
  return {};
}

std::string ReadOutlineNumbers(CommandLine& command, std::string_view /*value*/, std::string_view /*written*/) {
  command.layout.outlineNumbers = true;
  return {};
}

std::string ReadQuotedLevels(CommandLine& command, std::string_view /*value*/, std::string_view /*written*/) {
  command.layout.quotedLevels = true;
  return {};
}

std::string ReadRecordsOverLines(CommandLine& command, std::string_view /*value*/, std::string_view /*written*/) {
  command.layout.multiline = true;
  return {};
}

std::string AskForHelp(CommandLine& command, std::string_view /*value*/, std::string_view /*written*/) {
  command.request = CommandLine::Request::Help;
  return {};
}

std::string AskForVersion(CommandLine& command, std::string_view /*value*/, std::string_view /*written*/) {
  command.request = CommandLine::Request::Version;
  return {};
}

using Kind = Option::Kind;

// The option that argument, and the one after it, give: its value, and how
// it was written. missing is set where the value should be the next
// argument and there is none.
const Option* OptionOf(std::string_view argument, const char* next, std::string_view& value, std::string_view& written,
                       bool& missing) {
  for (const Option& option : Options()) {
    if (!argument.empty() &&
        (argument == option.shortName || argument == option.longName || argument == option.alias)) {
      written = argument;
      missing = option.kind == Kind::Value && next == nullptr;
      value = option.kind == Kind::Value && next != nullptr ? std::string_view(next) : std::string_view();
      return &option;
    }
    if (option.kind != Kind::Value) {
      continue;
    }
    if (argument.size() > option.longName.size() && argument.substr(0, option.longName.size()) == option.longName &&
        argument[option.longName.size()] == '=') {
      written = option.longName;
      value = argument.substr(option.longName.size() + 1);
      return &option;
    }
    if (!option.shortName.empty() && argument.size() > option.shortName.size() &&
        argument.substr(0, option.shortName.size()) == option.shortName) {
      written = option.shortName;
      value = argument.substr(option.shortName.size());
      return &option;
    }
  }
  return nullptr;
}

}  // namespace

const std::vector<Option>& Options() {
  static const std::vector<Option> options = {
      {Kind::Value, "-c", "--level-column", "", "N|NAME",
       "the level's column: its index, counted from 0,\nor its name in the first line (by default the\none the "
       "first line names as levels, such as\nOutline Level or WBS, else 5)",
       SetLevelColumn},
      {Kind::Value, "-d", "--separator", "", "X", "fields are separated by X (one character, or tab)", SetSeparator},
      {Kind::Value, "-o", "--output", "", "PATH", "where the output of the one file given goes;\n- is standard output",
       SetOutput},
      {Kind::Flag, "", "--outline-numbers", "", "", "the levels are outline numbers: 1.2.3 is level 3",
       ReadOutlineNumbers},
      {Kind::Flag, "", "--quoted-levels", "", "", "a level in quotation marks, \"3\", is read as 3", ReadQuotedLevels},
      {Kind::Flag, "", "--multiline", "", "", "cells in quotation marks may go on over lines", ReadRecordsOverLines},
      {Kind::Request, "-h", "--help", "/?", "", "this help", AskForHelp},
      {Kind::Request, "", "--version", "", "", "the version", AskForVersion},
      {Kind::EndOfOptions, "", "--", "", "", "ends the options", nullptr},
  };
  return options;
}

CommandLine ParseCommandLine(int argc, const char* const argv[]) {
  CommandLine command;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    std::string_view value;
    std::string_view written;
    bool missing = false;
    const Option* option =
        options ? OptionOf(argument, i + 1 < argc ? argv[i + 1] : nullptr, value, written, missing) : nullptr;
    if (option == nullptr) {
      // "-" is standard input, a file like any other.
      command.files.emplace_back(argument);
      continue;
    }
    if (option->kind == Kind::EndOfOptions) {
      options = false;
      continue;
    }
    if (option->kind == Kind::Value && argument == written && !missing) {
      ++i;  // the value was the next argument
    }
    std::string mistake;
    if (option->kind == Kind::Value && (missing || value.empty())) {
      mistake = "option " + std::string(written) + (missing ? " needs a value" : " has an empty value");
    } else {
      mistake = option->apply(command, value, written);
    }
    if (option->kind == Kind::Request) {
      return command;
    }
    // The first mistake is the one told; later arguments may still ask for the help.
    if (command.mistake.empty()) {
      command.mistake = mistake;
    }
  }
  if (!command.mistake.empty()) {
    command.request = CommandLine::Request::Mistake;
  } else if (!command.files.empty()) {
    command.request = CommandLine::Request::Convert;
  }
  return command;
}

}  // namespace rungwell
