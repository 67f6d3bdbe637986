#include <gtest/gtest.h>

#include <string>

#include "io/Win32.h"
#include "io/WindowsPath.h"

namespace rungwell {
namespace {

// Wine has no shares, so no run of the program reaches these forms.
TEST(WindowsPath, SharesTakeTheirOwnLongAndNativeForms) {
  const std::wstring name(MAX_PATH, L'n');
  EXPECT_EQ(ForSystem(L"\\\\server\\share\\" + name), L"\\\\?\\UNC\\server\\share\\" + name);
  EXPECT_EQ(ForSystem(L"\\\\server\\share\\plan.csv"), L"\\\\server\\share\\plan.csv");
  EXPECT_EQ(NativePath(L"\\\\server\\share\\plan.csv"), L"\\??\\UNC\\server\\share\\plan.csv");
  EXPECT_EQ(NativePath(L"C:\\plan.csv"), L"\\??\\C:\\plan.csv");
}

// A code without an errno value, such as this one for an output that another
// program holds, keeps the system's words, on one line like any reason.
TEST(WindowsPath, OtherCodesKeepTheSystemsTextOnOneLine) {
  const std::error_code error = Win32Error(ERROR_SHARING_VIOLATION);
  EXPECT_NE(error.category(), std::generic_category());
  const std::string message = error.message();
  ASSERT_FALSE(message.empty());
  EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
  EXPECT_NE(message.back(), '.') << message;
  EXPECT_EQ(message.find("32"), std::string::npos) << message;
}

}  // namespace
}  // namespace rungwell
