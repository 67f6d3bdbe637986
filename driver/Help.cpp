#include "driver/Help.h"

#include <algorithm>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <filesystem>
#endif

#include "driver/CommandLine.h"

namespace rungwell {

namespace {

// How an option is written on the left of its help.
std::string Synopsis(const Option& option) {
  if (option.kind == Option::Kind::EndOfOptions) {
    return "  " + std::string(option.longName);
  }
  std::string text = option.shortName.empty() ? "      " : "  " + std::string(option.shortName) + ", ";
  text += option.longName;
  if (!option.alias.empty()) {
    text += ", " + std::string(option.alias);
  }
  if (!option.valueName.empty()) {
    text += " " + std::string(option.valueName);
  }
  return text;
}

// Each option's synopsis, and its help beside it in a column of its own.
std::string OptionList() {
  std::size_t width = 0;
  for (const Option& option : Options()) {
    width = std::max(width, Synopsis(option).size());
  }
  const std::size_t column = width + 2;
  std::string list;
  for (const Option& option : Options()) {
    const std::string synopsis = Synopsis(option);
    list += synopsis + std::string(column - synopsis.size(), ' ');
    for (const char c : option.help) {
      list += c;
      if (c == '\n') {
        list += std::string(column, ' ');
      }
    }
    list += '\n';
  }
  return list;
}

#ifndef _WIN32
// Where this installation put the docs, found from where the program is, so
// that a copy under /usr/local names its own; empty where there are none
// (a build that was never installed).
std::string DocumentationFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return {};
  }
  const std::filesystem::path folder = (program.parent_path() / RUNGWELL_DOCS_FROM_PROGRAM).lexically_normal();
  return std::filesystem::is_regular_file(folder / "README.md", error) ? folder.string() : std::string();
}
#endif

}  // namespace

std::string UsageText(const LayoutChoice& layout) {
  const std::string column = layout.levelName.empty() ? std::to_string(layout.levelColumn.value_or(LevelColumn))
                                                      : "the one named \"" + layout.levelName + "\"";
  return "Rungwell.exe [file path]\nthe level column is " + column + " (0 begin)\n";
}

std::string HelpText(const LayoutChoice& layout) {
#ifndef _WIN32
  const std::string documentation = DocumentationFolder();
#endif
  return UsageText(layout) +
         "\n"
         "Indents each line of a comma-separated plan by its level: two spaces for\n"
         "each level above 1. The copy goes beside the file, with _new before the\n"
#ifdef _WIN32
         "extension: plan.csv gives plan_new.csv. Several files may be given, and\n"
         "wildcards such as *.csv; one that is the output of another is skipped.\n"
         "A file named - is standard input, converted to standard output. Any\n"
         "other argument that starts with - must be an option: name a file such as\n"
         "-x.csv after --, or as .\\-x.csv. Other than /?, one starting with / is a path.\n"
#else
         "extension: plan.csv gives plan_new.csv. Several files may be given; one\n"
         "that is the output of another is skipped. A file named - is standard\n"
         "input, converted to standard output. Any other argument that starts\n"
         "with - must be an option: name a file such as -x.csv after --, or as\n"
         "./-x.csv.\n"
#endif
         "\n" +
         OptionList() +
         "\n"
         "Rungwell " RUNGWELL_VERSION
#ifdef _WIN32
         ". More in README.txt, beside Rungwell.exe.\n";
#else
         ". More in " +
         (documentation.empty() ? std::string("README.md, which comes with the sources")
                                : documentation + "/README.md") +
         ".\n";
#endif
}

std::string VersionText() {
  return "Rungwell " RUNGWELL_VERSION "\n";
}

}  // namespace rungwell
