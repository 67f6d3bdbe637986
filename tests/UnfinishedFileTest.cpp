#include <gtest/gtest.h>

#include <string>
#include <system_error>
#include <vector>

#include "io/UnfinishedFile.h"
#include "tests/TestFiles.h"

#ifdef _WIN32
#include <thread>

#include "io/Win32.h"
#endif

namespace rungwell {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// What a call that returns why it failed returns when it did not.
const std::error_code Success;

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
    ASSERT_EQ(file.Create(dir.File("out.csv"), DefaultPermissions), Success);
    ASSERT_EQ(file.Write(Data.data(), Data.size()), Success);
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

// Space set aside changes nothing the file holds: it ends where its bytes
// end, whether they reach the space's end, stop short of it or go past it,
// written in any order.
TEST(UnfinishedFile, SpaceSetAsideLeavesTheFileItsOwnSize) {
  const std::string bytes(10000, 'x');
  for (const std::size_t reserved : {std::size_t{0}, std::size_t{4096}, bytes.size(), 3 * bytes.size()}) {
    TempDir dir;
    UnfinishedFile file;
    ASSERT_EQ(file.Create(dir.File("out.csv"), DefaultPermissions), Success);
    file.Reserve(reserved);
    ASSERT_EQ(file.WriteAt(6000, bytes.data() + 6000, 4000), Success);
    ASSERT_EQ(file.WriteAt(0, bytes.data(), 6000), Success);
    ASSERT_EQ(file.Publish(), Success);
    const std::string written = ReadFile(dir.File("out.csv"));
    EXPECT_EQ(written.size(), bytes.size()) << reserved << " bytes set aside";
    EXPECT_EQ(written.find_first_not_of('x'), std::string::npos) << reserved << " bytes set aside";
  }
}

#ifdef _WIN32
// Another program holds the earlier output open without sharing its
// deletion, as Excel does: Create says so at once. One that lets go soon, as
// a virus scanner does, is waited for at the rename.
TEST(UnfinishedFile, OutputHeldWithoutDeleteSharing) {
  TempDir dir;
  const std::string path = dir.File("out.csv");
  WriteFile(path, Earlier);
  const auto hold = [&path] {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  };
  HANDLE held = hold();
  UnfinishedFile file;
  EXPECT_EQ(file.Create(path, DefaultPermissions), Win32Error(ERROR_SHARING_VIOLATION));
  (void)CloseHandle(held);

  ASSERT_EQ(file.Create(path, DefaultPermissions), Success);
  ASSERT_EQ(file.Write(Data.data(), Data.size()), Success);
  held = hold();
  std::thread scanner([held] {
    Sleep(200);
    (void)CloseHandle(held);
  });
  const std::error_code error = file.Publish();
  scanner.join();
  EXPECT_EQ(error, Success) << error.message();
  EXPECT_EQ(ReadFile(path), Data);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.csv"});
}
#endif

}  // namespace
}  // namespace rungwell
