#include "io/StandardOutput.h"

#include "io/WriteAll.h"

#ifdef _WIN32
#include "io/Win32.h"
#else
#include <unistd.h>

#include <climits>

#include "io/Errno.h"
#endif

namespace rungwell {

std::error_code WriteStandardOutput(const char* data, std::size_t size) {
#ifdef _WIN32
  // The handle itself, not the C runtime's stream, which would turn LF into CR LF.
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    return std::make_error_code(std::errc::bad_file_descriptor);
  }
  return WriteAllTo(output, data, size, std::size_t{1} << 30, WriteFile);
#else
  return WriteAll(data, size, SSIZE_MAX, [](const char* from, std::size_t count, std::size_t& done) {
    const ssize_t n = RetryOnInterrupt([&] { return write(STDOUT_FILENO, from, count); });
    if (n < 0) {
      return LastErrno();
    }
    done = static_cast<std::size_t>(n);
    return std::error_code();
  });
#endif
}

}  // namespace rungwell
