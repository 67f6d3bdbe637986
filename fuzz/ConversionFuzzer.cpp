// The whole conversion of arbitrary bytes, through the real file reader and
// writer, against the plain model of the rules: the same dialect, the same
// lines, each behind the same indentation, and every other byte as it was.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "driver/FileConversion.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"
#include "tests/PlainRules.h"

namespace {

// Under TMPDIR, else memory-backed where the system has it: the target writes
// and renames a file per input, and a disk-backed file system would set the
// pace. libFuzzer ends without running destructors, so whoever runs it
// removes what is left.
class WorkDirectory {
 public:
  WorkDirectory() {
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string parent = tmpdir != nullptr ? tmpdir : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path = parent + "/rungwell-fuzz-XXXXXX";
    if (mkdtemp(path.data()) == nullptr) {
      std::abort();
    }
  }
  ~WorkDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  WorkDirectory(const WorkDirectory&) = delete;
  WorkDirectory& operator=(const WorkDirectory&) = delete;

  std::string File(const char* name) const { return path + "/" + name; }

 private:
  std::string path;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Check(bool holds, const char* property) {
  if (!holds) {
    (void)std::fprintf(stderr, "property failed: %s\n", property);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  static const WorkDirectory work;
  const std::string inputPath = work.File("plan.csv");
  const std::string outputPath = work.File("plan_new.csv");
  {
    std::ofstream out(inputPath, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
    Check(static_cast<bool>(out.flush()), "the input could be written");
  }
  rungwell::CsvFileHandle reader;
  Check(reader.Open(inputPath), "the input opens");
  rungwell::OutputFile writer(outputPath);
  Check(writer.Create(), "the output can be created");
  Check(rungwell::ConvertLines(reader, writer), "the conversion succeeds");
  Check(writer.Commit(), "the output is committed");
  Check(Slurp(outputPath) == rungwell::plain::Convert(input), "the output is what the rules make of the input");
  return 0;
}
