// Throughput of the two per-byte loops: the level field search and the line
// reader.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench/PlanGenerator.h"
#include "csv/LevelRule.h"
#include "io/CsvFileHandle.h"

namespace {

using rungwell::bench::PlanGenerator;
using rungwell::bench::PlanOptions;

std::vector<std::string> PlanLines(std::size_t count) {
  PlanGenerator generator(PlanOptions{});
  std::vector<std::string> lines(count);
  for (std::string& line : lines) {
    generator.AppendLine(line);
  }
  return lines;
}

void BM_FindLevelField(benchmark::State& state) {
  const std::vector<std::string> lines = PlanLines(10000);
  std::size_t bytes = 0;
  for (const std::string& line : lines) {
    bytes += line.size();
  }
  for (auto _ : state) {
    for (const std::string& line : lines) {
      benchmark::DoNotOptimize(rungwell::FindLevelField(line));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_FindLevelField);

// Reads a file of realistic lines, served from the page cache after the first
// pass, so what is measured is the reader rather than the disk.
void BM_ReadLine(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() / "rungwell-bench-readline.csv").string();
  std::size_t bytes = 0;
  {
    PlanGenerator generator(PlanOptions{});
    std::string contents;
    while (contents.size() < 32U << 20) {
      generator.AppendLine(contents);
    }
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
    std::string_view line;
    while (input.ReadLine(line)) {
      benchmark::DoNotOptimize(line.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadLine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
