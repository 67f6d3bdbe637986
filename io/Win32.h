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

// Calls attempt, which returns a Win32 error code (0 for success), again
// while it fails with access denied or a sharing violation, for about a
// second with growing pauses, and returns its last code. A virus scanner or
// the search indexer that opens a new file for a moment makes Windows refuse,
// in those words, to delete or replace it until they let go.
template <typename Attempt>
unsigned long RetryWhileBusy(Attempt attempt) {
  constexpr DWORD Patience = 1000;  // milliseconds
  DWORD code = attempt();
  for (DWORD pause = 10, waited = 0;
       (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) && waited < Patience;
       waited += pause, pause = std::min<DWORD>(2 * pause, 250)) {
    Sleep(pause);
    code = attempt();
  }
  return code;
}

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
