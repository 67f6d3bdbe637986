#pragma once

// Windows only: the system's header as every file of the program includes it,
// and how the system's failures read.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <system_error>

namespace rungwell {

// A Win32 error code as a std::error_code whose message says what went wrong.
// The common codes become errno values in std::generic_category(), so they
// read like the C library's failures ("No such file or directory"); the rest
// keep the system's own text. (std::system_category() of this toolchain reads
// a Win32 code as an errno value and tells nonsense.)
std::error_code Win32Error(unsigned long code) noexcept;

// Win32Error(GetLastError()).
std::error_code LastWin32Error() noexcept;

}  // namespace rungwell
