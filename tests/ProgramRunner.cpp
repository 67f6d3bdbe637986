#include "tests/ProgramRunner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "tests/TestFiles.h"

namespace rungwell::testing {

namespace {

void MakePipe(int fds[2]) {
  if (pipe(fds) != 0) {
    throw std::runtime_error("pipe failed");
  }
}

// The sanitizers' runtime wants to come first among preloaded libraries; the
// shim does not care where it comes, so the check is turned off.
std::string AsanOptionsWithShim() {
  const char* current = std::getenv("ASAN_OPTIONS");
  return std::string(current != nullptr ? current : "") + ":verify_asan_link_order=0";
}

}  // namespace

std::string ProgramPath() {
  return RUNGWELL_EXE;
}

RunResult RunProgram(std::vector<std::string> args) {
  RunOptions options;
  options.args = std::move(args);
  return RunProgram(options);
}

RunResult RunProgram(const RunOptions& options) {
  // Pipes, not files, carry the program's output: a file size limit would
  // apply to files it writes its messages to as well.
  int outPipe[2];
  int errPipe[2];
  int inPipe[2] = {-1, -1};
  MakePipe(outPipe);
  MakePipe(errPipe);
  if (options.stdinOpenPipe) {
    MakePipe(inPipe);
  }
  std::unique_ptr<TempDir> inputFolder;
  pid_t feeder = -1;
  if (options.stdinBytes && options.stdinBytesThroughPipe) {
    MakePipe(inPipe);
    // A process of its own writes them, so that a pipe's worth does not stall the test.
    feeder = fork();
    if (feeder < 0) {
      throw std::runtime_error("fork failed");
    }
    if (feeder == 0) {
      // Holding the program's output pipes open would keep the test waiting for their end.
      for (const int fd : {inPipe[0], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) {
        close(fd);
      }
      const std::string& bytes = *options.stdinBytes;
      for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t n = write(inPipe[1], bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
          _exit(1);
        }
        written += static_cast<std::size_t>(n);
      }
      _exit(0);
    }
    close(inPipe[1]);
    inPipe[1] = -1;
  } else if (!options.stdinPath.empty()) {
    inPipe[0] = open(options.stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (inPipe[0] < 0) {
      throw std::runtime_error("cannot open " + options.stdinPath);
    }
  } else if (options.stdinBytes) {
    inputFolder = std::make_unique<TempDir>();
    WriteFile(inputFolder->File("stdin"), *options.stdinBytes);
    inPipe[0] = open(inputFolder->File("stdin").c_str(), O_RDONLY | O_CLOEXEC);
    if (inPipe[0] < 0) {
      throw std::runtime_error("cannot open the standard input's file");
    }
  }
  int terminal = -1;     // the side of a pseudo-terminal the test types into and reads
  int programSide = -1;  // the side the program has
  if (options.terminalInput || options.terminalOutput) {
    terminal = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    programSide = open(ptsname(terminal), O_RDWR | O_NOCTTY);
    termios mode{};
    if (programSide < 0 || tcgetattr(programSide, &mode) != 0) {
      throw std::runtime_error("cannot open the pseudo-terminal");
    }
    // No echo and no CR added to line ends: what comes back is what was written.
    cfmakeraw(&mode);
    if (tcsetattr(programSide, TCSANOW, &mode) != 0) {
      throw std::runtime_error("cannot set up the pseudo-terminal");
    }
    if (options.terminalInput) {
      inPipe[0] = programSide;
    }
  }

  // RUNGWELL_TEST_WRAPPER, such as a valgrind command line, goes in front of
  // the program, split at spaces.
  std::vector<std::string> argvStrings;
  if (const char* wrapper = std::getenv("RUNGWELL_TEST_WRAPPER")) {
    std::istringstream words(wrapper);
    for (std::string word; words >> word;) {
      argvStrings.push_back(word);
    }
  }
  // The build folder may sit where an ordinary user cannot reach it (under a
  // home folder of mode 0700, say); a copy in a temporary folder can be run.
  std::unique_ptr<TempDir> programCopy;
  std::string program = options.program.empty() ? ProgramPath() : options.program;
  if (options.asOrdinaryUser && geteuid() == 0) {
    programCopy = std::make_unique<TempDir>();
    program = programCopy->File("Rungwell");
    std::filesystem::copy_file(ProgramPath(), program);
  }
  argvStrings.push_back(program);
  argvStrings.insert(argvStrings.end(), options.args.begin(), options.args.end());
  std::vector<char*> argv;
  argv.reserve(argvStrings.size() + 1);
  for (std::string& arg : argvStrings) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);

  const int appended =
      options.stdoutAppendPath.empty() ? -1 : open(options.stdoutAppendPath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  const pid_t child = fork();
  if (child < 0) {
    throw std::runtime_error("fork failed");
  }
  if (child == 0) {
    // Only async-signal-safe calls from here to exec.
    const int in = inPipe[0] >= 0 ? inPipe[0] : open("/dev/null", O_RDONLY);
    const int out = options.terminalOutput ? programSide : appended >= 0 ? appended : outPipe[1];
    if (in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(errPipe[1], 2) < 0) {
      _exit(125);
    }
    for (const int fd :
         {outPipe[0], outPipe[1], errPipe[0], errPipe[1], inPipe[0], inPipe[1], in, terminal, programSide}) {
      if (fd > 2) {
        close(fd);
      }
    }
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
      _exit(126);
    }
    if (options.fileSizeLimit) {
      const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
      (void)signal(SIGXFSZ, SIG_IGN);
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        _exit(127);
      }
    }
    if (options.asOrdinaryUser && geteuid() == 0) {
      const gid_t nobody = 65534;
      if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) {
        _exit(CouldNotStart);
      }
    }
    if (options.addressSpaceLimit) {
      const rlimit limit{*options.addressSpaceLimit, *options.addressSpaceLimit};
      if (setrlimit(RLIMIT_AS, &limit) != 0) {
        _exit(CouldNotStart);
      }
    }
    if (options.failReadAt || options.failOutputClose) {
      if (setenv("LD_PRELOAD", RUNGWELL_READ_FAILURE_SHIM, 1) != 0 ||
          setenv("ASAN_OPTIONS", AsanOptionsWithShim().c_str(), 1) != 0) {
        _exit(CouldNotStart);
      }
    }
    if (options.failReadAt) {
      const std::string at = std::to_string(*options.failReadAt);
      if (setenv("RUNGWELL_FAIL_READ_AT", at.c_str(), 1) != 0 ||
          setenv("RUNGWELL_FAIL_READ_NAME", options.failReadName.c_str(), 1) != 0) {
        _exit(CouldNotStart);
      }
    }
    if (options.failOutputClose && setenv("RUNGWELL_FAIL_CLOSE", "1", 1) != 0) {
      _exit(CouldNotStart);
    }
    execvp(argv[0], argv.data());
    _exit(CouldNotStart);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  if (appended >= 0) {
    close(appended);
  }
  if (inPipe[0] >= 0 && inPipe[0] != programSide) {
    close(inPipe[0]);
  }
  if (programSide >= 0) {
    close(programSide);
  }
  if (options.terminalOutput) {
    // Nothing comes through the pipe; the terminal's own side is read instead.
    close(outPipe[0]);
    outPipe[0] = terminal;
  }
  if (options.terminalInput && !options.terminalInput->empty()) {
    (void)!write(terminal, options.terminalInput->data(), options.terminalInput->size());
  }

  RunResult result;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  const auto deadline = std::chrono::steady_clock::now() + options.patience;
  int open = 2;
  while (open > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      kill(child, SIGKILL);
      break;
    }
    if (poll(fds, 2, static_cast<int>(left.count())) < 0) {
      continue;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        char chunk[4096];
        const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
        if (n > 0) {
          sinks[i]->append(chunk, static_cast<std::size_t>(n));
        } else {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open;
        }
      }
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) {
      close(fd.fd);
    }
  }
  for (const int fd : {inPipe[1], options.terminalOutput ? -1 : terminal}) {
    if (fd >= 0) {
      close(fd);
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (feeder > 0) {
    kill(feeder, SIGKILL);  // should the program have stopped reading
    waitpid(feeder, nullptr, 0);
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return result;
}

}  // namespace rungwell::testing
