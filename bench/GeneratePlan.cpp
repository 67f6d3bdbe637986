// Writes a realistic plan of a given size for benchmarks:
//   rungwell_generate_plan OUTPUT MEGABYTES [--seed N] [--crlf] [--long-lines] [--semicolons] [--utf16]
//     [--one-line] [--no-level] [--level-column N]
// --one-line writes a single line of the size, its level field near its start,
// as a file whose notes field holds a whole document, or one with no line ends.
// --no-level writes a single line with no level field at all, as a pasted
// document or a file with no separators, which must be written out after it
// has been read to its end. --level-column puts the level in column N.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/PlanGenerator.h"

int main(int argc, char* argv[]) {
  if (argc < 3) {
    (void)std::fprintf(
        stderr,
        "usage: %s OUTPUT MEGABYTES [--seed N] [--crlf] [--long-lines] [--semicolons] [--utf16] [--one-line] "
        "[--no-level] [--level-column N] [--outline-numbers] [--cells-over-lines]\n",
        argv[0]);
    return 2;
  }
  rungwell::bench::PlanOptions options;
  bool utf16 = false;
  bool oneLine = false;
  bool noLevel = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--crlf") == 0) {
      options.crlf = true;
    } else if (std::strcmp(argv[i], "--long-lines") == 0) {
      options.longLines = true;
    } else if (std::strcmp(argv[i], "--semicolons") == 0) {
      options.separator = ';';
    } else if (std::strcmp(argv[i], "--utf16") == 0) {
      utf16 = true;
    } else if (std::strcmp(argv[i], "--one-line") == 0) {
      oneLine = true;
    } else if (std::strcmp(argv[i], "--no-level") == 0) {
      noLevel = true;
    } else if (std::strcmp(argv[i], "--outline-numbers") == 0) {
      options.outlineNumbers = true;
    } else if (std::strcmp(argv[i], "--cells-over-lines") == 0) {
      options.cellsOverLines = true;
    } else if (std::strcmp(argv[i], "--level-column") == 0 && i + 1 < argc) {
      options.levelColumn = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
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
  std::string chunk = noLevel ? "" : oneLine ? "1,Notes,Owner,2027-01-04,2027-01-05,3,\"" : generator.Header();
  unsigned long long written = 0;
  bool first = true;
  while (written < size) {
    while (chunk.size() < (1U << 20)) {
      if (noLevel) {
        chunk += "a pasted document with no separator in it at all. ";
      } else if (oneLine) {
        chunk += "a pasted document, with commas and \"\"quotes\"\" in it; ";
      } else {
        generator.AppendLine(chunk);
      }
    }
    if (utf16) {
      chunk = rungwell::bench::ToUtf16Le(chunk).substr(first ? 0 : 2);
    }
    first = false;
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
