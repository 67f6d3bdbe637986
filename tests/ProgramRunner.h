#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace rungwell::testing {

// How to start the program under test.
struct RunOptions {
  std::vector<std::string> args;  // after the program name
  std::string program;            // a copy of the built program, or a link to it; empty: the built one
  std::string workingDirectory;   // empty: the test's own
  // Largest file the program may write (RLIMIT_FSIZE), with SIGXFSZ ignored,
  // so that a write past it fails as on a full disk.
  std::optional<unsigned long long> fileSizeLimit;
  // Standard input: /dev/null, unless a pipe is asked for that stays open
  // (without data) for as long as the program runs, or bytes are given.
  bool stdinOpenPipe = false;
  // Standard input's bytes, from a file, or through a pipe that ends with them.
  std::optional<std::string> stdinBytes;
  bool stdinBytesThroughPipe = false;
  // Standard input read from this file, and standard output appended to this
  // one, as a shell's < and >> do; empty for neither.
  std::string stdinPath;
  std::string stdoutAppendPath;
  // When set, standard input is a terminal, and this is typed into it.
  std::optional<std::string> terminalInput;
  // Standard output is a terminal (the same one, when input is too); what
  // the program writes there comes back as out, byte for byte.
  bool terminalOutput = false;
  // Run as an ordinary user (nobody) when the test runs as root, so that
  // permission bits apply to the program.
  bool asOrdinaryUser = false;
  // Reads of the input file whose path ends in failReadName fail from this
  // byte on (Linux, through a preloaded library), as on a failing disk.
  std::optional<unsigned long long> failReadAt;
  std::string failReadName;
  // Closing a file the program writes fails (Linux, through the same library).
  bool failOutputClose = false;
  // Largest address space the program may take (RLIMIT_AS), so that it runs
  // out of memory early.
  std::optional<unsigned long long> addressSpaceLimit;
  // How long the program may run before it is killed and counted as hung.
  std::chrono::milliseconds patience{30000};
};

// Exit status of the child when the program could not be started, such as a
// build directory that an ordinary user cannot reach.
inline constexpr int CouldNotStart = 124;

struct RunResult {
  int exitStatus = -1;  // -1 when it did not exit normally
  int signal = 0;       // the signal that ended it, if one did
  bool timedOut = false;
  std::string out;
  std::string err;
};

// Runs the built program and waits for it, killing it after a generous time
// so that a hang fails the test instead of stalling the suite.
RunResult RunProgram(const RunOptions& options);
RunResult RunProgram(std::vector<std::string> args);

// Path of the built program.
std::string ProgramPath();

}  // namespace rungwell::testing
