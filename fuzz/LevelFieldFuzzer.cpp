// Differential check of the level field search and the level parser against
// plain models of the same rules, on arbitrary bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "csv/LevelRule.h"
#include "tests/PlainRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const std::string_view field = rungwell::FindLevelField(line);
  if (field != rungwell::plain::LevelField(line) || rungwell::ExtractLevelField(line) != field) {
    std::abort();
  }
  if (rungwell::ParseLevel(field) != rungwell::plain::Level(field)) {
    std::abort();
  }
  return 0;
}
