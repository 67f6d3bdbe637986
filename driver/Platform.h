#pragma once

// The few things that Windows and POSIX systems spell differently.
namespace rungwell {

// Waits for the user after the usage text, so that a console window opened
// just for this run stays readable. On Windows the command interpreter's
// "pause" does it; elsewhere a prompt waits for Enter, but only when standard
// input is a terminal, so that scripts and closed input never hang.
void WaitForKeyPress();

// After a failure on Windows: when this program owns its console alone, as
// it does when a file was dropped onto it in Explorer, that console closes as
// it ends, so wait for a key and let the message be read. A console shared
// with a command interpreter, or input that is no console (as in tests),
// never waits. Elsewhere a terminal outlives the program; nothing to do.
void HoldConsoleAfterFailure();

}  // namespace rungwell
