// Throughput of the conversion apart from the file system: the whole
// conversion of a plan held in memory, and its parts, the scan and the block
// reader.
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
#include "csv/Indentation.h"
#include "csv/LevelRule.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace {

using rungwell::bench::PlanGenerator;
using rungwell::bench::PlanOptions;

std::string PlanText(std::size_t bytes) {
  PlanGenerator generator(PlanOptions{});
  std::string text = generator.Header();
  while (text.size() < bytes) {
    generator.AppendLine(text);
  }
  return text;
}

// Gathers what it is given in a buffer of the output file's size and drops it
// when full, so that writing costs what it costs before the bytes reach the
// system.
class MemorySink {
 public:
  bool Write(std::string_view bytes) {
    if (bytes.size() > rungwell::OutputBufferSize - buffered) {
      benchmark::DoNotOptimize(buffer.get());
      buffered = 0;
      if (bytes.size() >= rungwell::OutputBufferSize) {
        return true;
      }
    }
    std::memcpy(buffer.get() + buffered, bytes.data(), bytes.size());
    buffered += bytes.size();
    return true;
  }

 private:
  std::unique_ptr<char[]> buffer{new char[rungwell::OutputBufferSize]};
  std::size_t buffered = 0;
};

// Runs the conversion's own steps over a plan held in memory, a read block at
// a time, handing each block's lines and indents to take.
template <typename Take>
void ConvertInBlocks(std::string_view plan, std::vector<rungwell::LineIndent>& indents, Take take) {
  while (!plan.empty()) {
    const std::string_view block = plan.substr(0, rungwell::ReadBlockSize);
    indents.clear();
    const std::size_t taken = rungwell::ScanLines(block, block.size() == plan.size(), indents);
    take(block.substr(0, taken), indents);
    plan.remove_prefix(taken);
  }
}

// The whole conversion of a 16 MB plan in memory: lines found, indented and
// written to a sink.
void BM_Convert(benchmark::State& state) {
  const std::string plan = PlanText(16U << 20);
  std::vector<rungwell::LineIndent> indents;
  MemorySink sink;
  for (auto _ : state) {
    ConvertInBlocks(plan, indents, [&](std::string_view lines, const std::vector<rungwell::LineIndent>& found) {
      benchmark::DoNotOptimize(rungwell::WriteIndentedLines(lines, found, sink));
    });
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(plan.size()));
}
BENCHMARK(BM_Convert)->Unit(benchmark::kMillisecond);

// The scan alone.
void BM_ScanLines(benchmark::State& state) {
  const std::string plan = PlanText(16U << 20);
  std::vector<rungwell::LineIndent> indents;
  for (auto _ : state) {
    ConvertInBlocks(plan, indents, [](std::string_view lines, const std::vector<rungwell::LineIndent>& found) {
      benchmark::DoNotOptimize(lines.data());
      benchmark::DoNotOptimize(found.data());
    });
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(plan.size()));
}
BENCHMARK(BM_ScanLines)->Unit(benchmark::kMillisecond);

// Reads a file of realistic lines, served from the page cache after the first
// pass, so what is measured is the reader rather than the disk.
void BM_ReadBlock(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() / "rungwell-bench-read.csv").string();
  std::size_t bytes = 0;
  {
    const std::string contents = PlanText(32U << 20);
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
      input.Consume(block.size());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadBlock)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
