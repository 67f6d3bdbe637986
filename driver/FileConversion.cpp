#include "driver/FileConversion.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "csv/ByteSink.h"
#include "csv/DialectDetector.h"
#include "csv/LineConverter.h"
#include "csv/PendingBytes.h"
#include "driver/ChunkedConversion.h"

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

  Outcome Failure() const override {
    // A reader that has gone, of standard output or any other pipe, is no
    // failure of the run's own: the run ends as tools end for it.
    if (output.IsStream() && output.Error() == std::errc::broken_pipe) {
      return Outcome::ReaderGone(output.Error());
    }
    return Outcome::WriteFailed(output.Error());
  }

 private:
  OutputFile& output;
};

// A block that a pipe gave while its dialect was read, kept for the
// conversion, with the room past its end that copies may read.
struct KeptBlock {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;

  std::string_view View() const noexcept { return {bytes.get(), size}; }
};

// Feeds the start of input to detector until it has decided: a regular file
// read at offsets, apart from its blocks; a pipe through ReadBlock, its
// blocks kept in start for the conversion. False after a read error.
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

}  // namespace

Outcome ConvertLines(CsvFileHandle& input, OutputFile& output, const LayoutChoice& layout, ConversionReport& report) {
  DialectDetector detector(layout);
  std::vector<KeptBlock> start;
  if (!DetectDialect(input, detector, start)) {
    return Outcome::ReadFailed(input.Error());
  }
  const Dialect dialect = detector.Result();
  report.dialect = dialect;
  if (const LayoutProblem problem = detector.Problem(); problem != LayoutProblem::None) {
    report.firstLineNames = detector.FirstLineNames();
    return Outcome::LayoutMismatch(problem);
  }
  report.origin = detector.Origin();
  // Indentation only adds bytes, so the output holds at least the input's.
  if (std::uint64_t size = 0; input.CanReadAgain() && !input.Size(size)) {
    output.Reserve(size);
  }
  FileSink sink(output);
  if (CanConvertInChunks(input, output, dialect)) {
    Outcome outcome = ConvertInChunks(input, output, dialect, report.tally);
    if (outcome.Done() && !output.Commit()) {
      outcome = sink.Failure();
    }
    return outcome;
  }
  FileAgain again(input);
  PendingBytes pending = input.CanReadAgain() ? PendingBytes(again, KeptRun) : PendingBytes();
  LineConverter converter(dialect, sink, pending);
  Outcome outcome;
  std::uint64_t offset = 0;
  for (KeptBlock& block : start) {
    if (outcome.Done()) {
      outcome = converter.Convert(offset, block.View(), false);
    }
    offset += block.size;
    block.bytes.reset();  // the converter holds what it still needs
  }
  for (std::string_view bytes; outcome.Done() && input.ReadBlock(bytes);) {
    outcome = converter.Convert(input.Offset(), bytes, false);
    offset = input.Offset() + bytes.size();
  }
  if (outcome.Done() && input.Error()) {
    outcome = Outcome::ReadFailed(input.Error());
  }
  if (outcome.Done()) {
    outcome = converter.Convert(offset, {}, true);
  }
  report.tally = converter.Tally();
  if (outcome.Done() && !output.Commit()) {
    outcome = sink.Failure();
  }
  return outcome;
}

}  // namespace rungwell
