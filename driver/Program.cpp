#include "driver/Program.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>
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
constexpr int ExitMistake = 2;
// What a shell reports for a program that SIGPIPE ended, where no signal can.
constexpr int ExitReaderGone = 128 + 13;

// The names the standard streams go by in messages.
const std::string StandardInputName = "standard input";
const std::string StandardOutputName = "standard output";

// How messages name a file given on the command line.
const std::string& InputName(const std::string& path) {
  return path == StandardStreamName ? StandardInputName : path;
}

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

  // Standard output has lost its reader, as when "| head" has read enough:
  // the run ends at once, and says nothing more.
  void ReaderGone() { readerGone = true; }
  bool Ended() const { return readerGone; }

  // Once, after the last file, so that a dropped run waits for one key.
  int Finish() const {
    if (readerGone) {
      return EndForGoneReader(ExitReaderGone);
    }
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
  bool readerGone = false;
};

std::string UsageText(const LayoutChoice& layout) {
  const std::string column =
      layout.levelName.empty() ? std::to_string(layout.levelColumn) : "the one named \"" + layout.levelName + "\"";
  return "Rungwell.exe [file path]\nthe level column is " + column + " (0 begin)\n";
}

std::string HelpText(const LayoutChoice& layout) {
  return UsageText(layout) +
         "\n"
         "Indents each line of a comma-separated plan by its level: two spaces for\n"
         "each level above 1. The copy goes beside the file, with _new before the\n"
         "extension: plan.csv gives plan_new.csv. Several files may be given"
#ifdef _WIN32
         ", and\n"
         "wildcards such as *.csv. "
#else
         ".\n"
#endif
         "A file named - is standard input, converted to standard output.\n"
         "\n"
         "  -c, --level-column N|NAME  the level's column: its index, counted from 0,\n"
         "                             or its name in the first line\n"
         "  -d, --separator X          fields are separated by X (one character, or tab)\n"
         "  -o, --output PATH          where the output of the one file given goes;\n"
         "                             - is standard output\n"
         "  -h, --help, /?             this help\n"
         "      --version              the version\n"
         "  --                         ends the options\n"
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

// 1st, 2nd, 3rd, 4th, ..., 11th, 12th, 13th, ..., 21st.
std::string Ordinal(unsigned n) {
  const unsigned tens = n % 100 / 10;
  const unsigned ones = n % 10;
  const char* suffix = tens == 1 || ones == 0 || ones > 3 ? "th" : ones == 1 ? "st" : ones == 2 ? "nd" : "rd";
  return std::to_string(n) + suffix;
}

// The level field as the notes name it, with the separator that finds it.
std::string LevelFieldName(const Dialect& dialect) {
  const std::string field = dialect.levelColumn == 0
                                ? "the first field"
                                : "the field after the " + Ordinal(dialect.levelColumn) + " separator";
  return field + " (fields separated by " + SeparatorName(dialect) + ")";
}

// What a user should hear about a file that converted: why nothing in it was
// indented, where that is not simply a flat plan, naming what would change
// that; and the lines whose level was quoted, or too deep to be one.
std::vector<std::string> NotesOn(const ConversionReport& report) {
  const ScanTally& tally = report.tally;
  const std::string tryColumn = "; --level-column picks the column that holds the levels";
  std::vector<std::string> notes;
  bool tooDeepTold = false;
  if (tally.indented == 0 && tally.lines > 0) {
    if (tally.levelFields == 0) {
      notes.push_back("nothing indented: no line has a level field, " + LevelFieldName(report.dialect) +
                      "; --level-column and --separator choose others");
    } else if (tally.quotedNumbers > 0 && tally.numbers == 0) {
      notes.push_back("nothing indented: every level is in quotation marks, and a quoted level counts as 0");
    } else if (tally.numbers == 0) {
      notes.push_back("nothing indented: " + LevelFieldName(report.dialect) + " holds no number on any line" +
                      tryColumn);
    } else if (tally.tooDeep == tally.numbers) {
      notes.push_back("nothing indented: every number in " + LevelFieldName(report.dialect) + " is above " +
                      std::to_string(MaxLevel) + ", so it holds no levels (" +
                      (tally.tooDeep == 1 ? "line " : Plural(tally.tooDeep, "", "lines, the first is line ")) +
                      std::to_string(tally.firstTooDeepLine) + ")" + tryColumn);
      tooDeepTold = true;
    }
  }
  // Lines left flat for what their level field holds: how many, and the first.
  const auto copied = [](std::uint64_t count, const char* one, const char* many, const std::string& why,
                         std::uint64_t first) {
    return Plural(count, one, many) + why + (count == 1 ? " was" : " were") + " copied unchanged (the first is line " +
           std::to_string(first) + ")";
  };
  if (tally.quotedNumbers > 0 && tally.numbers > 0) {
    notes.push_back(copied(tally.quotedNumbers, "line has its", "lines have their",
                           " level in quotation marks, which counts as 0, and", tally.firstQuotedLine));
  }
  if (tally.tooDeep > 0 && !tooDeepTold) {
    notes.push_back(copied(tally.tooDeep, "line has", "lines have",
                           " a level above " + std::to_string(MaxLevel) + " and", tally.firstTooDeepLine));
  }
  return notes;
}

// Why a file's layout does not fit what the command line said of it.
std::string LayoutFailure(LayoutProblem problem, const LayoutChoice& layout) {
  if (problem == LayoutProblem::NoColumnOfThatName) {
    return "no column named \"" + layout.levelName + "\" in the first line";
  }
  return "the separator given is not one byte of this file's 8-bit text";
}

// The file named on the command line, and where its output goes.
struct Conversion {
  std::string inputPath;                  // "-" for standard input
  std::optional<std::string> outputPath;  // --output, if given
  const LayoutChoice& layout;
};

void Convert(const Conversion& conversion, Messages& messages) {
  const bool fromStandardInput = conversion.inputPath == StandardStreamName;
  const std::string& inputName = InputName(conversion.inputPath);
  CsvFileHandle input;
  if (!(fromStandardInput ? input.OpenStandardInput() : input.Open(conversion.inputPath))) {
    messages.Failure(inputName, input.Error());
    return;
  }
  const std::string outputPath = conversion.outputPath ? *conversion.outputPath
                                 : fromStandardInput   ? StandardStreamName
                                                       : OutputPathFor(conversion.inputPath);
  const bool toStandardOutput = outputPath == StandardStreamName;
  const std::string& outputName = toStandardOutput ? StandardOutputName : outputPath;
  // Replacing the input by its own conversion would leave no plan to convert
  // again, should the result not be what was wanted.
  if (toStandardOutput ? input.IsStandardOutput() : input.IsSameFileAs(outputPath)) {
    messages.Failure(outputName, "is the input itself; the output must go to another file");
    return;
  }
  // Created only once the input is known to be readable, so that a run that
  // fails there leaves nothing behind.
  std::optional<OutputFile> output;
  if (toStandardOutput) {
    output.emplace(OutputFile::StandardOutputTag{});
  } else {
    output.emplace(outputPath);
  }
  if (!output->Create(input.PermissionBits().value_or(DefaultPermissions))) {
    messages.Failure(outputName, output->Error());
    return;
  }
  ConversionReport report;
  const bool converted = ConvertLines(input, *output, conversion.layout, report) && output->Commit();
  if (!converted && toStandardOutput && output->Error() == std::errc::broken_pipe) {
    messages.ReaderGone();
  } else if (!converted && input.Error()) {
    messages.Failure(inputName, input.Error());
  } else if (!converted && output->Error()) {
    messages.Failure(outputName, output->Error());
  } else if (!converted) {
    messages.Failure(inputName, LayoutFailure(report.problem, conversion.layout));
  } else {
    for (const std::string& note : NotesOn(report)) {
      messages.Note(inputName, note);
    }
  }
}

void ConvertEach(const std::vector<FileToConvert>& files, const CommandLine& command, Messages& messages) {
  for (const FileToConvert& file : files) {
    if (messages.Ended()) {
      return;
    }
    if (file.error) {
      messages.Failure(file.path, file.error);
      continue;
    }
    // A line too long for memory is the one failure that arrives as an
    // exception; caught here, after the output's destructor has removed the
    // partial file, it is reported like any other, and the next file goes on.
    try {
      Convert({file.path, command.output, command.layout}, messages);
    } catch (const std::bad_alloc&) {
      messages.Failure(InputName(file.path), std::make_error_code(std::errc::not_enough_memory));
    } catch (const std::exception& e) {
      messages.Failure(InputName(file.path), e.what());
    }
  }
}

// A mistake on the command line: said in one line, with where to look.
int Mistake(const std::string& what) {
  (void)WriteText(StandardStream::Error, "Rungwell: " + what + "; Rungwell --help lists the options\n");
  HoldConsoleAfterMessages();
  return ExitMistake;
}

}  // namespace

int Run(int argc, const char* const argv[]) {
  const CommandLine command = ParseCommandLine(argc, argv);
  Messages messages;
  if (command.request == CommandLine::Request::Mistake) {
    return Mistake(command.mistake);
  }
  if (command.request == CommandLine::Request::Convert) {
    const std::vector<FileToConvert> files = FilesToConvert(command.files);
    // Only now are a wildcard's files known.
    if (command.output && files.size() > 1) {
      return Mistake("option " + command.outputOption + " takes one file, and " + std::to_string(files.size()) +
                     " were given");
    }
    ConvertEach(files, command, messages);
    return messages.Finish();
  }
  const std::string text = command.request == CommandLine::Request::Help      ? HelpText(command.layout)
                           : command.request == CommandLine::Request::Version ? "Rungwell " RUNGWELL_VERSION "\n"
                                                                              : UsageText(command.layout);
  // Text that never arrived, on a full disk say, is a failure like any other.
  if (const std::error_code error = WriteText(StandardStream::Output, text)) {
    messages.Failure(StandardOutputName, error);
    return messages.Finish();
  }
  if (command.request == CommandLine::Request::Usage) {
    WaitForKeyPress();
  }
  return 0;
}

}  // namespace rungwell
