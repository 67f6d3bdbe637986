#include "driver/Program.h"

#include <exception>
#include <new>
#include <string>
#include <system_error>

#include "csv/Conversion.h"
#include "csv/LevelRule.h"
#include "driver/Console.h"
#include "driver/OutputPath.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

#ifdef _WIN32
#include "io/Win32.h"
#endif

namespace rungwell {

namespace {

constexpr int ExitFailure = 1;

int Report(const std::string& path, const std::string& reason) {
  // Should standard error fail too, there is no one left to tell; the exit
  // status still says it.
  (void)WriteText(StandardStream::Error, "Rungwell: " + path + ": " + reason + "\n");
  HoldConsoleAfterFailure();
  return ExitFailure;
}

int Report(const std::string& path, std::error_code error) {
#ifdef _WIN32
  return Report(path, SystemMessage(error));
#else
  return Report(path, error.message());
#endif
}

std::error_code PrintUsage() {
  return WriteText(StandardStream::Output,
                   "Rungwell.exe [file path]\nthe level column is " + std::to_string(LevelColumn) + " (0 begin)\n");
}

int Convert(const std::string& inputPath) {
  CsvFileHandle input;
  if (!input.Open(inputPath)) {
    return Report(inputPath, input.Error());
  }
  // Created only once the input is known to be readable, so that a run that
  // fails there leaves nothing behind.
  OutputFile output(OutputPathFor(inputPath));
  if (!output.Create(input.PermissionBits().value_or(DefaultPermissions))) {
    return Report(output.Path(), output.Error());
  }
  if (!ConvertLines(input, output)) {
    return input.Error() ? Report(inputPath, input.Error()) : Report(output.Path(), output.Error());
  }
  if (!output.Commit()) {
    return Report(output.Path(), output.Error());
  }
  return 0;
}

}  // namespace

int Run(int argc, const char* const argv[]) {
  if (argc < 2) {
    // Text that never arrived, on a full disk say, is a failure like any other.
    if (const std::error_code error = PrintUsage()) {
      return Report("standard output", error);
    }
    WaitForKeyPress();
    return 0;
  }
  const std::string inputPath = argv[1];
  // A line too long for memory is the one failure that arrives as an exception;
  // catching it here, after the output's destructor has removed the partial
  // file, turns it into an ordinary report.
  try {
    return Convert(inputPath);
  } catch (const std::bad_alloc&) {
    return Report(inputPath, std::make_error_code(std::errc::not_enough_memory));
  } catch (const std::exception& e) {
    return Report(inputPath, e.what());
  }
}

}  // namespace rungwell
