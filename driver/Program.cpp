#include "driver/Program.h"

#include <algorithm>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/FileConversion.h"
#include "driver/FileList.h"
#include "driver/Help.h"
#include "driver/Messages.h"
#include "driver/Notes.h"
#include "driver/OutputPath.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

namespace {

// How messages name a file given on the command line.
std::string InputName(const std::string& path) {
  return path == StandardStreamName ? StandardInputName : path;
}

// The file named on the command line, and where its output goes.
struct Conversion {
  std::string inputPath;                  // "-" for standard input
  std::optional<std::string> outputPath;  // where the run sends it, if it chose
  const LayoutChoice& layout;
};

void Convert(const Conversion& conversion, Messages& messages) {
  const bool fromStandardInput = conversion.inputPath == StandardStreamName;
  const std::string inputName = InputName(conversion.inputPath);
  CsvFileHandle input;
  if (!(fromStandardInput ? input.OpenStandardInput() : input.Open(conversion.inputPath))) {
    messages.Failure(inputName, input.Error());
    return;
  }
  const std::string outputPath = conversion.outputPath ? *conversion.outputPath
                                 : fromStandardInput   ? StandardStreamName
                                                       : OutputPathFor(conversion.inputPath);
  const bool toStandardOutput = outputPath == StandardStreamName;
  const std::string outputName = toStandardOutput ? StandardOutputName : outputPath;
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
  const Outcome outcome = ConvertLines(input, *output, conversion.layout, report);
  switch (outcome.kind) {
    case Outcome::Kind::Done:
      for (const std::string& note : NotesOn(report)) {
        messages.Note(inputName, note);
      }
      break;
    case Outcome::Kind::ReadFailed:
      messages.Failure(inputName, outcome.error);
      break;
    case Outcome::Kind::WriteFailed:
      messages.Failure(outputName, outcome.error);
      break;
    case Outcome::Kind::ReaderGone:
      messages.ReaderGone();
      break;
    case Outcome::Kind::LayoutMismatch:
      messages.Failure(inputName, LayoutFailure(outcome.problem, conversion.layout, report));
      break;
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
    if (!file.outputOf.empty()) {
      messages.Note(file.path, "skipped: it is the output of " + file.outputOf + " in this run");
      continue;
    }
    if (!file.outputTakenBy.empty()) {
      messages.Failure(file.path, "its output " + file.outputPath + " is also that of " + file.outputTakenBy +
                                      " in this run, so it was not converted");
      continue;
    }
    // A line too long for memory is the one failure that arrives as an
    // exception; caught here, after the output's destructor has removed the
    // partial file, it is reported like any other, and the next file goes on.
    try {
      Convert({file.path, file.outputPath, command.layout}, messages);
    } catch (const std::bad_alloc&) {
      messages.Failure(InputName(file.path), std::make_error_code(std::errc::not_enough_memory));
    } catch (const std::exception& e) {
      messages.Failure(InputName(file.path), e.what());
    }
  }
}

}  // namespace

int Run(int argc, const char* const argv[]) {
  const CommandLine command = ParseCommandLine(argc, argv);
  if (command.request == CommandLine::Request::Mistake) {
    return Messages::Mistake(command.mistake);
  }
  Messages messages;
  if (command.request == CommandLine::Request::Convert) {
    std::vector<FileToConvert> files = FilesToConvert(command.files);
    const bool intoFolder = command.output && IsOutputFolder(*command.output);
    // Only now, after any wildcard's expansion, is the number of files known.
    if (command.output && !intoFolder && files.size() > 1) {
      return Messages::Mistake("option " + command.outputOption + " takes one file, and " +
                               std::to_string(files.size()) + " were given");
    }
    if (intoFolder && std::any_of(files.begin(), files.end(),
                                  [](const FileToConvert& file) { return file.path == StandardStreamName; })) {
      return Messages::Mistake("option " + command.outputOption +
                               " names a folder, and standard input has no name to give its output there");
    }
    ChooseOutputs(files, command.output, intoFolder);
    ConvertEach(files, command, messages);
    return messages.Finish();
  }
  const std::string text = command.request == CommandLine::Request::Help      ? HelpText(command.layout)
                           : command.request == CommandLine::Request::Version ? VersionText()
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
