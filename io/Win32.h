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

#include <algorithm>
#include <cstddef>
#include <system_error>

#include "io/WriteAll.h"

namespace rungwell {

// A Win32 error code as a std::error_code whose message says what went wrong.
// The common codes become errno values in std::generic_category(), so they
// read like the C library's failures ("No such file or directory"); the rest
// keep the system's own text. (std::system_category() of this toolchain reads
// a Win32 code as an errno value and tells nonsense.)
std::error_code Win32Error(unsigned long code) noexcept;

// Win32Error(GetLastError()).
std::error_code LastWin32Error() noexcept;

// WriteAll through a Win32 call that writes part of what it is given and
// says how much, as WriteFile (bytes) and WriteConsoleW (characters) do:
// writeSome(handle, from, count, &written, nullptr).
template <typename Item, typename WriteSome>
std::error_code WriteAllTo(HANDLE handle, const Item* data, std::size_t count, std::size_t largest,
                           WriteSome writeSome) {
  return WriteAll(data, count, std::min<std::size_t>(largest, MAXDWORD),
                  [&](const Item* from, std::size_t part, std::size_t& done) -> std::error_code {
                    DWORD written = 0;
                    if (writeSome(handle, from, static_cast<DWORD>(part), &written, nullptr) == 0) {
                      return LastWin32Error();
                    }
                    done = written;
                    return {};
                  });
}

}  // namespace rungwell
