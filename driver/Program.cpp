#include "driver/Program.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <system_error>

#include "csv/LevelRule.h"
#include "driver/Conversion.h"
#include "driver/OutputPath.h"
#include "driver/Platform.h"
#include "io/CsvFileHandle.h"
#include "io/OutputFile.h"

namespace rungwell {

namespace {

constexpr int ExitFailure = 1;

int Report(const std::string& path, const std::string& reason) {
  (void)std::fprintf(stderr, "Rungwell: %s: %s\n", path.c_str(), reason.c_str());
  HoldConsoleAfterFailure();
  return ExitFailure;
}

int Report(const std::string& path, std::error_code error) {
  return Report(path, error.message());
}

void PrintUsage() {
  (void)std::printf("Rungwell.exe [file path]\n");
  (void)std::printf("the level column is %d (0 begin)\n", LevelColumn);
}

int Convert(const std::string& inputPath) {
  CsvFileHandle input;
  if (!input.Open(inputPath)) {
    return Report(inputPath, input.Error());
  }
  // Created only once the input is known to be readable, so that a run that
  // fails there leaves nothing behind.
  OutputFile output(OutputPathFor(inputPath));
  if (!output.Create(input.PermissionBits())) {
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
    PrintUsage();
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
