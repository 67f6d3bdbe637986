#include "csv/LevelField.h"

namespace rungwell {

std::string_view FindLevelField(std::string_view line) noexcept {
  std::size_t start = 0;
  for (int index = 0;; ++index) {
    bool quoted = false;
    std::size_t end = start;
    while (end < line.size() && (quoted || line[end] != ',')) {
      if (line[end] == '"') {
        quoted = !quoted;
      }
      ++end;
    }
    if (index == LevelColumn) {
      return line.substr(start, end - start);
    }
    if (end == line.size()) {
      return {};
    }
    start = end + 1;
  }
}

std::string ExtractLevelField(const std::string& line) {
  return std::string(FindLevelField(line));
}

}  // namespace rungwell
