#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace rungwell::testing {

// A fresh directory under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path; }
  std::string File(std::string_view name) const;
  // Names of the entries in the directory, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::string path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);

// Whether two byte strings are the same, told as their sizes and the first
// offset where they differ, with a few bytes of each around it: a failure
// stays one short line however large the strings, where printing both
// whole, or a diff of them, can take minutes and gigabytes.
//   EXPECT_TRUE(SameBytes(output, expected)) << what;
::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected);

}  // namespace rungwell::testing
