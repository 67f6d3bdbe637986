#include "csv/LineConverter.h"

#include <algorithm>

#include "csv/simd/Kernels.h"

namespace rungwell {

namespace {

// Blocks are scanned and put together a piece of this size at a time, which
// the processor's cache holds, so that its bytes are still there when they
// are copied after the scan. Even, so that no 16-bit character is cut.
constexpr std::size_t CachedPiece = std::size_t{64} << 10;

}  // namespace

LineConverter::LineConverter(const Dialect& dialect, ByteSink& output, PendingBytes& waiting, ScanPath path,
                             std::uint64_t start)
    : kernels(KernelsFor(path)),
      scanner(dialect, std::max<std::uint64_t>(dialect.markSize, start), path),
      indentation(dialect),
      scanStart(std::max<std::uint64_t>(dialect.markSize, start)),
      wide(dialect.UnitSize() == 2),
      sink(output),
      pending(waiting),
      emitted(start) {}

Outcome LineConverter::Convert(std::uint64_t offset, std::string_view bytes, bool final) {
  if (bytes.empty() && !final) {
    return {};
  }
  // A character cut by the last piece's end goes whole, on its own.
  if (cutByte >= 0) {
    // With the room past its end that copies may read, as the blocks have.
    const char unit[2 + CopySlack] = {static_cast<char>(cutByte), bytes.empty() ? '\0' : bytes[0]};
    cutByte = -1;
    const std::size_t size = bytes.empty() ? 1 : 2;
    if (!ConvertBlock(offset - 1, std::string_view(unit, size), final && bytes.size() < 2)) {
      return failure;
    }
    offset += size - 1;
    bytes.remove_prefix(size - 1);
    if (bytes.empty()) {
      return {};
    }
  }
  const std::uint64_t end = offset + bytes.size();
  if (!final && wide && end > scanStart && (end - scanStart) % 2 != 0) {
    cutByte = static_cast<unsigned char>(bytes.back());
    bytes.remove_suffix(1);
  }
  if ((!bytes.empty() || final) && !ConvertBlock(offset, bytes, final)) {
    return failure;
  }
  return {};
}

bool LineConverter::ConvertBlock(std::uint64_t offset, std::string_view block, bool final) {
  for (std::size_t from = 0;;) {
    const std::size_t to = block.size() - from > CachedPiece ? from + CachedPiece : block.size();
    if (!ConvertPiece(offset, block, from, to, final && to == block.size())) {
      return false;
    }
    if (to == block.size()) {
      break;
    }
    from = to;
  }
  // The start of a line whose level is still unknown leaves with the block.
  const std::uint64_t end = offset + block.size();
  if (emitted < end) {
    const std::uint64_t from = std::max(emitted, offset);
    pending.Keep(from, block.substr(static_cast<std::size_t>(from - offset)));
  }
  return true;
}

bool LineConverter::ConvertPiece(std::uint64_t offset, std::string_view block, std::size_t from, std::size_t to,
                                 bool final) {
  // The mark is copied as it is; the scan starts after it.
  const std::uint64_t pieceStart = offset + from;
  const auto skip =
      static_cast<std::size_t>(std::min<std::uint64_t>(pieceStart < scanStart ? scanStart - pieceStart : 0, to - from));
  indents.clear();
  scanner.Scan(block.substr(from + skip, to - from - skip), final, indents);
  const std::uint64_t end = offset + to;
  // Everything before the line whose level is still unknown can go.
  // (The first line starts after the mark, which may end past this piece.)
  const std::uint64_t ready = final || !scanner.OpenLineUndecided() ? end : std::min(scanner.OpenLineStart(), end);

  Assembly run{};
  run.next = indents.data();
  run.end = indents.data() + indents.size();
  run.input = block.data();
  run.offset = offset;
  run.spaces = indentation.Data();
  run.unitBytes = indentation.UnitBytes();
  for (;;) {
    std::size_t room = 0;
    char* const free = sink.Free(room);
    if (free == nullptr) {
      failure = sink.Failure();
      return false;
    }
    run.out = free;
    run.limit = free + room;
    kernels.assemble(run, emitted);
    sink.Fill(static_cast<std::size_t>(run.out - free));
    if (run.next == run.end) {
      break;
    }
    // Past the sink block's end, or the line's start is pending.
    if (!CopyInput(offset, block, run.next->lineStart)) {
      return false;
    }
    if (!sink.Write(std::string_view(run.spaces, static_cast<std::size_t>(run.next->units) * run.unitBytes))) {
      failure = sink.Failure();
      return false;
    }
    ++run.next;
  }
  return CopyInput(offset, block, ready);
}

bool LineConverter::CopyInput(std::uint64_t offset, std::string_view block, std::uint64_t to) {
  if (emitted < offset && emitted < to) {
    const std::uint64_t stop = std::min(to, offset);
    failure = pending.WriteTo(sink, emitted, stop);
    if (!failure.Done()) {
      return false;
    }
    emitted = stop;
  }
  if (to > emitted) {
    if (!sink.Write(block.substr(static_cast<std::size_t>(emitted - offset), static_cast<std::size_t>(to - emitted)))) {
      failure = sink.Failure();
      return false;
    }
    emitted = to;
  }
  return true;
}

}  // namespace rungwell
