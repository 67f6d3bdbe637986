#include "csv/PendingBytes.h"

#include <algorithm>

namespace rungwell {

namespace {

// The size of the pieces held bytes are kept in.
constexpr std::size_t HeldPiece = std::size_t{1} << 20;

}  // namespace

void HeldBytes::Keep(std::uint64_t /*offset*/, std::string_view bytes) {
  if (pieces.empty() || pieces.back().capacity() - pieces.back().size() < bytes.size()) {
    pieces.emplace_back().reserve(std::max(bytes.size(), HeldPiece));
  }
  pieces.back().append(bytes);
}

bool HeldBytes::WriteTo(ByteSink& sink, std::uint64_t from, std::uint64_t to) {
  // Pending bytes are written in order, each once: from is where the held
  // ones begin.
  for (std::uint64_t left = to - from; left > 0;) {
    const std::string& first = pieces.front();
    const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, first.size() - written));
    if (!sink.Write(std::string_view(first).substr(written, part))) {
      return false;
    }
    left -= part;
    written += part;
    if (written == first.size()) {
      pieces.pop_front();
      written = 0;
    }
  }
  return true;
}

}  // namespace rungwell
