#include "driver/Completion.h"

namespace rungwell {

std::string BashCompletion(const std::vector<Option>& options) {
  std::string names;
  std::string values;
  for (const Option& option : options) {
    for (const std::string_view name : {option.shortName, option.longName}) {
      if (!name.empty()) {
        names += (names.empty() ? "" : " ") + std::string(name);
      }
    }
    if (option.kind != Option::Kind::Value) {
      continue;
    }
    values += "    " + (option.shortName.empty() ? "" : std::string(option.shortName) + "|") +
              std::string(option.longName) + ")\n";
    // A value that is typed, such as a number, is no file's name.
    if (!option.completesPaths) {
      values += "      compopt +o default\n";
    }
    if (!option.completionWords.empty()) {
      values += "      COMPREPLY=($(compgen -W '" + std::string(option.completionWords) + "' -- \"$cur\"))\n";
    }
    values += "      return 0\n      ;;\n";
  }
  return "# bash completion for Rungwell and rungwell, made from the program's own\n"
         "# table of options when it was built.\n"
         "\n"
         "_rungwell() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} i\n"
         "  COMPREPLY=()\n"
         "  # After --, every argument is a file.\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    [[ ${COMP_WORDS[i]} == -- ]] && return 0\n"
         "  done\n"
         "  # bash splits --option=value at the =.\n"
         "  if [[ $cur == = ]]; then\n"
         "    cur=\n"
         "  elif [[ $prev == = ]]; then\n"
         "    prev=${COMP_WORDS[COMP_CWORD - 2]}\n"
         "  fi\n"
         "  case $prev in\n" +
         values +
         "  esac\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W '" +
         names +
         "' -- \"$cur\"))\n"
         "  fi\n"
         "}\n"
         "complete -o default -F _rungwell Rungwell rungwell\n";
}

}  // namespace rungwell
