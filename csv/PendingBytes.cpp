#include "csv/PendingBytes.h"

#include <algorithm>

namespace rungwell {

namespace {

// The size of the pieces held bytes are kept in.
constexpr std::size_t HeldPiece = std::size_t{1} << 20;

}  // namespace

void PendingBytes::Keep(std::uint64_t offset, std::string_view bytes) {
  if (runStart == runEnd) {
    runStart = offset;
    dropped = false;
  }
  runEnd = offset + bytes.size();
  if (dropped) {
    return;
  }
  if (earlier != nullptr && runEnd - runStart > most) {
    dropped = true;
    pieces.clear();
    written = 0;
    return;
  }
  if (pieces.empty() || pieces.back().capacity() - pieces.back().size() < bytes.size()) {
    // A held run of a file that can be read again is short: no large piece for it.
    pieces.emplace_back().reserve(std::max(bytes.size(), earlier != nullptr ? most : HeldPiece));
  }
  pieces.back().append(bytes);
}

Outcome PendingBytes::WriteTo(ByteSink& sink, std::uint64_t from, std::uint64_t to) {
  const Outcome outcome = dropped ? ReadAgain(sink, from, to) : WriteHeld(sink, to - from);
  if (to >= runEnd) {
    runStart = runEnd;
  }
  return outcome;
}

Outcome PendingBytes::WriteHeld(ByteSink& sink, std::uint64_t count) {
  for (std::uint64_t left = count; left > 0;) {
    const std::string& first = pieces.front();
    const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, first.size() - written));
    if (!sink.Write(std::string_view(first).substr(written, part))) {
      return sink.Failure();
    }
    left -= part;
    written += part;
    if (written == first.size()) {
      pieces.pop_front();
      written = 0;
    }
  }
  return {};
}

Outcome PendingBytes::ReadAgain(ByteSink& sink, std::uint64_t from, std::uint64_t to) {
  while (from < to) {
    std::size_t room = 0;
    char* const free = sink.Free(room);
    if (free == nullptr) {
      return sink.Failure();
    }
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(room, to - from));
    if (const std::error_code error = earlier->ReadAgain(from, free, count)) {
      return Outcome::ReadFailed(error);
    }
    sink.Fill(count);
    from += count;
  }
  return {};
}

}  // namespace rungwell
