#include "csv/Conversion.h"

#include <algorithm>
#include <cstring>

#include "csv/Vectors.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

namespace {

// Copies count bytes in steps of 64, which become a few vector moves, where a
// call to memcpy would first have to look at the size. The first Ahead bytes
// are copied whatever count is, so that the usual short piece takes no
// branch that depends on its length. Up to Ahead or 63 bytes past the end of
// either side are read or overwritten.
constexpr std::size_t CopyStep = 64;
constexpr std::size_t LineAhead = 128;   // most lines of a plan are shorter
constexpr std::size_t SpacesAhead = 64;  // most indentation is
static_assert(LineAhead <= CopySlack && SpacesAhead <= CopySlack, "the buffers have room to copy ahead");

struct Copy16 {
  template <std::size_t Ahead>
  static RUNGWELL_INLINE void Over(char* to, const char* from, std::size_t count) noexcept {
    std::memcpy(to, from, Ahead);
    for (std::size_t done = Ahead; done < count; done += CopyStep) {
      std::memcpy(to + done, from + done, CopyStep);
    }
  }
};

#ifdef RUNGWELL_X86
struct Copy32 {
  RUNGWELL_TARGET(RUNGWELL_AVX2) static inline void Step(char* to, const char* from) noexcept {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 32));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), low);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 32), high);
  }
  template <std::size_t Ahead>
  RUNGWELL_TARGET(RUNGWELL_AVX2)
  static inline void Over(char* to, const char* from, std::size_t count) noexcept {
    for (std::size_t done = 0; done < Ahead; done += CopyStep) {
      Step(to + done, from + done);
    }
    for (std::size_t done = Ahead; done < count; done += CopyStep) {
      Step(to + done, from + done);
    }
  }
};

struct Copy64 {
  template <std::size_t Ahead>
  RUNGWELL_TARGET(RUNGWELL_AVX512)
  static inline void Over(char* to, const char* from, std::size_t count) noexcept {
    for (std::size_t done = 0; done < Ahead; done += CopyStep) {
      _mm512_storeu_si512(to + done, _mm512_loadu_si512(from + done));
    }
    for (std::size_t done = Ahead; done < count; done += CopyStep) {
      _mm512_storeu_si512(to + done, _mm512_loadu_si512(from + done));
    }
  }
};
#endif

// Puts lines and their indentation together for as long as they fit in the
// sink's block and their bytes are all in the piece; next is where it stopped.
template <typename Copy>
RUNGWELL_INLINE void AssembleWith(LineConverter::Assembly& run) noexcept {
  for (; run.next != run.end; ++run.next) {
    if (run.done < run.offset) {
      return;
    }
    const auto length = static_cast<std::size_t>(run.next->lineStart - run.done);
    const std::size_t spacing = static_cast<std::size_t>(run.next->units) * run.unitBytes;
    if (length + spacing > static_cast<std::size_t>(run.limit - run.out)) {
      return;
    }
    Copy::template Over<LineAhead>(run.out, run.input + (run.done - run.offset), length);
    Copy::template Over<SpacesAhead>(run.out + length, run.spaces, spacing);
    run.out += length + spacing;
    run.done = run.next->lineStart;
  }
}

void Assemble16(LineConverter::Assembly& run) noexcept {
  AssembleWith<Copy16>(run);
}

#ifdef RUNGWELL_X86
RUNGWELL_TARGET(RUNGWELL_AVX2) void Assemble32(LineConverter::Assembly& run) noexcept {
  AssembleWith<Copy32>(run);
}

RUNGWELL_TARGET(RUNGWELL_AVX512) void Assemble64(LineConverter::Assembly& run) noexcept {
  AssembleWith<Copy64>(run);
}
#endif

// The widest copy the scan's choice of instructions allows.
LineConverter::Assembler AssemblerFor(ScanPath path) {
#ifdef RUNGWELL_X86
  if (path == ScanPath::Avx512) {
    return &Assemble64;
  }
  if (path == ScanPath::Avx2) {
    return &Assemble32;
  }
#endif
  (void)path;
  return &Assemble16;
}

// Even, so that no 16-bit character is cut.
constexpr std::size_t CachedPiece = std::size_t{64} << 10;

// Bytes read again at a time: as little memory as a long line needs.
constexpr std::size_t AgainChunk = std::size_t{64} << 10;

}  // namespace

LineConverter::LineConverter(const Dialect& dialect, ByteSink& output, CsvFileHandle* input)
    : scanner(dialect, dialect.markSize),
      indentation(dialect),
      scanStart(dialect.markSize),
      sink(output),
      again(input),
      assemble(AssemblerFor(BestScanPath())) {}

bool LineConverter::Convert(std::uint64_t offset, std::string_view bytes, bool final) {
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
  const std::uint64_t ready = final || !scanner.OpenLineUndecided() ? end : scanner.OpenLineStart();

  Assembly run;
  run.next = indents.data();
  run.end = indents.data() + indents.size();
  run.input = bytes.data();
  run.offset = offset;
  run.spaces = indentation.Data();
  run.unitBytes = indentation.UnitBytes();
  run.done = emitted;
  for (;;) {
    std::size_t room = 0;
    char* const free = sink.Free(room);
    run.out = free;
    run.limit = free + room;
    assemble(run);
    sink.Fill(static_cast<std::size_t>(run.out - free));
    emitted = run.done;
    if (run.next == run.end) {
      break;
    }
    // Past the block's end, or the line's start waited from an earlier piece.
    if (!CopyInput(offset, bytes, run.next->lineStart) ||
        !sink.Write(std::string_view(run.spaces, static_cast<std::size_t>(run.next->units) * run.unitBytes))) {
      return false;
    }
    run.done = emitted;
    ++run.next;
  }
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
  // What reading the dialect left of a pipe goes first, before a read that
  // may wait for more.
  std::string_view bytes = input.Unconsumed();
  bool converted = true;
  for (; converted && (!bytes.empty() || input.ReadBlock(bytes)); bytes = {}) {
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
