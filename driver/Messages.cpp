#include "driver/Messages.h"

#include "driver/Console.h"

#ifdef _WIN32
#include "io/Win32.h"
#endif

namespace rungwell {

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitMistake = 2;
// What a shell reports for a program that SIGPIPE ended, where no signal can.
constexpr int ExitReaderGone = 128 + 13;

std::string Reason(std::error_code error) {
#ifdef _WIN32
  return SystemMessage(error);
#else
  return error.message();
#endif
}

// Should standard error fail too, there is no one left to tell; the exit
// status still says it.
void Say(const std::string& text) {
  (void)WriteText(StandardStream::Error, "Rungwell: " + text + "\n");
}

}  // namespace

void Messages::Failure(const std::string& path, const std::string& reason) {
  Print(path, reason);
  failed = true;
}

void Messages::Failure(const std::string& path, std::error_code error) {
  Failure(path, Reason(error));
}

void Messages::Note(const std::string& path, const std::string& text) {
  Print(path, text);
}

int Messages::Finish() const {
  if (readerGone) {
    return EndForGoneReader(ExitReaderGone);
  }
  if (printed) {
    HoldConsoleAfterMessages();
  }
  return failed ? ExitFailure : 0;
}

int Messages::Mistake(const std::string& what) {
  Say(what + "; Rungwell --help lists the options");
  HoldConsoleAfterMessages();
  return ExitMistake;
}

void Messages::Print(const std::string& path, const std::string& text) {
  Say(path + ": " + text);
  printed = true;
}

}  // namespace rungwell
