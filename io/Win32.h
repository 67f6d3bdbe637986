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
#include <string>
#include <string_view>
#include <system_error>

#include "io/WriteAll.h"

namespace rungwell {

// A Win32 error code as a std::error_code. The common codes become errno
// values in std::generic_category(), so that the program and its tests
// compare them alike on every system; the rest keep their code. SystemMessage
// turns either back into the system's words. (std::system_category() of this
// toolchain reads a Win32 code as an errno value and tells nonsense.)
std::error_code Win32Error(unsigned long code) noexcept;

// Win32Error(GetLastError()).
std::error_code LastWin32Error() noexcept;

// What Windows' own tools say for error: the system's message for its Win32
// code, in the user's language, on one line without its closing period. An
// errno value, from the C runtime or from Win32Error, is first turned into
// the Win32 code that means the same; one with no such code reads as the C
// runtime words it. The text is in the ANSI code page, like the command line.
std::string SystemMessage(std::error_code error);

// What text passed between the ANSI code page (which the manifest makes
// UTF-8, as the command line is) and UTF-16 is for; that decides what
// becomes of text that has no exact counterpart.
enum class TextUse {
  // Shown to the user: bytes that are no text become U+FFFD, and a character
  // the code page lacks becomes its nearest look-alike.
  Display,
  // Names a file: bytes that are no text fail, since a name with U+FFFD is
  // not the file the user named; a character the code page lacks becomes '?',
  // which names no file, rather than a look-alike that could name another.
  FileName,
};

// The text in UTF-16; empty text is no failure.
std::error_code Widen(std::string_view narrow, TextUse use, std::wstring& wide);

// The text in the ANSI code page.
std::string Narrow(std::wstring_view wide, TextUse use);

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
