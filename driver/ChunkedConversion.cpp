#include "driver/ChunkedConversion.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "csv/ByteSink.h"
#include "csv/LineConverter.h"
#include "csv/LineScanner.h"
#include "csv/PendingBytes.h"
#include "driver/FileConversion.h"
#include "io/BlockMemory.h"
#include "io/BufferSizes.h"

namespace rungwell {

namespace {

#ifdef RUNGWELL_TINY_BUFFERS
// Chunks of a few blocks, so that the tests' files are many chunks, and
// their lines cross the chunks' edges and run past the look-ahead.
constexpr std::size_t ChunkBytes = 3 * ReadBlockSize + 11;
constexpr std::size_t LookAhead = 62;
#else
// Measured on the 2-core machines this was written for (see the README's
// Performance): smaller chunks wait more for each other's places in the
// output, larger ones keep the second core idle at the start and the end.
constexpr std::size_t ChunkBytes = std::size_t{1} << 20;
// How far past its range a chunk reads at once to find where its last line
// ends: most lines end well within it; a longer one is read on in blocks.
// Every byte of it is read twice, by this chunk and the next.
constexpr std::size_t LookAhead = std::size_t{4} << 10;
#endif

// The chunks' outputs, put together in order: each chunk's output starts
// where the one before it ends, which is known once that one has ended (been
// converted, if not yet written), and the tallies count on in the same order.
class ChunkOrder {
 public:
  // Waits until every chunk before chunk has ended, and gives where chunk's
  // output starts; false once the run has stopped. (A chunk that a line
  // before it runs through may find itself ended already; it has no output.)
  bool WaitFor(std::uint64_t chunk, std::uint64_t& outputStart) {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [&] { return ended >= chunk || stopped; });
    outputStart = outputEnd;
    return !stopped;
  }

  // Chunk, whose turn it is, has ended with size bytes of output; its last
  // line runs through every chunk before firstAfter, which hold no line.
  void End(std::uint64_t chunk, std::uint64_t size, const ScanTally& chunkTally, std::uint64_t firstAfter) {
    const std::lock_guard<std::mutex> hold(lock);
    if (chunk == ended) {
      outputEnd += size;
      CountOn(tally, chunkTally);
      ended = std::max(chunk + 1, firstAfter);
      changed.notify_all();
    }
  }

  // The first failure stops every thread; later ones are only its echoes.
  void Stop(const Outcome& why) {
    const std::lock_guard<std::mutex> hold(lock);
    if (!stopped) {
      stopped = true;
      failure = why;
    }
    changed.notify_all();
  }

  bool Stopped() {
    const std::lock_guard<std::mutex> hold(lock);
    return stopped;
  }

  // Once every thread has returned.
  const Outcome& Failure() const { return failure; }
  const ScanTally& Tally() const { return tally; }

 private:
  std::mutex lock;
  std::condition_variable changed;
  std::uint64_t ended = 0;      // the chunks before this one have ended
  std::uint64_t outputEnd = 0;  // where their output ends
  ScanTally tally;              // of their lines
  bool stopped = false;
  Outcome failure;
};

// A chunk's output, gathered in a block and written at its place in the
// file once the chunks before it have ended.
class ChunkSink final : public ByteSink {
 public:
  ChunkSink(OutputFile& file, ChunkOrder& chunks, std::size_t room)
      : output(file), order(chunks), capacity(room), block(NewBlock(capacity + BufferSlack)) {}

  void Start(std::uint64_t chunkIndex) {
    chunk = chunkIndex;
    filled = 0;
    written = 0;
    placed = false;
  }

  char* Free(std::size_t& room) override {
    if (filled == capacity && !Flush()) {
      room = 0;
      return nullptr;
    }
    room = capacity - filled;
    return block.get() + filled;
  }

  void Fill(std::size_t count) noexcept override { filled += count; }

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      if (filled == capacity && !Flush()) {
        return false;
      }
      const std::size_t part = std::min(bytes.size(), capacity - filled);
      std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(part), block.get() + filled);
      filled += part;
      bytes.remove_prefix(part);
    }
    return true;
  }

  Outcome Failure() const override { return failure; }

  // Ends the chunk with tally once the chunks before it have ended (its own
  // place is then known, and with it the next one's), and writes what is
  // left.
  bool Finish(const ScanTally& tally, std::uint64_t firstAfter) {
    if (!placed && !Place()) {
      return false;
    }
    order.End(chunk, written + filled, tally, firstAfter);
    return Flush();
  }

 private:
  bool Place() {
    placed = order.WaitFor(chunk, start);
    if (!placed) {
      // Another thread failed first, and its failure is the one told.
      failure = Outcome::WriteFailed(std::make_error_code(std::errc::operation_canceled));
    }
    return placed;
  }

  bool Flush() {
    if (filled == 0) {
      return true;
    }
    if (!placed && !Place()) {
      return false;
    }
    if (const std::error_code error = output.WriteAt(start + written, {block.get(), filled})) {
      failure = Outcome::WriteFailed(error);
      return false;
    }
    written += filled;
    filled = 0;
    return true;
  }

  OutputFile& output;
  ChunkOrder& order;
  const std::size_t capacity;
  BlockMemory block;
  std::uint64_t chunk = 0;
  std::size_t filled = 0;
  std::uint64_t written = 0;  // of the chunk's output, before the block
  std::uint64_t start = 0;    // where the chunk's output starts, once placed
  bool placed = false;
  Outcome failure;
};

// Reads start at a page's start, where the system's copy of cached pages is
// fastest.
constexpr std::uint64_t ReadAlignment = 4096;

static_assert(ChunkBytes % 2 == 0 && LookAhead % 2 == 0 && ReadAlignment % 2 == 0,
              "chunks and windows cut no 16-bit character");

// One thread's share: chunks taken in turn, each read, converted and
// written whole.
class ChunkWorker {
 public:
  ChunkWorker(const CsvFileHandle& file, std::uint64_t fileSize, const Dialect& written, OutputFile& output,
              ChunkOrder& chunks, std::atomic<std::uint64_t>& nextChunk, const ChunkPlan& plan)
      : input(file),
        size(fileSize),
        dialect(written),
        order(chunks),
        next(nextChunk),
        chunkBytes(plan.chunkSize),
        // A long line is read on in blocks of whole 16-bit characters.
        readOnBytes(plan.readOnSize & ~std::size_t{1}),
        window(NewBlock(std::max(chunkBytes + LookAhead, readOnBytes) + ReadAlignment + BufferSlack)),
        // Room for a chunk's whole output with a plan's usual indentation, so
        // that the next chunk need not wait for this one to be written.
        sink(output, chunks, std::max(OutputBufferSize, chunkBytes + chunkBytes / 2)),
        again(file) {}

  // Runs the share; an exception (memory run out) is kept for the calling
  // thread, as the conversion of one file on one thread would throw it.
  void Run() noexcept {
    try {
      RunChunks();
    } catch (...) {
      thrown = std::current_exception();
      order.Stop(Outcome::ReadFailed(std::make_error_code(std::errc::not_enough_memory)));
    }
  }

  std::exception_ptr Thrown() const { return thrown; }

 private:
  void RunChunks() {
    while (!order.Stopped()) {
      const std::uint64_t chunk = next.fetch_add(1);
      // An empty file is one empty chunk.
      if (chunk > 0 && chunk * chunkBytes >= size) {
        return;
      }
      const Outcome outcome = Convert(chunk);
      if (!outcome.Done()) {
        order.Stop(outcome);
        return;
      }
    }
  }

  // Reads the bytes from offset from up to to into the window.
  Outcome Read(std::uint64_t from, std::uint64_t to) {
    if (const std::error_code error = input.ReadExactlyAt(from, window.get(), static_cast<std::size_t>(to - from))) {
      return Outcome::ReadFailed(error);
    }
    return {};
  }

  Outcome Convert(std::uint64_t chunk) {
    const std::size_t unit = dialect.UnitSize();
    const std::uint64_t rangeStart = chunk * chunkBytes;
    const std::uint64_t rangeEnd = std::min(size, rangeStart + chunkBytes);
    // From the character before the range, to see whether a line ends there,
    // to a little past it, to see where the range's last line ends.
    std::uint64_t from = chunk == 0 ? 0 : (rangeStart - unit) / ReadAlignment * ReadAlignment;
    std::uint64_t to = std::min(size, rangeEnd + LookAhead);
    sink.Start(chunk);
    if (Outcome read = Read(from, to); !read.Done()) {
      return read;
    }
    const auto windowBytes = [&] { return std::string_view(window.get(), static_cast<std::size_t>(to - from)); };
    const std::optional<std::uint64_t> first =
        chunk == 0 ? std::optional<std::uint64_t>(0) : FindLineStart(windowBytes(), from, rangeStart, dialect);
    if (!first || *first >= rangeEnd) {
      // A line that starts before the range runs through it.
      return sink.Finish({}, 0) ? Outcome() : sink.Failure();
    }
    // The range's last line ends where the next line starts, or with the file.
    std::optional<std::uint64_t> end =
        rangeEnd == size ? std::optional<std::uint64_t>(size) : FindLineStart(windowBytes(), from, rangeEnd, dialect);
    if (!end && to == size) {
      end = size;
    }
    PendingBytes pending(again, KeptRun);
    LineConverter converter(dialect, sink, pending, ChosenScanPath(), *first);
    std::uint64_t at = *first;
    for (;;) {
      const std::uint64_t stop = end.value_or(to);
      const std::string_view bytes(window.get() + (at - from), static_cast<std::size_t>(stop - at));
      if (Outcome converted = converter.Convert(at, bytes, end.has_value()); !converted.Done()) {
        return converted;
      }
      if (end) {
        break;
      }
      // The last line is longer than the look-ahead: read on in blocks,
      // each with the character before it, until it ends.
      at = to;
      from = (at - unit) / ReadAlignment * ReadAlignment;
      // The chunks the line has run through hold no line: no thread need
      // take them, and read them to find that out.
      SkipTo(at / chunkBytes);
      to = std::min(size, at + readOnBytes);
      if (Outcome read = Read(from, to); !read.Done()) {
        return read;
      }
      end = FindLineStart(windowBytes(), from, at, dialect);
      if (!end && to == size) {
        end = size;
      }
    }
    return sink.Finish(converter.Tally(), *end / chunkBytes) ? Outcome() : sink.Failure();
  }

  void SkipTo(std::uint64_t chunk) {
    for (std::uint64_t taken = next.load(); taken < chunk && !next.compare_exchange_weak(taken, chunk);) {
    }
  }

  const CsvFileHandle& input;
  const std::uint64_t size;
  const Dialect& dialect;
  ChunkOrder& order;
  std::atomic<std::uint64_t>& next;
  const std::size_t chunkBytes;
  const std::size_t readOnBytes;
  BlockMemory window;
  ChunkSink sink;
  FileAgain again;
  std::exception_ptr thrown;
};

}  // namespace

bool CanConvertInChunks(const CsvFileHandle& input, const OutputFile& output, const Dialect& dialect) {
  return input.CanReadAgain() && output.CanWriteAt() && !dialect.multiline;
}

ChunkPlan ChunkPlanHere() {
  // Beyond a few cores the disk, not the scan, sets the pace; and each
  // thread holds a chunk and its output, about 2.5 MiB.
  constexpr unsigned MostThreads = 4;
  return {ChunkBytes, std::clamp(std::thread::hardware_concurrency(), 1U, MostThreads), ReadBlockSize};
}

Outcome ConvertInChunks(const CsvFileHandle& input, OutputFile& output, const Dialect& dialect, ScanTally& tally,
                        ChunkPlan plan) {
  std::uint64_t size = 0;
  if (const std::error_code error = input.Size(size)) {
    return Outcome::ReadFailed(error);
  }
  const std::uint64_t chunks = std::max<std::uint64_t>(1, (size + plan.chunkSize - 1) / plan.chunkSize);
  const auto threads = static_cast<unsigned>(std::min<std::uint64_t>(plan.threads, chunks));
  ChunkOrder order;
  std::atomic<std::uint64_t> next{0};
  std::vector<std::unique_ptr<ChunkWorker>> workers;
  for (unsigned i = 0; i < threads; ++i) {
    workers.push_back(std::make_unique<ChunkWorker>(input, size, dialect, output, order, next, plan));
  }
  // The calling thread is one of them.
  std::vector<std::thread> others;
  for (unsigned i = 1; i < threads; ++i) {
    others.emplace_back([worker = workers[i].get()] { worker->Run(); });
  }
  workers[0]->Run();
  for (std::thread& thread : others) {
    thread.join();
  }
  for (const auto& worker : workers) {
    if (worker->Thrown()) {
      std::rethrow_exception(worker->Thrown());
    }
  }
  if (!order.Failure().Done()) {
    return order.Failure();
  }
  tally = order.Tally();
  return {};
}

}  // namespace rungwell
