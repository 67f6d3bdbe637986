#pragma once

#include <string_view>
#include <system_error>

namespace rungwell {

enum class StandardStream { Output, Error };

// Writes text to standard output or standard error and flushes it, so that it
// is on screen before anything waits for a key. The text is in the ANSI code
// page, as the command line and the system's messages are. Where the stream
// is a Windows console, it goes as UTF-16 and shows in any script whatever
// the console's own code page; elsewhere, redirected to a file or a pipe, the
// bytes go unchanged. Returns why the text could not be written, if it could
// not.
[[nodiscard]] std::error_code WriteText(StandardStream stream, std::string_view text);

}  // namespace rungwell
