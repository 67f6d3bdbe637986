#pragma once

#include <cstdio>
#include <string>

// The few things that Windows and POSIX systems spell differently.
namespace rungwell {

// Creates path for binary writing, failing with EEXIST if anything is there
// already, so that a name can never be taken from under another writer.
// Returns null with errno set on failure.
std::FILE* CreateNewFile(const std::string& path);

// A number that differs between processes running at the same time.
unsigned long CurrentProcessId() noexcept;

// Waits for the user after the usage text, so that a console window opened
// just for this run stays readable. On Windows the command interpreter's
// "pause" does it; elsewhere a prompt waits for Enter, but only when standard
// input is a terminal, so that scripts and closed input never hang.
void WaitForKeyPress();

}  // namespace rungwell
