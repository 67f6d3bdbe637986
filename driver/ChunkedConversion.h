#pragma once

// The conversion of a regular file into a plain file on every core: the
// file cut into chunks, each converted whole by one thread, its output
// written at the place the chunks before it end.

#include <cstddef>
#include <cstdint>

#include "csv/Dialect.h"
#include "csv/Outcome.h"
#include "csv/simd/ScanState.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

// Whether an input and an output can be converted in chunks: a regular
// file, read at offsets, into a file written at offsets, where each line
// stands on its own (records that span lines are read in order).
bool CanConvertInChunks(const CsvFileHandle& input, const OutputFile& output, const Dialect& dialect);

// How the chunks are cut and taken: the bytes a chunk covers (chunk i
// holds the lines that start in its range), how many threads take them, and
// the blocks a line longer than a chunk is read on in.
struct ChunkPlan {
  std::size_t chunkSize;
  unsigned threads;
  std::size_t readOnSize;
};

// The plan for this machine.
ChunkPlan ChunkPlanHere();

// Converts every line of input into output in chunks, counting what the
// scan saw into tally as a scan of the whole would. A failure in any thread
// stops them all; the first is the outcome, and output is not committed.
Outcome ConvertInChunks(const CsvFileHandle& input, OutputFile& output, const Dialect& dialect, ScanTally& tally,
                        ChunkPlan plan = ChunkPlanHere());

}  // namespace rungwell
