// The bash completion, run in bash as the shell runs it on a Tab.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/Completion.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using namespace testing;

// What the script offers for the words of a command line, the last being
// the one completed: the words offered, or "files" where it leaves bash to
// offer files and folders.
std::string Complete(const std::string& script, const std::vector<std::string>& words) {
  TempDir dir;
  // compopt works only inside a real completion; here it tells whether
  // files were turned off.
  WriteFile(dir.File("complete.sh"), R"(compopt() { [[ $* == "+o default" ]] && files=; }
. "$1" || exit 1
shift
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
files=files
_rungwell
(( ${#COMPREPLY[@]} )) && echo "${COMPREPLY[*]}" || echo "$files"
complete -p Rungwell rungwell >/dev/null || echo "not registered for both names"
)");
  std::string command = "bash --norc --noprofile " + dir.File("complete.sh") + " '" + script + "'";
  for (const std::string& word : words) {
    command += " '" + word + "'";
  }
  FILE* shell = popen(command.c_str(), "r");
  std::string output;
  char chunk[256];
  for (std::size_t got = 0; shell != nullptr && (got = std::fread(chunk, 1, sizeof chunk, shell)) > 0;) {
    output.append(chunk, got);
  }
  const int status = shell != nullptr ? pclose(shell) : -1;
  EXPECT_EQ(status, 0) << output;
  return output.substr(0, output.find_last_not_of('\n') + 1);
}

// The script the build made, from the program's own table, offers every
// long option of it: neither can change without the other.
TEST(Completion, OffersEveryLongOptionOfTheTable) {
  std::string longOptions;
  for (const Option& option : Options()) {
    longOptions += (longOptions.empty() ? "" : " ") + std::string(option.longName);
  }
  EXPECT_EQ(Complete(RUNGWELL_COMPLETION, {"rungwell", "--"}), longOptions);
}

// Each value in its form: words where the table gives them, files where it
// is a path, nothing where it is typed; files after "--" and for files.
TEST(Completion, OffersEachValueInItsForm) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"Rungwell", "--sep"}, "--separator"},
      {{"Rungwell", "-"},
       "-c --level-column -d --separator -o --output --outline-numbers --quoted-levels --multiline -h --help --version "
       "--"},
      {{"Rungwell", "-d", ""}, "tab"},
      {{"Rungwell", "--separator", "=", ""}, "tab"},
      {{"Rungwell", "--separator", "=", "t"}, "tab"},
      {{"Rungwell", "-c", ""}, ""},
      {{"Rungwell", "--level-column", "="}, ""},
      {{"Rungwell", "-o", ""}, "files"},
      {{"Rungwell", "plan.csv", ""}, "files"},
      {{"Rungwell", "--", "-d", ""}, "files"},
  };
  for (const auto& [words, offered] : cases) {
    SCOPED_TRACE(::testing::PrintToString(words));
    EXPECT_EQ(Complete(RUNGWELL_COMPLETION, words), offered);
  }
}

// A flag takes no value: what follows it is a file.
TEST(Completion, OffersFilesAfterAFlag) {
  const std::vector<Option> options = {
      {Option::Kind::Flag, "", "--multiline", "", "", "", nullptr},
      {Option::Kind::Value, "-c", "--level-column", "", "N", "", nullptr},
  };
  TempDir dir;
  WriteFile(dir.File("completion"), BashCompletion(options));
  EXPECT_EQ(Complete(dir.File("completion"), {"Rungwell", "--multi"}), "--multiline");
  EXPECT_EQ(Complete(dir.File("completion"), {"Rungwell", "--multiline", ""}), "files");
  EXPECT_EQ(Complete(dir.File("completion"), {"Rungwell", "--multiline", "-c", ""}), "");
}

}  // namespace
}  // namespace rungwell
