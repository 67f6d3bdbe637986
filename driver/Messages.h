#pragma once

// What a run says on standard error, one line a message, each after the
// program's name, and what follows from it: the exit status, and whether a
// run that owns its console waits before that console closes.

#include <string>
#include <system_error>

namespace rungwell {

// The names the standard streams go by in messages.
inline constexpr const char* StandardInputName = "standard input";
inline constexpr const char* StandardOutputName = "standard output";

class Messages {
 public:
  // A file that was not converted, or text that could not be written: the
  // run ends with status 1.
  void Failure(const std::string& path, const std::string& reason);
  void Failure(const std::string& path, std::error_code error);

  // Something worth knowing about a file that was converted all the same.
  // It does not fail the run, but it keeps a dropped run's console open.
  void Note(const std::string& path, const std::string& text);

  // Standard output has lost its reader, as when "| head" has read enough:
  // the run ends at once, and says nothing more.
  void ReaderGone() { readerGone = true; }
  bool Ended() const { return readerGone; }

  // Once, after the last file: the exit status, 0 when all went well. A
  // dropped run that printed anything waits for one key first.
  int Finish() const;

  // A mistake on the command line: said in one line, with where to look.
  // Nothing is converted; returns the status for it, 2.
  static int Mistake(const std::string& what);

 private:
  void Print(const std::string& path, const std::string& text);

  bool failed = false;
  bool printed = false;
  bool readerGone = false;
};

}  // namespace rungwell
