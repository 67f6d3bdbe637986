// Differential check of the scan, which finds each line's level field, and of
// the level parser against plain models of the same rules, on arbitrary bytes:
// lines, quoting and fields of every length, starting anywhere in the scan's
// 64-byte blocks.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "csv/LevelRule.h"
#include "tests/PlainRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<rungwell::LineIndent> indents;
  for (const bool final : {false, true}) {
    const rungwell::plain::Scan expected = rungwell::plain::ScanLines(bytes, final);
    indents.clear();
    if (rungwell::ScanLines(bytes, final, indents) != expected.taken || indents != expected.indents) {
      std::abort();
    }
  }
  if (rungwell::ParseLevel(bytes) != rungwell::plain::Level(bytes)) {
    std::abort();
  }
  return 0;
}
