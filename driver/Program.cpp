#include "driver/Program.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "csv/Indentation.h"
#include "csv/Level.h"
#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/FileConversion.h"
#include "driver/OutputPath.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

#ifdef _WIN32
#include "driver/Wildcards.h"
#include "io/Win32.h"
#endif

namespace rungwell {

namespace {

constexpr int ExitFailure = 1;

// What a run says on standard error, one line a message, and what follows
// from it: the exit status, and whether a run that owns its console waits
// before that console closes.
class Messages {
 public:
  // A file that was not converted: the run ends with status 1.
  void Failure(const std::string& path, const std::string& reason) {
    Print(path, reason);
    failed = true;
  }

  void Failure(const std::string& path, std::error_code error) { Failure(path, Reason(error)); }

  // Something worth knowing about a file that was converted all the same.
  // It does not fail the run, but it keeps a dropped run's console open.
  void Note(const std::string& path, const std::string& text) { Print(path, text); }

  // Once, after the last file, so that a dropped run waits for one key.
  int Finish() const {
    if (printed) {
      HoldConsoleAfterMessages();
    }
    return failed ? ExitFailure : 0;
  }

 private:
  static std::string Reason(std::error_code error) {
#ifdef _WIN32
    return SystemMessage(error);
#else
    return error.message();
#endif
  }

  void Print(const std::string& path, const std::string& text) {
    // Should standard error fail too, there is no one left to tell; the exit
    // status still says it.
    (void)WriteText(StandardStream::Error, "Rungwell: " + path + ": " + text + "\n");
    printed = true;
  }

  bool failed = false;
  bool printed = false;
};

std::string UsageText() {
  return "Rungwell.exe [file path]\nthe level column is " + std::to_string(LevelColumn) + " (0 begin)\n";
}

std::string HelpText() {
  return UsageText() +
         "\n"
         "Indents each line of a comma-separated plan by its level: two spaces for\n"
         "each level above 1. The copy goes beside the file, with _new before the\n"
         "extension: plan.csv gives plan_new.csv. Several files may be given"
#ifdef _WIN32
         ", and\n"
         "wildcards such as *.csv.\n"
#else
         ".\n"
#endif
         "Options: -h, --help or /? this help; --version the version; -- ends them.\n"
         "\n"
         "Rungwell " RUNGWELL_VERSION
#ifdef _WIN32
         ". More in README.txt, beside Rungwell.exe.\n";
#else
         ". More in README.md (in /usr/share/doc/rungwell when installed).\n";
#endif
}

// The paths to convert, each with why it cannot be, where that is known
// before any file is touched.
struct FileToConvert {
  std::string path;
  std::error_code error;
};

// Every file before the first conversion, as a shell would have done it: an
// output written on the way never joins a later wildcard's matches.
std::vector<FileToConvert> FilesToConvert(const std::vector<std::string>& arguments) {
  std::vector<FileToConvert> files;
  files.reserve(arguments.size());
  for (const std::string& argument : arguments) {
#ifdef _WIN32
    if (argument.find_first_of("*?") != std::string::npos) {
      std::error_code error;
      for (std::string& path : ExpandWildcards(argument, error)) {
        files.push_back({std::move(path), {}});
      }
      if (error) {
        files.push_back({argument, error});
      }
      continue;
    }
#endif
    files.push_back({argument, {}});
  }
  return files;
}

std::string SeparatorName(const Dialect& dialect) {
  const std::uint16_t separator = dialect.separator;
  switch (separator) {
    case ',':
      return "commas";
    case ';':
      return "semicolons";
    case '\t':
      return "tabs";
    default:
      break;
  }
  if (separator >= 0x20 && separator < 0x7F) {
    return std::string("'") + static_cast<char>(separator) + "'";
  }
  char name[16];
  if (dialect.encoding == Encoding::Bytes) {
    // In 8-bit text a byte above 7F is no character of its own.
    (void)std::snprintf(name, sizeof name, "the byte %02X", separator);
  } else {
    (void)std::snprintf(name, sizeof name, "U+%04X", separator);
  }
  return name;
}

std::string Plural(std::uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// What a user should hear about a file that converted: why nothing in it was
// indented, where that is not simply a flat plan, and the lines whose level
// was too deep to be one.
std::vector<std::string> NotesOn(const ConversionReport& report) {
  const ScanTally& tally = report.tally;
  std::vector<std::string> notes;
  if (tally.indented == 0 && tally.lines > 0) {
    if (tally.levelFields == 0) {
      notes.push_back("nothing indented: no line has a level field, the field after the " +
                      std::to_string(LevelColumn) + "th separator (fields separated by " +
                      SeparatorName(report.dialect) + ")");
    } else if (tally.quotedNumbers > 0 && tally.numbers == 0) {
      notes.push_back("nothing indented: every level is in quotation marks, and a quoted level counts as 0");
    }
  }
  if (tally.tooDeep > 0) {
    notes.push_back(Plural(tally.tooDeep, "line has", "lines have") + " a level above " + std::to_string(MaxLevel) +
                    " and " + (tally.tooDeep == 1 ? "was" : "were") + " copied unchanged (the first is line " +
                    std::to_string(tally.firstTooDeepLine) + ")");
  }
  return notes;
}

void Convert(const std::string& inputPath, Messages& messages) {
  CsvFileHandle input;
  if (!input.Open(inputPath)) {
    messages.Failure(inputPath, input.Error());
    return;
  }
  // Created only once the input is known to be readable, so that a run that
  // fails there leaves nothing behind.
  OutputFile output(OutputPathFor(inputPath));
  if (!output.Create(input.PermissionBits().value_or(DefaultPermissions))) {
    messages.Failure(output.Path(), output.Error());
    return;
  }
  ConversionReport report;
  if (!ConvertLines(input, output, &report)) {
    if (input.Error()) {
      messages.Failure(inputPath, input.Error());
    } else {
      messages.Failure(output.Path(), output.Error());
    }
    return;
  }
  if (!output.Commit()) {
    messages.Failure(output.Path(), output.Error());
    return;
  }
  for (const std::string& note : NotesOn(report)) {
    messages.Note(inputPath, note);
  }
}

void ConvertEach(const std::vector<FileToConvert>& files, Messages& messages) {
  for (const FileToConvert& file : files) {
    if (file.error) {
      messages.Failure(file.path, file.error);
      continue;
    }
    // A line too long for memory is the one failure that arrives as an
    // exception; caught here, after the output's destructor has removed the
    // partial file, it is reported like any other, and the next file goes on.
    try {
      Convert(file.path, messages);
    } catch (const std::bad_alloc&) {
      messages.Failure(file.path, std::make_error_code(std::errc::not_enough_memory));
    } catch (const std::exception& e) {
      messages.Failure(file.path, e.what());
    }
  }
}

}  // namespace

int Run(int argc, const char* const argv[]) {
  const CommandLine command = ParseCommandLine(argc, argv);
  Messages messages;
  if (command.request == CommandLine::Request::Convert) {
    ConvertEach(FilesToConvert(command.files), messages);
    return messages.Finish();
  }
  const std::string text = command.request == CommandLine::Request::Help      ? HelpText()
                           : command.request == CommandLine::Request::Version ? "Rungwell " RUNGWELL_VERSION "\n"
                                                                              : UsageText();
  // Text that never arrived, on a full disk say, is a failure like any other.
  if (const std::error_code error = WriteText(StandardStream::Output, text)) {
    messages.Failure("standard output", error);
    return messages.Finish();
  }
  if (command.request == CommandLine::Request::Usage) {
    WaitForKeyPress();
  }
  return 0;
}

}  // namespace rungwell
