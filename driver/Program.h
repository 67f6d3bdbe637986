#pragma once

namespace rungwell {

// The whole program. Without a path it prints the usage text and, where
// someone is looking, waits for them; with paths it converts each file into
// its "_new" copy beside it, in turn, whether or not the ones before failed.
// -h, --help and /? print the help, --version the version. Failures are
// reported on standard error as "Rungwell: <path>: <reason>". Returns the
// exit status: 0; 1 after any failure; 2 for a mistake on the command line;
// 141 where standard output lost its reader and no signal can end the
// program (Windows).
int Run(int argc, const char* const argv[]);

}  // namespace rungwell
