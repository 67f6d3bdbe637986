#pragma once

#include <cstddef>
#include <system_error>

namespace rungwell {

// Writes all of size bytes to standard output as they are, in binary on every
// system, or says why it could not. A reader that has gone away is EPIPE
// (where the system has not already ended the program for it).
std::error_code WriteStandardOutput(const char* data, std::size_t size);

}  // namespace rungwell
