// Writes a realistic plan of a given size for benchmarks:
//   rungwell_generate_plan OUTPUT MEGABYTES [--seed N] [--crlf] [--long-lines]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/PlanGenerator.h"

int main(int argc, char* argv[]) {
  if (argc < 3) {
    (void)std::fprintf(stderr, "usage: %s OUTPUT MEGABYTES [--seed N] [--crlf] [--long-lines]\n", argv[0]);
    return 2;
  }
  rungwell::bench::PlanOptions options;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--crlf") == 0) {
      options.crlf = true;
    } else if (std::strcmp(argv[i], "--long-lines") == 0) {
      options.longLines = true;
    } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      options.seed = std::strtoull(argv[++i], nullptr, 10);
    } else {
      (void)std::fprintf(stderr, "unknown option: %s\n", argv[i]);
      return 2;
    }
  }
  const auto size = std::strtoull(argv[2], nullptr, 10) * 1000 * 1000;
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  rungwell::bench::PlanGenerator generator(options);
  std::string chunk = generator.Header();
  unsigned long long written = 0;
  while (written < size) {
    while (chunk.size() < (1U << 20)) {
      generator.AppendLine(chunk);
    }
    if (std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size()) {
      std::perror(argv[1]);
      return 1;
    }
    written += chunk.size();
    chunk.clear();
  }
  if (std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
