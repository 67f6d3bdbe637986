#pragma once

// What the end-to-end tests of the built program share: the texts it
// prints, and plans to feed it.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace rungwell::testing {

using Names = std::vector<std::string>;

inline const std::string Usage = "Rungwell.exe [file path]\nthe level column is 5 (0 begin)\n";

// A failure as the program reports it, in the C library's words.
inline std::string Message(const std::string& path, int error) {
  return "Rungwell: " + path + ": " + std::strerror(error) + "\n";
}

// A plan of realistic lines, levels 0 to 5, of at least size bytes.
inline std::string BigPlan(std::size_t size = 1000000) {
  std::string plan;
  for (int i = 0; plan.size() < size; ++i) {
    plan += std::to_string(i) + ",\"Task, part\",owner,2026-01-01,2026-02-01," + std::to_string(i % 6) + ",notes\n";
  }
  return plan;
}

// Text in UTF-16LE with its mark; the text must be ASCII.
inline std::string Utf16Le(std::string_view ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii) {
    bytes += {c, '\0'};
  }
  return bytes;
}

// Whether the program runs under AddressSanitizer or a wrapper such as
// valgrind, which take memory of their own beyond any limit a test sets.
inline bool MemoryIsWatched() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#endif
#endif
  return std::getenv("RUNGWELL_TEST_WRAPPER") != nullptr;
}

// A socket bound at path, which stays there once its descriptor is closed;
// false where it could not be made.
inline bool MakeSocket(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) {
    return false;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound = fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) {
    close(fd);
  }
  return bound;
}

}  // namespace rungwell::testing
