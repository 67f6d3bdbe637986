#include <gtest/gtest.h>

#include <string>
#include <system_error>
#include <vector>

#include "io/UnfinishedFile.h"
#include "tests/TestFiles.h"

namespace rungwell {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::string Earlier = "the earlier output\n";
const std::string Data = "the new output\n";

// A network share that takes the writes and refuses the data at the close.
std::error_code QuotaExceeded() {
  return std::make_error_code(std::errc::no_space_on_device);
}

// The output is replaced only once its data is known to be safe, so a
// failure there leaves the folder exactly as it was.
TEST(UnfinishedFile, FailureAtTheFinishLeavesTheFolderAsItWas) {
  for (const bool earlier : {true, false}) {
    TempDir dir;
    if (earlier) {
      WriteFile(dir.File("out.csv"), Earlier);
    }
    const std::vector<std::string> before = dir.Entries();
    UnfinishedFile file;
    ASSERT_FALSE(file.Create(dir.File("out.csv"), DefaultPermissions));
    ASSERT_FALSE(file.Write(Data.data(), Data.size()));
    UnfinishedFile::finishFaultForTests = QuotaExceeded;
    EXPECT_EQ(file.Publish(), QuotaExceeded()) << "earlier output " << earlier;
    UnfinishedFile::finishFaultForTests = nullptr;
    file.Discard();
    EXPECT_EQ(dir.Entries(), before);
    if (earlier) {
      EXPECT_EQ(ReadFile(dir.File("out.csv")), Earlier);
    }
  }
}

}  // namespace
}  // namespace rungwell
