// The whole conversion of arbitrary bytes, through the real file reader and
// writer, checked by its properties: the output holds exactly the input's
// lines, in order, each behind nothing but spaces, twice as many as its level
// is above 1.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "csv/Conversion.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"
#include "tests/PlainRules.h"

namespace {

// Deeper levels would only make the fuzzer write gigabytes of spaces.
constexpr std::int32_t DeepestLevelChecked = 100000;

std::int32_t PlainLevelOf(std::string_view line) {
  return rungwell::plain::Level(rungwell::plain::LevelField(line));
}

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

  // Split the input the plain way, and give up on levels too deep to write.
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < input.size();) {
    const std::size_t newline = input.find('\n', start);
    const std::size_t end = newline == std::string_view::npos ? input.size() : newline + 1;
    lines.push_back(input.substr(start, end - start));
    if (PlainLevelOf(lines.back()) > DeepestLevelChecked) {
      return 0;
    }
    start = end;
  }

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
  const std::string output = Slurp(outputPath);

  std::size_t at = 0;
  for (const std::string_view line : lines) {
    const std::int32_t level = PlainLevelOf(line);
    const std::size_t spaces = level > 1 ? 2 * static_cast<std::size_t>(level - 1) : 0;
    Check(output.size() - at >= spaces + line.size(), "every input line is in the output");
    Check(output.find_first_not_of(' ', at) >= at + spaces, "only spaces go in front of a line");
    Check(output.compare(at + spaces, line.size(), line) == 0,
          "each output line is its input line, behind twice its level above 1 in spaces");
    at += spaces + line.size();
  }
  Check(at == output.size(), "the output holds nothing more");
  return 0;
}
