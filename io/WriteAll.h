#pragma once

#include <algorithm>
#include <cstddef>
#include <system_error>

namespace rungwell {

// Writes all count items of data through writeSome, which may write fewer
// than it is given: writeSome(from, n, done) writes up to n items (never more
// than largest, for calls that take a smaller count type), sets done to how
// many it wrote and returns why it failed, if it did.
template <typename Item, typename WriteSome>
std::error_code WriteAll(const Item* data, std::size_t count, std::size_t largest, WriteSome writeSome) {
  while (count > 0) {
    std::size_t done = 0;
    if (const std::error_code error = writeSome(data, std::min(count, largest), done)) {
      return error;
    }
    // Trying again would only go round for ever.
    if (done == 0) {
      return std::make_error_code(std::errc::io_error);
    }
    data += done;
    count -= done;
  }
  return {};
}

}  // namespace rungwell
