#include "driver/FileConversion.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "csv/ByteSink.h"
#include "csv/LineConverter.h"
#include "csv/PendingBytes.h"

namespace rungwell {

namespace {

static_assert(BufferSlack >= CopySlack, "the conversion may copy past the ends of the file buffers");

// The first read for the dialect: all it needs but for a long first line,
// which is then read a block at a time.
constexpr std::size_t DialectChunk = LineEndWindow;

// The output file as the conversion's sink.
class FileSink final : public ByteSink {
 public:
  explicit FileSink(OutputFile& file) : output(file) {}

  char* Free(std::size_t& room) override { return output.Free(room); }
  void Fill(std::size_t count) noexcept override { output.Fill(count); }
  bool Write(std::string_view bytes) override { return output.Write(bytes); }

 private:
  OutputFile& output;
};

// How many pending bytes of a regular file are kept rather than read again:
// a line's start cut by a block's edge is far shorter, and copying it costs
// less than a system call. (Half a block at most, so that the tiny blocks of
// the tests read longer runs again.)
constexpr std::uint64_t KeptRun = std::min<std::uint64_t>(std::uint64_t{64} << 10, ReadBlockSize / 2);

// A regular file's pending bytes: a short run is kept; a longer one is read
// again from the file, straight into the sink's blocks, so that memory stays
// a few blocks however long a line's start.
class ReadAgain final : public PendingBytes {
 public:
  explicit ReadAgain(CsvFileHandle& file) : input(file) {}

  void Keep(std::uint64_t offset, std::string_view bytes) override {
    if (runStart == runEnd) {
      runStart = offset;
      kept.clear();
    }
    runEnd = offset + bytes.size();
    if (runEnd - runStart <= KeptRun) {
      kept.append(bytes);
    }
  }

  bool WriteTo(ByteSink& sink, std::uint64_t from, std::uint64_t to) override {
    const bool written = runEnd - runStart <= KeptRun
                             ? sink.Write(std::string_view(kept).substr(static_cast<std::size_t>(from - runStart),
                                                                        static_cast<std::size_t>(to - from)))
                             : ReadInto(sink, from, to);
    if (to >= runEnd) {
      runStart = runEnd;
    }
    return written;
  }

 private:
  bool ReadInto(ByteSink& sink, std::uint64_t from, std::uint64_t to) {
    while (from < to) {
      std::size_t room = 0;
      char* const free = sink.Free(room);
      if (free == nullptr) {
        return false;
      }
      const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(room, to - from));
      std::size_t got = 0;
      // The input fails a read of bytes it gave before and cannot give
      // again, so every byte asked for comes.
      if (!input.ReadAt(from, free, count, got)) {
        return false;
      }
      sink.Fill(got);
      from += got;
    }
    return true;
  }

  CsvFileHandle& input;
  std::string kept;
  std::uint64_t runStart = 0;  // the pending bytes are those from runStart
  std::uint64_t runEnd = 0;    // to runEnd
};

}  // namespace

bool DetectDialect(CsvFileHandle& input, DialectDetector& detector, std::vector<KeptBlock>& start) {
  if (input.CanReadAgain()) {
    std::string chunk(DialectChunk, '\0');
    for (std::uint64_t at = 0; !detector.Decided();) {
      std::size_t got = 0;
      if (!input.ReadAt(at, chunk.data(), chunk.size(), got)) {
        return false;
      }
      detector.Feed(std::string_view(chunk.data(), got));
      if (got < chunk.size()) {
        detector.End();
      }
      at += got;
      chunk.resize(std::max(chunk.size(), ReadBlockSize));
    }
  } else {
    // Kept, since a pipe cannot give them again.
    std::string_view bytes;
    while (!detector.Decided()) {
      if (!input.ReadBlock(bytes)) {
        if (input.Error()) {
          return false;
        }
        detector.End();
        break;
      }
      detector.Feed(bytes);
      // With the room past its end that copies may read, as the blocks have.
      KeptBlock& kept = start.emplace_back();
      kept.bytes = std::make_unique<char[]>(bytes.size() + CopySlack);
      std::copy(bytes.begin(), bytes.end(), kept.bytes.get());
      kept.size = bytes.size();
    }
  }
  return true;
}

bool ConvertLines(CsvFileHandle& input, OutputFile& output, const LayoutChoice& layout, ConversionReport& report) {
  DialectDetector detector(layout);
  std::vector<KeptBlock> start;
  if (!DetectDialect(input, detector, start)) {
    return false;
  }
  report.problem = detector.Problem();
  if (report.problem != LayoutProblem::None) {
    return false;
  }
  const Dialect dialect = detector.Result();
  FileSink sink(output);
  ReadAgain again(input);
  HeldBytes held;
  LineConverter converter(dialect, sink, input.CanReadAgain() ? static_cast<PendingBytes&>(again) : held);
  WholeCharacters pieces(dialect, converter);
  bool converted = true;
  std::uint64_t offset = 0;
  for (KeptBlock& block : start) {
    converted = converted && pieces.Convert(offset, block.View(), false);
    offset += block.size;
    block.bytes.reset();  // the converter holds what it still needs
  }
  for (std::string_view bytes; converted && input.ReadBlock(bytes);) {
    converted = pieces.Convert(input.Offset(), bytes, false);
    offset = input.Offset() + bytes.size();
  }
  converted = converted && !input.Error() && pieces.Convert(offset, {}, true);
  report.dialect = dialect;
  report.tally = converter.Tally();
  return converted;
}

}  // namespace rungwell
