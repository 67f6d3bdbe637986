#pragma once

// What the program shows on the console, and when it waits there for the user.

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

// Waits for the user after the usage text, so that a console window opened
// just for this run stays readable, but only where someone can be reading:
// when standard output is a console (Windows), where the command
// interpreter's "pause" waits, or when standard output and input are both a
// terminal (elsewhere), where a prompt waits for Enter. Redirected output, a
// script or closed input never waits.
void WaitForKeyPress();

// At the end of a run that printed failures or notes, on Windows: when this
// program owns its console alone, as it does when files were dropped onto
// it in Explorer, that console closes as it ends, so wait for a key and let
// the messages be read. A console shared with a command interpreter, or
// input that is no console (as in tests), never waits. Elsewhere a terminal
// outlives the program; nothing to do.
void HoldConsoleAfterMessages();

// Ends the program as command-line tools end when the reader of their output
// goes away (as "| head" does once it has read enough): quietly, by SIGPIPE
// where the system has it, so that a shell tells it as it tells cat's. Where
// there is no such signal, returns status for the program to exit with.
int EndForGoneReader(int status);

}  // namespace rungwell
