#include "csv/LineConverter.h"

#include <algorithm>
#include <cstring>

#include "csv/simd/Kernels.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

namespace {

// Even, so that no 16-bit character is cut.
constexpr std::size_t CachedPiece = std::size_t{64} << 10;

// Bytes read again at a time: as little memory as a long line needs.
constexpr std::size_t AgainChunk = std::size_t{64} << 10;

// The size of the pieces a pipe's waiting bytes are kept in.
constexpr std::size_t HeldPiece = std::size_t{1} << 20;

}  // namespace

LineConverter::LineConverter(const Dialect& dialect, ByteSink& output, CsvFileHandle* input, ScanPath path)
    : scanner(dialect, dialect.markSize, path),
      indentation(dialect),
      scanStart(dialect.markSize),
      unitSize(dialect.UnitSize()),
      sink(output),
      again(input),
      assemble(KernelsFor(path).assemble) {}

bool LineConverter::Convert(std::uint64_t offset, std::string_view bytes, bool final) {
  if (bytes.empty() && !final) {
    return true;
  }
  // A 16-bit character cut by the last piece's end goes whole, on its own.
  if (cutByte >= 0) {
    // With the room past its end that copies may read, as the blocks have.
    const char unit[2 + CopySlack] = {static_cast<char>(cutByte), bytes.empty() ? '\0' : bytes[0]};
    cutByte = -1;
    const std::size_t size = bytes.empty() ? 1 : 2;
    if (!ConvertWhole(offset - 1, std::string_view(unit, size), final && bytes.size() < 2)) {
      return false;
    }
    offset += size - 1;
    bytes.remove_prefix(size - 1);
    if (bytes.empty()) {
      return true;
    }
  }
  const std::uint64_t end = offset + bytes.size();
  if (!final && unitSize == 2 && end > scanStart && (end - scanStart) % 2 != 0) {
    cutByte = static_cast<unsigned char>(bytes.back());
    bytes.remove_suffix(1);
  }
  return (bytes.empty() && !final) || ConvertWhole(offset, bytes, final);
}

bool LineConverter::ConvertWhole(std::uint64_t offset, std::string_view bytes, bool final) {
  // A piece at a time that the processor's cache holds, so that its bytes are
  // still there when they are copied after the scan.
  while (bytes.size() > CachedPiece) {
    if (!ConvertPiece(offset, bytes.substr(0, CachedPiece), false)) {
      return false;
    }
    offset += CachedPiece;
    bytes.remove_prefix(CachedPiece);
  }
  return ConvertPiece(offset, bytes, final);
}

bool LineConverter::ConvertPiece(std::uint64_t offset, std::string_view bytes, bool final) {
  // The mark is copied as it is; the scan starts after it.
  const auto skip =
      static_cast<std::size_t>(std::min<std::uint64_t>(offset < scanStart ? scanStart - offset : 0, bytes.size()));
  indents.clear();
  scanner.Scan(bytes.substr(skip), final, indents);
  const std::uint64_t end = offset + bytes.size();
  // Everything before the line whose level is still unknown can go.
  // (The first line starts after the mark, which may end past this piece.)
  const std::uint64_t ready = final || !scanner.OpenLineUndecided() ? end : std::min(scanner.OpenLineStart(), end);

  Assembly run;
  run.next = indents.data();
  run.end = indents.data() + indents.size();
  run.input = bytes.data();
  run.offset = offset;
  run.spaces = indentation.Data();
  run.unitBytes = indentation.UnitBytes();
  for (;;) {
    std::size_t room = 0;
    char* const free = sink.Free(room);
    run.out = free;
    run.limit = free + room;
    assemble(run, emitted);
    sink.Fill(static_cast<std::size_t>(run.out - free));
    if (run.next == run.end) {
      break;
    }
    // Past the block's end, or the line's start waited from an earlier piece.
    if (!CopyInput(offset, bytes, run.next->lineStart) ||
        !sink.Write(std::string_view(run.spaces, static_cast<std::size_t>(run.next->units) * run.unitBytes))) {
      return false;
    }
    ++run.next;
  }
  if (!CopyInput(offset, bytes, ready)) {
    return false;
  }
  if (again == nullptr && ready < end) {
    const std::uint64_t from = std::max(ready, offset);
    held.Append(bytes.substr(static_cast<std::size_t>(from - offset)));
  }
  return true;
}

void LineConverter::Held::Append(std::string_view bytes) {
  if (pieces.empty() || pieces.back().capacity() - pieces.back().size() < bytes.size()) {
    pieces.emplace_back().reserve(std::max(bytes.size(), HeldPiece));
  }
  pieces.back().append(bytes);
}

bool LineConverter::Held::WriteFront(ByteSink& to, std::size_t count) {
  while (count > 0) {
    const std::string& first = pieces.front();
    const std::size_t part = std::min(count, first.size() - written);
    if (!to.Write(std::string_view(first).substr(written, part))) {
      return false;
    }
    written += part;
    count -= part;
    if (written == first.size()) {
      pieces.pop_front();
      written = 0;
    }
  }
  return true;
}

bool LineConverter::CopyInput(std::uint64_t offset, std::string_view bytes, std::uint64_t to) {
  if (emitted < offset && emitted < to) {
    const std::uint64_t stop = std::min(to, offset);
    if (again != nullptr) {
      chunk.resize(AgainChunk);
      while (emitted < stop) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(stop - emitted, AgainChunk));
        std::size_t got = 0;
        if (!again->ReadAt(emitted, chunk.data(), count, got) || !sink.Write(std::string_view(chunk.data(), got))) {
          return false;
        }
        emitted += got;
      }
    } else {
      if (!held.WriteFront(sink, static_cast<std::size_t>(stop - emitted))) {
        return false;
      }
      emitted = stop;
    }
  }
  if (to > emitted) {
    if (!sink.Write(bytes.substr(static_cast<std::size_t>(emitted - offset), static_cast<std::size_t>(to - emitted)))) {
      return false;
    }
    emitted = to;
  }
  return true;
}

bool DetectDialect(CsvFileHandle& input, Dialect& dialect, std::vector<std::string>& start) {
  DialectDetector detector;
  if (input.CanReadAgain()) {
    std::string chunk(AgainChunk, '\0');
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
  dialect = detector.Result();
  return true;
}

bool ConvertLines(CsvFileHandle& input, OutputFile& output, ConversionReport* report) {
  Dialect dialect;
  std::vector<std::string> start;
  if (!DetectDialect(input, dialect, start)) {
    return false;
  }
  LineConverter converter(dialect, output, input.CanReadAgain() ? &input : nullptr);
  bool converted = true;
  std::uint64_t offset = 0;
  for (std::string& piece : start) {
    converted = converted && converter.Convert(offset, piece, false);
    offset += piece.size();
    std::string().swap(piece);  // the converter holds what it still needs
  }
  for (std::string_view bytes; converted && input.ReadBlock(bytes);) {
    converted = converter.Convert(input.Offset(), bytes, false);
    offset = input.Offset() + bytes.size();
  }
  converted = converted && !input.Error() && converter.Convert(offset, {}, true);
  if (report != nullptr) {
    report->dialect = dialect;
    report->tally = converter.Tally();
  }
  return converted;
}

}  // namespace rungwell
