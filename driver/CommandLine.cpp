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
  const std::string refused =
      "option " + std::string(written) + " takes a column from 0 to " + std::to_string(MaxLevelColumn) + ", not ";
  // A negative number is a column given wrongly, not the name of one.
  if (value.size() > 1 && value[0] == '-' && value.find_first_not_of("0123456789", 1) == std::string_view::npos) {
    return refused + std::string(value);
  }
  if (value.find_first_not_of("0123456789") != std::string_view::npos) {
    command.layout.levelName = std::string(value);
    return {};
  }
  // Leading zeros make no other column, and many digits no larger one.
  const std::string_view digits = value.substr(std::min(value.find_first_not_of('0'), value.size() - 1));
  const unsigned long column = digits.size() <= 6 ? std::stoul(std::string(digits)) : MaxLevelColumn + 1UL;
  command.layout.levelColumn = static_cast<unsigned>(column);
  command.layout.levelName.clear();
  return column > MaxLevelColumn ? refused + std::string(value) : std::string();
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

// An option found in an argument: how it was written, and the value joined
// to it, if any (-c3, --level-column=3, --help=x).
struct Match {
  const Option* option = nullptr;
  std::string_view written;
  std::optional<std::string_view> joined;
};

Match Find(std::string_view argument, const std::vector<Option>& options) {
  for (const Option& option : options) {
    for (const std::string_view name : {option.shortName, option.longName, option.alias}) {
      if (!name.empty() && argument == name) {
        return {&option, argument, std::nullopt};
      }
    }
    const std::string_view longName = option.longName;
    if (option.kind != Kind::EndOfOptions && argument.size() > longName.size() &&
        argument.substr(0, longName.size()) == longName && argument[longName.size()] == '=') {
      return {&option, longName, argument.substr(longName.size() + 1)};
    }
    const std::string_view shortName = option.shortName;
    if (option.kind == Kind::Value && !shortName.empty() && argument.size() > shortName.size() &&
        argument.substr(0, shortName.size()) == shortName) {
      return {&option, shortName, argument.substr(shortName.size())};
    }
  }
  return {};
}

// The text as the suggestions compare it: a misspelling by case, or by '_'
// for '-', is no misspelling.
std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    c = c == '_' ? '-' : c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return folded;
}

// How many letters one must add, drop, change or swap with its neighbour to
// make one text from the other.
std::size_t EditDistance(std::string_view one, std::string_view other) {
  std::vector<std::vector<std::size_t>> d(one.size() + 1, std::vector<std::size_t>(other.size() + 1));
  for (std::size_t i = 0; i <= one.size(); ++i) {
    for (std::size_t j = 0; j <= other.size(); ++j) {
      if (i == 0 || j == 0) {
        d[i][j] = i + j;
        continue;
      }
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (one[i - 1] == other[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && one[i - 1] == other[j - 2] && one[i - 2] == other[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[one.size()][other.size()];
}

// The option nearest to a name that is none, where one is near enough to
// have been meant: one letter in three of its name may be wrong, two at the
// most, so that -x suggests nothing while --levelcolumn suggests
// --level-column.
std::string_view Suggestion(std::string_view name, const std::vector<Option>& options) {
  const std::string folded = Folded(name);
  std::string_view nearest;
  std::size_t best = 3;
  for (const Option& option : options) {
    for (const std::string_view spelling : {option.shortName, option.longName}) {
      // Texts whose lengths differ by more are further apart, however long.
      if (spelling.empty() || folded.size() > spelling.size() + best) {
        continue;
      }
      const std::size_t letters = spelling.size() - std::min(spelling.find_first_not_of('-'), spelling.size());
      const std::size_t distance = EditDistance(folded, Folded(spelling));
      if (distance <= letters / 3 && distance < best) {
        nearest = spelling;
        best = distance;
      }
    }
  }
  return nearest;
}

std::string UnknownOption(std::string_view argument, const std::vector<Option>& options) {
  // A value joined to a long name is no part of the name.
  const std::size_t equals = argument.find('=');
  const std::string_view name = argument.substr(0, 2) == "--" && equals != std::string_view::npos && equals > 2
                                    ? argument.substr(0, equals)
                                    : argument;
  const std::string_view suggestion = Suggestion(name, options);
  return "unknown option " + std::string(name) +
         (suggestion.empty() ? std::string() : " (did you mean " + std::string(suggestion) + "?)");
}

}  // namespace

const std::vector<Option>& Options() {
  static const std::vector<Option> options = {
      {Kind::Value, "-c", "--level-column", "", "N|NAME",
       "the level's column: its index, counted from 0,\nor its name in the first line (by default the\none the "
       "first line names as levels, such as\nOutline Level or WBS, else 5)",
       SetLevelColumn},
      {Kind::Value, "-d", "--separator", "", "X", "fields are separated by X (one character, or tab)", SetSeparator,
       false, "tab"},
      {Kind::Value, "-o", "--output", "", "PATH",
       "the output of the one file given, or a folder\nfor every file's output (an existing one, or\n"
#ifdef _WIN32
       "PATH\\"
#else
       "PATH/"
#endif
       "); - is standard output",
       SetOutput, true},
      {Kind::Flag, "", "--outline-numbers", "", "", "the levels are outline numbers: 1.2.3 is level 3",
       ReadOutlineNumbers},
      {Kind::Flag, "", "--quoted-levels", "", "", "a level in quotation marks, \"3\", is read as 3", ReadQuotedLevels},
      {Kind::Flag, "", "--multiline", "", "", "cells in quotation marks may go on over lines", ReadRecordsOverLines},
      {Kind::Request, "-h", "--help", "/?", "", "this help", AskForHelp},
      {Kind::Request, "", "--version", "", "", "the version", AskForVersion},
      {Kind::EndOfOptions, "", "--", "", "", "ends the options: every argument after it is a file", nullptr},
  };
  return options;
}

CommandLine ParseCommandLine(int argc, const char* const argv[]) {
  return ParseCommandLine(argc, argv, Options());
}

CommandLine ParseCommandLine(int argc, const char* const argv[], const std::vector<Option>& options) {
  CommandLine command;
  bool optionsCount = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const Match match = optionsCount ? Find(argument, options) : Match{};
    std::string mistake;
    if (match.option == nullptr) {
      // "-" is standard input, a file like any other; "/" starts a path.
      if (!optionsCount || argument.size() < 2 || argument[0] != '-') {
        command.files.emplace_back(argument);
        continue;
      }
      mistake = UnknownOption(argument, options);
    } else if (match.option->kind == Kind::EndOfOptions) {
      optionsCount = false;
      continue;
    } else if (match.option->kind != Kind::Value) {
      if (match.joined) {
        mistake = "option " + std::string(match.written) + " takes no value";
      } else {
        mistake = match.option->apply(command, {}, match.written);
        if (match.option->kind == Kind::Request) {
          return command;
        }
      }
    } else {
      const bool missing = !match.joined && i + 1 == argc;
      const std::string_view value = match.joined ? *match.joined : missing ? std::string_view() : argv[++i];
      if (missing || value.empty()) {
        mistake = "option " + std::string(match.written) + (missing ? " needs a value" : " has an empty value");
      } else {
        mistake = match.option->apply(command, value, match.written);
      }
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
