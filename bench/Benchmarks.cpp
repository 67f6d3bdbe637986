// Throughput of the conversion apart from the file system: the whole
// conversion of a plan held in memory, in the dialects that matter, and its
// parts, the scan and the block reader. Each names the scan path it ran on.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/PlanGenerator.h"
#include "csv/DialectDetector.h"
#include "csv/LineConverter.h"
#include "csv/LineScanner.h"
#include "csv/PendingBytes.h"
#include "io/CsvFileHandle.h"

namespace {

using rungwell::bench::PlanGenerator;
using rungwell::bench::PlanOptions;

enum class Plan { Commas, Semicolons, Utf16Le, OutlineNumbers, CellsOverLines };

// A plan held in memory with room past its end, as the read buffers have.
class PlanInMemory {
 public:
  PlanInMemory(Plan kind, std::size_t bytes, unsigned levelColumn = rungwell::LevelColumn) {
    PlanOptions options;
    options.separator = kind == Plan::Semicolons ? ';' : ',';
    options.levelColumn = levelColumn;
    options.outlineNumbers = kind == Plan::OutlineNumbers;
    options.cellsOverLines = kind == Plan::CellsOverLines;
    PlanGenerator generator(options);
    std::string text = generator.Header();
    while (text.size() < bytes) {
      generator.AppendLine(text);
    }
    if (kind == Plan::Utf16Le) {
      text = rungwell::bench::ToUtf16Le(text);
    }
    size = text.size();
    storage.reset(new char[size + rungwell::CopySlack]);
    std::memcpy(storage.get(), text.data(), size);
  }

  std::string_view Bytes() const { return {storage.get(), size}; }

 private:
  std::unique_ptr<char[]> storage;
  std::size_t size = 0;
};

// Gathers what it is given in a block of the output file's size and drops it
// when full, so that writing costs what it costs before the bytes reach the
// system.
class MemorySink final : public rungwell::ByteSink {
 public:
  char* Free(std::size_t& room) override {
    if (filled == rungwell::OutputBufferSize) {
      benchmark::DoNotOptimize(block.get());
      filled = 0;
    }
    room = rungwell::OutputBufferSize - filled;
    return block.get() + filled;
  }
  void Fill(std::size_t count) noexcept override { filled += count; }
  bool Write(std::string_view bytes) override {
    while (bytes.size() > rungwell::OutputBufferSize - filled) {
      const std::size_t part = rungwell::OutputBufferSize - filled;
      std::memcpy(block.get() + filled, bytes.data(), part);
      bytes.remove_prefix(part);
      benchmark::DoNotOptimize(block.get());
      filled = 0;
    }
    std::memcpy(block.get() + filled, bytes.data(), bytes.size());
    filled += bytes.size();
    return true;
  }
  rungwell::Outcome Failure() const override { return {}; }

 private:
  std::unique_ptr<char[]> block{new char[rungwell::OutputBufferSize + rungwell::CopySlack]};
  std::size_t filled = 0;
};

rungwell::Dialect DialectOf(std::string_view plan, Plan kind, unsigned levelColumn = rungwell::LevelColumn) {
  rungwell::LayoutChoice layout;
  layout.levelColumn = levelColumn;
  layout.outlineNumbers = kind == Plan::OutlineNumbers;
  layout.multiline = kind == Plan::CellsOverLines;
  rungwell::DialectDetector detector(layout);
  if (!detector.Feed(plan)) {
    detector.End();
  }
  return detector.Result();
}

// The whole conversion of a 16 MB plan in memory, a read block at a time:
// lines found, indented and put together in an output block. The level is in
// the sixth column unless a column is given.
void BM_Convert(benchmark::State& state, Plan kind, unsigned levelColumn = rungwell::LevelColumn) {
  const PlanInMemory plan(kind, 16U << 20, levelColumn);
  const std::string_view bytes = plan.Bytes();
  const rungwell::Dialect dialect = DialectOf(bytes, kind, levelColumn);
  MemorySink sink;
  for (auto _ : state) {
    rungwell::PendingBytes held;
    rungwell::LineConverter converter(dialect, sink, held);
    for (std::size_t at = 0; at < bytes.size(); at += rungwell::ReadBlockSize) {
      const std::string_view block = bytes.substr(at, rungwell::ReadBlockSize);
      benchmark::DoNotOptimize(converter.Convert(at, block, at + block.size() == bytes.size()).Done());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
  state.SetLabel(rungwell::ScanPathName(rungwell::ChosenScanPath()));
}
BENCHMARK_CAPTURE(BM_Convert, commas, Plan::Commas)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, semicolons, Plan::Semicolons)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, utf16le, Plan::Utf16Le)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, commas_column0, Plan::Commas, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, commas_column30, Plan::Commas, 30)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, outline_numbers, Plan::OutlineNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, multiline, Plan::CellsOverLines)->Unit(benchmark::kMillisecond);

// The scan alone, over the same plan in the same blocks.
void BM_ScanLines(benchmark::State& state, Plan kind) {
  const PlanInMemory plan(kind, 16U << 20);
  const std::string_view bytes = plan.Bytes();
  const rungwell::Dialect dialect = DialectOf(bytes, kind);
  std::vector<rungwell::LineIndent> indents;
  for (auto _ : state) {
    rungwell::LineScanner scanner(dialect, dialect.markSize);
    for (std::size_t at = dialect.markSize; at < bytes.size(); at += rungwell::ReadBlockSize) {
      const std::string_view block = bytes.substr(at, rungwell::ReadBlockSize);
      indents.clear();
      scanner.Scan(block, at + block.size() == bytes.size(), indents);
      benchmark::DoNotOptimize(indents.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
  state.SetLabel(rungwell::ScanPathName(rungwell::ChosenScanPath()));
}
BENCHMARK_CAPTURE(BM_ScanLines, commas, Plan::Commas)->Unit(benchmark::kMillisecond);

// Reads a file of realistic lines, served from the page cache after the first
// pass, so what is measured is the reader rather than the disk.
void BM_ReadBlock(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() / "rungwell-bench-read.csv").string();
  std::size_t bytes = 0;
  {
    const std::string contents(PlanInMemory(Plan::Commas, 32U << 20).Bytes());
    bytes = contents.size();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr || std::fwrite(contents.data(), 1, bytes, out) != bytes || std::fclose(out) != 0) {
      state.SkipWithError("cannot write the input file");
      return;
    }
  }
  for (auto _ : state) {
    rungwell::CsvFileHandle input;
    if (!input.Open(path)) {
      state.SkipWithError("cannot open the input file");
      break;
    }
    std::string_view block;
    while (input.ReadBlock(block)) {
      benchmark::DoNotOptimize(block.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadBlock)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
