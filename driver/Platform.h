#pragma once

#include <cstdio>
#include <string>
#include <system_error>

// The few things that Windows and POSIX systems spell differently.
namespace rungwell {

#ifndef _WIN32
// On Windows the output is a file that the system throws away by itself
// (io/UnfinishedFile.h); these are the other systems' way.

// Creates path for binary writing, failing with EEXIST if anything is there
// already, so that a name can never be taken from under another writer.
// Returns null with errno set on failure.
std::FILE* CreateNewFile(const std::string& path);

// Puts the file at from in place of to, replacing a file already there, in
// one step: at any moment to names either the old file or the new one.
std::error_code MoveIntoPlace(const std::string& from, const std::string& to);

// Names the file to remove should the user interrupt the run (Ctrl-C, kill,
// the terminal closing) before the program ends as the signal asks; null
// when there is none. A run writes one such file at a time.
void RemoveIfInterrupted(const char* path) noexcept;

// A number that differs between processes running at the same time.
unsigned long CurrentProcessId() noexcept;
#endif

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
