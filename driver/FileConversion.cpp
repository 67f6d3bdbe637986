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

// Bytes read at a time for the dialect: the most it usually needs.
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

// A regular file's pending bytes are read again from it, straight into the
// sink's blocks, rather than held.
class ReadAgain final : public PendingBytes {
 public:
  explicit ReadAgain(CsvFileHandle& file) : input(file) {}

  void Keep(std::uint64_t /*offset*/, std::string_view /*bytes*/) override {}

  bool WriteTo(ByteSink& sink, std::uint64_t from, std::uint64_t to) override {
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

 private:
  CsvFileHandle& input;
};

}  // namespace

bool DetectDialect(CsvFileHandle& input, DialectDetector& detector, std::vector<std::string>& start) {
  if (input.CanReadAgain()) {
    std::string chunk(DialectChunk, '\0');
    for (std::uint64_t at = 0; !detector.Decided(); at += chunk.size()) {
      std::size_t got = 0;
      if (!input.ReadAt(at, chunk.data(), chunk.size(), got)) {
        return false;
      }
      detector.Feed(std::string_view(chunk.data(), got));
      if (got < chunk.size()) {
        detector.End();
      }
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
      start.emplace_back().reserve(bytes.size() + CopySlack);
      start.back().assign(bytes);
    }
  }
  return true;
}

bool ConvertLines(CsvFileHandle& input, OutputFile& output, const LayoutChoice& layout, ConversionReport& report) {
  DialectDetector detector(layout);
  std::vector<std::string> start;
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
  for (std::string& piece : start) {
    converted = converted && pieces.Convert(offset, piece, false);
    offset += piece.size();
    std::string().swap(piece);  // the converter holds what it still needs
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
