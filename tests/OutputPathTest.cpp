#include <gtest/gtest.h>

#include "driver/OutputPath.h"

namespace rungwell {
namespace {

TEST(OutputPath, InsertsSuffixBeforeTheFileNamesLastDot) {
  struct Case {
    const char* input;
    const char* output;
  };
  const Case cases[] = {
      {"plan.csv", "plan_new.csv"},
      {"report.final.csv", "report.final_new.csv"},
      {"C:\\data\\plan.csv", "C:\\data\\plan_new.csv"},
      {"/home/u/plan.csv", "/home/u/plan_new.csv"},
      {"./plan.csv", "./plan_new.csv"},
      {"../plan", "../plan_new"},
      {"plan", "plan_new"},
      {"dir.v2/plan", "dir.v2/plan_new"},
      {"C:\\dir.v2\\plan", "C:\\dir.v2\\plan_new"},
      {"dir.v2\\sub/plan", "dir.v2\\sub/plan_new"},
      {"plan.", "plan_new."},
      {".csv", "_new.csv"},
      {"a b.c d", "a b_new.c d"},
      {"\xc3\xa9t\xc3\xa9.csv", "\xc3\xa9t\xc3\xa9_new.csv"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OutputPathFor(c.input), c.output) << c.input;
  }
}

}  // namespace
}  // namespace rungwell
