#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/Help.h"

namespace rungwell {
namespace {

using Names = std::vector<std::string>;
using Request = CommandLine::Request;

CommandLine Parse(const Names& args) {
  std::vector<const char*> argv = {"Rungwell"};
  for (const std::string& arg : args) {
    argv.push_back(arg.c_str());
  }
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

// What the command line asks for, argument by argument: the last value of
// an option counts whatever kind either value is, the first request
// decides, and the first mistake is the one told.
TEST(CommandLine, ReadsTheOptionsAndTheFiles) {
  struct Case {
    Names args;
    Request request;
    Names files = {};
    unsigned column = LevelColumn;
    std::string name = {};
    std::optional<std::uint16_t> separator = std::nullopt;
    std::optional<std::string> output = std::nullopt;
    std::string mistake = {};
  };
  const Case cases[] = {
      {{}, Request::Usage},
      {{"p.csv", "q.csv"}, Request::Convert, {"p.csv", "q.csv"}},
      {{""}, Request::Convert, {""}},
      {{"-"}, Request::Convert, {"-"}},
      {{"-c", "3", "p"}, Request::Convert, {"p"}, 3},
      {{"-c3", "p"}, Request::Convert, {"p"}, 3},
      {{"--level-column=3", "p"}, Request::Convert, {"p"}, 3},
      {{"--level-column", "0", "p"}, Request::Convert, {"p"}, 0},
      {{"-c", "0000005", "p"}, Request::Convert, {"p"}, 5},
      {{"-c", "00000000000000", "p"}, Request::Convert, {"p"}, 0},
      {{"-c", "65535", "p"}, Request::Convert, {"p"}, 65535},
      {{"-c", "65536", "p"},
       Request::Mistake,
       {"p"},
       65536,
       {},
       {},
       {},
       "option -c takes a column from 0 to 65535, not 65536"},
      {{"-c", "9999999", "p"},
       Request::Mistake,
       {"p"},
       65536,
       {},
       {},
       {},
       "option -c takes a column from 0 to 65535, not 9999999"},
      {{"-c", "Outline Level", "p"}, Request::Convert, {"p"}, LevelColumn, "Outline Level"},
      {{"-c", "Nope", "-c", "5", "p"}, Request::Convert, {"p"}, 5},
      {{"-c", "5", "--level-column=Level", "p"}, Request::Convert, {"p"}, 5, "Level"},
      {{"-c", "3", "-c", "4", "p"}, Request::Convert, {"p"}, 4},
      {{"-c", "--help"}, Request::Usage, {}, LevelColumn, "--help"},
      {{"-c"}, Request::Mistake, {}, LevelColumn, {}, {}, {}, "option -c needs a value"},
      {{"-c", "", "p"}, Request::Mistake, {"p"}, LevelColumn, {}, {}, {}, "option -c has an empty value"},
      {{"-d", ";", "p"}, Request::Convert, {"p"}, LevelColumn, {}, ';'},
      {{"-d", "tab", "p"}, Request::Convert, {"p"}, LevelColumn, {}, '\t'},
      {{"--separator=\\t", "p"}, Request::Convert, {"p"}, LevelColumn, {}, '\t'},
      {{"-d\xC2\xA7", "p"}, Request::Convert, {"p"}, LevelColumn, {}, 0xA7},
      {{"-d", "\xC3\xA9", "p"}, Request::Convert, {"p"}, LevelColumn, {}, 0xE9},
      {{"-d", "\xE2\x82\xAC", "p"}, Request::Convert, {"p"}, LevelColumn, {}, 0x20AC},
      {{"-d", "|", "-d", ";", "p"}, Request::Convert, {"p"}, LevelColumn, {}, ';'},
      {{"-d", "ab", "p"},
       Request::Mistake,
       {"p"},
       LevelColumn,
       {},
       {},
       {},
       "option -d takes one character, or tab, not \"ab\""},
      {{"-d", "\xF0\x9F\x93\x8B", "p"},
       Request::Mistake,
       {"p"},
       LevelColumn,
       {},
       {},
       {},
       "option -d takes one character, or tab, not \"\xF0\x9F\x93\x8B\""},
      {{"-d", "\"", "p"},
       Request::Mistake,
       {"p"},
       LevelColumn,
       {},
       '"',
       {},
       "option -d cannot take a quotation mark or a line end"},
      {{"-d", "\n", "p"},
       Request::Mistake,
       {"p"},
       LevelColumn,
       {},
       '\n',
       {},
       "option -d cannot take a quotation mark or a line end"},
      {{"-o", "out.csv", "p"}, Request::Convert, {"p"}, LevelColumn, {}, {}, "out.csv"},
      {{"--output=-", "-"}, Request::Convert, {"-"}, LevelColumn, {}, {}, "-"},
      {{"-o", "out.csv", "a", "b"}, Request::Convert, {"a", "b"}, LevelColumn, {}, {}, "out.csv"},
      {{"-o"}, Request::Mistake, {}, LevelColumn, {}, {}, {}, "option -o needs a value"},
      {{"--", "--help", "-c", "3"}, Request::Convert, {"--help", "-c", "3"}},
      {{"--", "-x.csv", "./-y.csv", "/z.csv"}, Request::Convert, {"-x.csv", "./-y.csv", "/z.csv"}},
      {{"-x", "p"}, Request::Mistake, {"p"}, LevelColumn, {}, {}, {}, "unknown option -x"},
      {{"-c", "-1", "p"},
       Request::Mistake,
       {"p"},
       LevelColumn,
       {},
       {},
       {},
       "option -c takes a column from 0 to 65535, not -1"},
      {{"-c", "-1x", "p"}, Request::Convert, {"p"}, LevelColumn, "-1x"},
      {{"p.csv", "--help"}, Request::Help},
      {{"/?"}, Request::Help},
      {{"--version", "-h"}, Request::Version},
      {{"-d", "ab", "--help"}, Request::Help},
      {{"--help=x"}, Request::Mistake, {}, LevelColumn, {}, {}, {}, "option --help takes no value"},
      {{"--level_column", "7", "--help"}, Request::Help},
      {{"-d", "ab", "-c", "70000", "p"},
       Request::Mistake,
       {"p"},
       70000,
       {},
       {},
       {},
       "option -d takes one character, or tab, not \"ab\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CommandLine command = Parse(c.args);
    EXPECT_EQ(command.request, c.request);
    if (c.request == Request::Help || c.request == Request::Version) {
      continue;
    }
    EXPECT_EQ(command.mistake, c.mistake);
    EXPECT_EQ(command.files, c.files);
    EXPECT_EQ(command.layout.levelColumn.value_or(LevelColumn), c.column);
    EXPECT_EQ(command.layout.levelName, c.name);
    EXPECT_EQ(command.layout.separator, c.separator);
    EXPECT_EQ(command.output, c.output);
  }
}

// An argument before "--" that starts with '-' and is no option is a
// mistake, told with the option nearest in spelling, if one is near enough
// to have been meant.
TEST(CommandLine, UnknownOptionsSuggestTheNearest) {
  const std::pair<const char*, const char*> cases[] = {
      {"--level_column", "unknown option --level_column (did you mean --level-column?)"},
      {"--levelcolumn=7", "unknown option --levelcolumn (did you mean --level-column?)"},
      {"-level-column", "unknown option -level-column (did you mean --level-column?)"},
      {"--Level-Colum", "unknown option --Level-Colum (did you mean --level-column?)"},
      {"-C", "unknown option -C (did you mean -c?)"},
      {"--hlep", "unknown option --hlep (did you mean --help?)"},
      {"--OUTPUT=x", "unknown option --OUTPUT (did you mean --output?)"},
      {"--ouptut", "unknown option --ouptut (did you mean --output?)"},
      {"--column", "unknown option --column"},
      {"--helper", "unknown option --helper"},
      {"-x", "unknown option -x"},
      {"-hx", "unknown option -hx"},
      {"--=3", "unknown option --=3"},
  };
  for (const auto& [argument, mistake] : cases) {
    SCOPED_TRACE(argument);
    const CommandLine command = Parse({argument, "p.csv"});
    EXPECT_EQ(command.request, Request::Mistake);
    EXPECT_EQ(command.mistake, mistake);
  }
}

// A flag is on once given, takes no value, and is suggested as any other.
TEST(CommandLine, FlagsTakeNoValue) {
  static int timesGiven = 0;
  const std::vector<Option> options = {
      {Option::Kind::Flag, "", "--multiline", "", "", "",
       [](CommandLine&, std::string_view value, std::string_view) {
         ++timesGiven;
         return value.empty() ? std::string() : std::string("a value");
       }},
      {Option::Kind::EndOfOptions, "", "--", "", "", "", nullptr},
  };
  const auto parse = [&options](std::vector<const char*> argv) {
    argv.insert(argv.begin(), "Rungwell");
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options);
  };
  EXPECT_EQ(parse({"--multiline", "p.csv", "--multiline"}).files, Names{"p.csv"});
  EXPECT_EQ(timesGiven, 2);
  EXPECT_EQ(parse({"--multiline=yes", "p.csv"}).mistake, "option --multiline takes no value");
  EXPECT_EQ(parse({"--multi_line", "p.csv"}).mistake, "unknown option --multi_line (did you mean --multiline?)");
  EXPECT_EQ(parse({"--", "--multiline"}).files, Names{"--multiline"});
  EXPECT_EQ(timesGiven, 2);
}

// The help is read in a console of 80 columns.
TEST(CommandLine, HelpFitsEightyColumnsAndListsEveryOption) {
  const std::string help = HelpText({});
  for (std::size_t start = 0, end = 0; start < help.size(); start = end + 1) {
    end = help.find('\n', start);
    EXPECT_LE(end - start, 80U) << help.substr(start, end - start);
  }
  for (const Option& option : Options()) {
    EXPECT_NE(help.find("  " + std::string(option.shortName.empty() ? option.longName : option.shortName)),
              std::string::npos)
        << option.longName;
  }
}

// The command line as the README puts it, for random argument lists to be
// held against: what is asked, which files, and what the options set.
struct PlainCommand {
  Request request = Request::Usage;
  Names files;
  std::optional<unsigned> column;
  std::string name;
  std::optional<std::uint16_t> separator;
  std::optional<std::string> output;
  bool outlineNumbers = false;
  bool quotedLevels = false;
  bool multiline = false;
  std::string mistake;  // for an unknown option, only as far as its name
};

PlainCommand ReadPlainly(const Names& args) {
  PlainCommand command;
  const auto mistake = [&command](const std::string& text) {
    if (command.mistake.empty()) {
      command.mistake = text;
    }
  };
  // The value of an option that takes one, as its text gives it.
  const auto setColumn = [&](const std::string& as, const std::string& value) {
    const bool digits = !value.empty() && std::all_of(value.begin(), value.end(), ::isdigit);
    const bool negative = value.size() > 1 && value[0] == '-' &&
                          std::all_of(value.begin() + 1, value.end(), [](char c) { return std::isdigit(c) != 0; });
    const std::string refused = "option " + as + " takes a column from 0 to 65535, not " + value;
    if (negative) {
      return mistake(refused);
    }
    if (!digits) {
      command.name = value;
      return;
    }
    std::string trimmed = value.substr(std::min(value.find_first_not_of('0'), value.size() - 1));
    command.name.clear();
    command.column = trimmed.size() > 5 ? 65536U : static_cast<unsigned>(std::stoul(trimmed));
    if (*command.column > 65535) {
      mistake(refused);
    }
  };
  const auto setSeparator = [&](const std::string& as, const std::string& value) {
    const std::map<std::string, std::uint16_t> named = {
        {"tab", '\t'}, {"\\t", '\t'}, {"\xC2\xA7", 0xA7}, {"\xC3\xA9", 0xE9}};
    std::optional<std::uint16_t> separator;
    if (named.count(value) != 0) {
      separator = named.at(value);
    } else if (value.size() == 1) {
      separator = static_cast<unsigned char>(value[0]);
    }
    command.separator = separator;
    if (!separator) {
      mistake("option " + as + " takes one character, or tab, not \"" + value + "\"");
    } else if (*separator == '"') {
      mistake("option " + as + " cannot take a quotation mark or a line end");
    }
  };
  const std::map<std::string, std::string> longOf = {
      {"-c", "--level-column"}, {"-d", "--separator"}, {"-o", "--output"}, {"-h", "--help"}};
  const std::vector<std::string> withValue = {"--level-column", "--separator", "--output"};
  const std::vector<std::string> flags = {"--outline-numbers", "--quoted-levels", "--multiline"};
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options || arg == "-" || arg.empty() || (arg[0] != '-' && arg != "/?")) {
      command.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options = false;
      continue;
    }
    if (arg == "-h" || arg == "--help" || arg == "/?" || arg == "--version") {
      command.request = arg == "--version" ? Request::Version : Request::Help;
      return command;
    }
    // The option, as written, and a value joined to it.
    std::string as = arg;
    std::optional<std::string> joined;
    const std::size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      as = arg.substr(0, equals);
      joined = arg.substr(equals + 1);
    } else if (arg.size() > 2 && arg[1] != '-' && longOf.count(arg.substr(0, 2)) != 0 && arg.substr(0, 2) != "-h") {
      as = arg.substr(0, 2);
      joined = arg.substr(2);
    }
    const std::string full = longOf.count(as) != 0 ? longOf.at(as) : as;
    if (std::find(flags.begin(), flags.end(), full) != flags.end() || full == "--help" || full == "--version") {
      if (joined) {
        mistake("option " + as + " takes no value");
        continue;
      }
      command.outlineNumbers = command.outlineNumbers || full == "--outline-numbers";
      command.quotedLevels = command.quotedLevels || full == "--quoted-levels";
      command.multiline = command.multiline || full == "--multiline";
      continue;
    }
    if (std::find(withValue.begin(), withValue.end(), full) == withValue.end()) {
      const std::string name = arg.rfind("--", 0) == 0 && equals != std::string::npos ? arg.substr(0, equals) : arg;
      mistake("unknown option " + name);
      continue;
    }
    if (!joined && i + 1 == args.size()) {
      mistake("option " + as + " needs a value");
      continue;
    }
    const std::string value = joined ? *joined : args[++i];
    if (value.empty()) {
      mistake("option " + as + " has an empty value");
    } else if (full == "--level-column") {
      setColumn(as, value);
    } else if (full == "--separator") {
      setSeparator(as, value);
    } else {
      command.output = value;
    }
  }
  if (!command.mistake.empty()) {
    command.request = Request::Mistake;
  } else if (!command.files.empty()) {
    command.request = Request::Convert;
  }
  return command;
}

// Random argument lists of options, their values in every form, --, - and
// files, read by the parser and by the README's rules.
TEST(CommandLine, AgreesWithThePlainRulesOnRandomArguments) {
  const Names words = {"-c",
                       "--level-column",
                       "-c3",
                       "--level-column=Level",
                       "-c-1",
                       "-d",
                       ";",
                       "tab",
                       "ab",
                       "--separator=|",
                       "-o",
                       "out.csv",
                       "--output=-",
                       "-",
                       "--",
                       "--help",
                       "-h",
                       "/?",
                       "--version",
                       "--multiline",
                       "--quoted-levels=x",
                       "--outline-numbers",
                       "--quoted-levels",
                       "-x",
                       "--levelcolumn",
                       "plan.csv",
                       "-1",
                       "",
                       "0000005",
                       "65536",
                       "Level",
                       "\xC2\xA7",
                       "\"",
                       "--help=x",
                       "-d\xC3\xA9",
                       "/data/plan.csv"};
  std::mt19937 random(20261210);
  for (int round = 0; round < 20000; ++round) {
    Names args(random() % 7);
    for (std::string& arg : args) {
      arg = words[random() % words.size()];
    }
    SCOPED_TRACE(::testing::PrintToString(args));
    const CommandLine command = Parse(args);
    const PlainCommand plainly = ReadPlainly(args);
    ASSERT_EQ(command.request, plainly.request);
    if (plainly.request == Request::Mistake) {
      ASSERT_EQ(command.mistake.substr(0, plainly.mistake.size()), plainly.mistake);
      continue;
    }
    if (plainly.request != Request::Convert && plainly.request != Request::Usage) {
      continue;
    }
    ASSERT_EQ(command.files, plainly.files);
    ASSERT_EQ(command.layout.levelColumn, plainly.column);
    ASSERT_EQ(command.layout.levelName, plainly.name);
    ASSERT_EQ(command.layout.separator, plainly.separator);
    ASSERT_EQ(command.output, plainly.output);
    ASSERT_EQ(command.layout.outlineNumbers, plainly.outlineNumbers);
    ASSERT_EQ(command.layout.quotedLevels, plainly.quotedLevels);
    ASSERT_EQ(command.layout.multiline, plainly.multiline);
  }
}

}  // namespace
}  // namespace rungwell
