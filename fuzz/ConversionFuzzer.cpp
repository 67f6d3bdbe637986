// The whole conversion of arbitrary bytes, through the real file reader and
// writer, against the plain model of the rules: the same dialect, the same
// lines, each behind the same indentation, and every other byte as it was.
// The first byte chooses what the command line says of the layout: the level
// column by index, by name or by the first line's names, a separator, and
// how records and levels read.
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

rungwell::LayoutChoice LayoutOf(std::uint8_t choice) {
  // None: the first line's names, or the sixth field.
  constexpr unsigned Columns[] = {0, 1, 2, 9, 63, 1000};
  constexpr std::uint16_t Separators[] = {0, ';', '|', '\t'};
  rungwell::LayoutChoice layout;
  const unsigned column = choice & 7U;
  if (column == 7) {
    layout.levelName = (choice & 0x20U) != 0 ? "\"Outline Level\"" : "level";
  } else {
    if (column > 0) {
      layout.levelColumn = Columns[column - 1];
    }
    layout.outlineNumbers = (choice & 0x20U) != 0;
  }
  if (const std::uint16_t separator = Separators[(choice >> 3U) & 3U]) {
    layout.separator = separator;
  }
  layout.multiline = (choice & 0x40U) != 0;
  layout.quotedLevels = (choice & 0x80U) != 0;
  return layout;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const rungwell::LayoutChoice layout = LayoutOf(data[0]);
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
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
  rungwell::LayoutProblem problem = rungwell::LayoutProblem::None;
  (void)rungwell::plain::Detect(input, layout, &problem);
  rungwell::ConversionReport report;
  const rungwell::Outcome outcome = rungwell::ConvertLines(reader, writer, layout, report);
  if (problem != rungwell::LayoutProblem::None) {
    Check(outcome.kind == rungwell::Outcome::Kind::LayoutMismatch && outcome.problem == problem,
          "a layout that does not fit fails the conversion");
    return 0;
  }
  Check(outcome.Done(), "the conversion succeeds and the output is committed");
  Check(Slurp(outputPath) == rungwell::plain::Convert(input, layout), "the output is what the rules make of the input");
  return 0;
}
