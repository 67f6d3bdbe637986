#pragma once

// The scan and the assembly of lines as each scan path compiles them, one
// table a path. A conversion takes both from the same table, so that one
// choice of instructions holds for all it does.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "csv/Dialect.h"
#include "csv/simd/ScanPath.h"
#include "csv/simd/ScanState.h"

namespace rungwell {

// What one call of the assembly works on: the lines found in a block, the
// block, and the room in the sink's block that they go to.
struct Assembly {
  const LineIndent* next;  // the next line to put behind its indentation
  const LineIndent* end;   // past the last line found
  const char* input;       // the block's bytes
  std::uint64_t offset;    // where they start in the input
  const char* spaces;      // the indentation
  std::size_t unitBytes;   // of one indent unit
  char* out;               // where the next byte goes in the sink's block
  char* limit;             // where its room ends
};

struct Kernels {
  // Scans the next bytes of text of one encoding, as LineScanner::Scan.
  using Scan = void (*)(ScanState&, std::string_view, bool, std::vector<LineIndent>&);
  // Counts the separators of a file's first line outside quotation marks,
  // in text of one encoding, a 64-byte block at a time from the start of
  // the bytes given for as long as no line end comes; returns how many bytes
  // it took.
  using Count = std::size_t (*)(FirstLineCount&, std::string_view) noexcept;
  // Puts lines and their indentation together for as long as they fit before
  // limit and their bytes since emitted are all in the block, moving next,
  // out and emitted on as far as it got.
  using Assemble = void (*)(Assembly&, std::uint64_t& emitted) noexcept;

  Scan scan[2][3];  // by whether records span lines, then by Encoding
  Count count[3];   // by Encoding
  Assemble assemble;
};

// The kernels of path, or of the chosen path where this processor cannot run
// path.
const Kernels& KernelsFor(ScanPath path);

}  // namespace rungwell
