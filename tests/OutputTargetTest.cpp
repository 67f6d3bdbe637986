#include <gtest/gtest.h>

#include <string>
#include <system_error>

#include "io/OutputTarget.h"
#include "tests/TestFiles.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#endif

namespace rungwell {
namespace {

using namespace std::string_literals;
using testing::TempDir;
using testing::WriteFile;
using Kind = OutputTarget::Kind;

OutputTarget TargetOf(const std::string& path) {
  OutputTarget target;
  const std::error_code error = FindOutputTarget(path, target);
  EXPECT_FALSE(error) << path << ": " << error.message();
  return target;
}

#ifdef _WIN32
// The device names go to the device namespace, as the system takes them;
// a file on a drive named the long way is a file.
TEST(OutputTarget, DeviceNamesAndNamedPipesAreWrittenAsTheyStand) {
  for (const char* device : {"NUL", "nul", "CON", "\\\\.\\pipe\\rungwell-test", "\\\\.\\NUL"}) {
    const OutputTarget target = TargetOf(device);
    EXPECT_EQ(target.kind, Kind::Device) << device;
    EXPECT_EQ(target.path, device);
  }
  for (const char* file : {"plan_new.csv", "C:\\data\\plan_new.csv", "\\\\.\\C:\\data\\plan_new.csv"}) {
    const OutputTarget target = TargetOf(file);
    EXPECT_EQ(target.kind, Kind::PlainFile) << file;
    EXPECT_EQ(target.path, file);
  }
}
#else
TEST(OutputTarget, DescriptorNamesAreTheirDescriptors) {
  const std::pair<const char*, int> named[] = {
      {"/dev/stdout", 1}, {"/dev/stderr", 2}, {"/dev/fd/0", 0}, {"/dev/fd/63", 63}, {"/proc/self/fd/7", 7}};
  for (const auto& [path, descriptor] : named) {
    const OutputTarget target = TargetOf(path);
    EXPECT_EQ(target.kind, Kind::Descriptor) << path;
    EXPECT_EQ(target.descriptor, descriptor) << path;
  }
  // Not descriptor names: in a folder of their own, they name files to make.
  TempDir dir;
  for (const char* name : {"/dev/fd/", "/dev/fd/-1", "/dev/fd/1x", "/dev/fd/1234567890", "/proc/self/fd/+3"}) {
    const OutputTarget target = TargetOf(dir.Path() + name);
    EXPECT_EQ(target.kind, Kind::PlainFile) << name;
  }
}

TEST(OutputTarget, PlainFilesFoldersAndNothingAreReplacedWhole) {
  TempDir dir;
  WriteFile(dir.File("plan_new.csv"), "earlier\n");
  for (const std::string& path : {dir.File("plan_new.csv"), dir.File("missing.csv"), dir.Path(), "relative.csv"s}) {
    const OutputTarget target = TargetOf(path);
    EXPECT_EQ(target.kind, Kind::PlainFile) << path;
    EXPECT_EQ(target.path, path);
  }
}

TEST(OutputTarget, DevicesAndFifosAreWrittenAsTheyStand) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink("fifo", dir.File("link"));
  for (const std::string& path : {dir.File("fifo"), dir.File("link"), "/dev/tty"s}) {
    const OutputTarget target = TargetOf(path);
    EXPECT_EQ(target.kind, Kind::Device) << path;
    EXPECT_EQ(target.path, path);
  }
}

// Each link's text is read from the folder of the link that holds it; the
// end of the chain is the file to replace, or to make.
TEST(OutputTarget, LinksAreFollowedToTheFileTheyName) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("a/b"));
  WriteFile(dir.File("a/b/target.csv"), "earlier\n");
  std::filesystem::create_symlink("b/target.csv", dir.File("a/second"));
  std::filesystem::create_symlink("a/second", dir.File("first"));
  std::filesystem::create_symlink(dir.File("a/b/made.csv"), dir.File("absolute"));
  EXPECT_EQ(TargetOf(dir.File("first")).path, dir.File("a/b/target.csv"));
  EXPECT_EQ(TargetOf(dir.File("absolute")).path, dir.File("a/b/made.csv"));
  // Relative to the working directory, as the user gave it.
  const std::string saved = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.Path());
  EXPECT_EQ(TargetOf("first").path, "a/b/target.csv");
  std::filesystem::current_path(saved);
  // A link to /dev/stdout is standard output: a pipe or a terminal opened
  // through the link, a file written into at descriptor 1.
  std::filesystem::create_symlink("/dev/stdout", dir.File("out"));
  struct stat output {};
  const bool special = fstat(1, &output) == 0 && !S_ISREG(output.st_mode) && !S_ISDIR(output.st_mode);
  EXPECT_EQ(TargetOf(dir.File("out")).kind, special ? Kind::Device : Kind::Descriptor);
}

TEST(OutputTarget, FailuresAreSaid) {
  TempDir dir;
  std::filesystem::create_symlink("two", dir.File("one"));
  std::filesystem::create_symlink("one", dir.File("two"));
  WriteFile(dir.File("file"), "");
  const std::pair<std::string, std::errc> failing[] = {
      {dir.File("one"), std::errc::too_many_symbolic_link_levels},
      {dir.File("file/below.csv"), std::errc::not_a_directory},
      {dir.File(std::string(300, 'n')), std::errc::filename_too_long},
  };
  for (const auto& [path, error] : failing) {
    OutputTarget target;
    EXPECT_EQ(FindOutputTarget(path, target), std::make_error_code(error)) << path;
  }
}
#endif

}  // namespace
}  // namespace rungwell
