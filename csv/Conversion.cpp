#include "csv/Conversion.h"

#include <algorithm>
#include <cstring>

#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

namespace {

// Copies count bytes in steps of a fixed size, which the compiler turns into
// a few vector moves, where a call to memcpy would first have to look at the
// size. Up to 31 bytes past the end of either side are read or overwritten.
inline void CopyOver(char* to, const char* from, std::size_t count) noexcept {
  constexpr std::size_t Step = 32;
  static_assert(Step <= CopySlack, "the buffers have room for a step past their end");
  for (std::size_t done = 0; done < count; done += Step) {
    std::memcpy(to + done, from + done, Step);
  }
}

// Bytes read again at a time: as little memory as a long line needs.
constexpr std::size_t AgainChunk = std::size_t{64} << 10;

}  // namespace

LineConverter::LineConverter(const Dialect& dialect, ByteSink& output, CsvFileHandle* input)
    : scanner(dialect, dialect.markSize),
      indentation(dialect),
      scanStart(dialect.markSize),
      sink(output),
      again(input) {}

bool LineConverter::Convert(std::uint64_t offset, std::string_view bytes, bool final) {
  // The mark is copied as it is; the scan starts after it.
  const auto skip =
      static_cast<std::size_t>(std::min<std::uint64_t>(offset < scanStart ? scanStart - offset : 0, bytes.size()));
  indents.clear();
  scanner.Scan(bytes.substr(skip), final, indents);
  const std::uint64_t end = offset + bytes.size();
  // Everything before the line whose level is still unknown can go.
  const std::uint64_t ready = final || !scanner.OpenLineUndecided() ? end : scanner.OpenLineStart();

  std::size_t room = 0;
  char* free = sink.Free(room);
  std::size_t used = 0;
  for (const LineIndent& indent : indents) {
    const std::size_t spaces = indentation.Bytes(indent.units);
    if (emitted >= offset) {
      const auto length = static_cast<std::size_t>(indent.lineStart - emitted);
      if (length + spaces <= room - used) {
        CopyOver(free + used, bytes.data() + (emitted - offset), length);
        CopyOver(free + used + length, indentation.Data(), spaces);
        used += length + spaces;
        emitted = indent.lineStart;
        continue;
      }
    }
    // Past the block's end, or the line's start waited from an earlier piece.
    sink.Fill(used);
    used = 0;
    if (!CopyInput(offset, bytes, indent.lineStart) || !sink.Write(std::string_view(indentation.Data(), spaces))) {
      return false;
    }
    free = sink.Free(room);
  }
  sink.Fill(used);
  if (!CopyInput(offset, bytes, ready)) {
    return false;
  }
  if (again == nullptr && ready < end) {
    const std::uint64_t from = std::max(ready, offset);
    held.append(bytes.data() + (from - offset), static_cast<std::size_t>(end - from));
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
      const auto count = static_cast<std::size_t>(stop - emitted);
      if (!sink.Write(std::string_view(held.data(), count))) {
        return false;
      }
      held.erase(0, count);
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

bool DetectDialect(CsvFileHandle& input, Dialect& dialect) {
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
    std::size_t fed = 0;
    std::string_view bytes;
    while (!detector.Decided()) {
      if (!input.ReadBlock(bytes)) {
        if (input.Error()) {
          return false;
        }
        detector.End();
        break;
      }
      detector.Feed(bytes.substr(fed));
      fed = bytes.size();
      if (input.AtEnd()) {
        detector.End();
      }
    }
  }
  dialect = detector.Result();
  return true;
}

bool ConvertLines(CsvFileHandle& input, OutputFile& output, ConversionReport* report) {
  Dialect dialect;
  if (!DetectDialect(input, dialect)) {
    return false;
  }
  LineConverter converter(dialect, output, input.CanReadAgain() ? &input : nullptr);
  std::string_view bytes;
  bool converted = true;
  while (converted && input.ReadBlock(bytes)) {
    const std::uint64_t offset = input.Offset();
    std::size_t take = bytes.size();
    // A 16-bit character cut by the block's end waits for the next block.
    if (!input.AtEnd() && dialect.UnitSize() == 2 && offset + take > dialect.markSize &&
        (offset + take - dialect.markSize) % 2 != 0) {
      --take;
    }
    converted = converter.Convert(offset, bytes.substr(0, take), input.AtEnd() && take == bytes.size());
    input.Consume(take);
  }
  converted = converted && !input.Error() && converter.Convert(input.Offset(), {}, true);
  if (report != nullptr) {
    report->dialect = dialect;
    report->tally = converter.Tally();
  }
  return converted;
}

}  // namespace rungwell
