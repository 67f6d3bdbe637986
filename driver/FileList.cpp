#include "driver/FileList.h"

#include <map>
#include <string_view>
#include <utility>

#include "driver/CommandLine.h"
#include "driver/OutputPath.h"

#ifdef _WIN32
#include "driver/Wildcards.h"
#include "io/Win32.h"
#include "io/WindowsPath.h"
#else
#include <sys/stat.h>

#include <filesystem>
#endif

namespace rungwell {

namespace {

// How FileKey starts for a file that exists.
constexpr std::string_view ExistingFile = "file ";

// What tells a file from every other: the file itself where it exists, so
// that another name or a link (or, on Windows, other letters) give the same;
// else its full path.
std::string FileKey(const std::string& path) {
#ifdef _WIN32
  std::error_code error;
  std::wstring full = FullPath(path, error);
  if (error) {
    return "name " + path;
  }
  // Asking for attributes alone opens a file whoever holds it, and a folder too.
  HANDLE file =
      CreateFileW(ForSystem(full).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    (void)CloseHandle(file);
    if (known) {
      return std::string(ExistingFile) + std::to_string(info.dwVolumeSerialNumber) + ":" +
             std::to_string(info.nFileIndexHigh) + ":" + std::to_string(info.nFileIndexLow);
    }
  }
  // The names of Windows' file systems ignore case.
  const int length = static_cast<int>(full.size());
  std::wstring upper(full.size(), L'\0');
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, full.c_str(), length, upper.data(), length, nullptr,
                    nullptr, 0) == length) {
    full = upper;
  }
  return "path " + Narrow(full, TextUse::FileName);
#else
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    return std::string(ExistingFile) + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  }
  std::error_code error;
  return "path " + std::filesystem::absolute(path, error).lexically_normal().string();
#endif
}

}  // namespace

std::vector<FileToConvert> FilesToConvert(const std::vector<std::string>& arguments) {
  std::vector<FileToConvert> files;
  files.reserve(arguments.size());
  for (const std::string& argument : arguments) {
#ifdef _WIN32
    if (argument.find_first_of("*?") != std::string::npos) {
      std::error_code error;
      for (std::string& path : ExpandWildcards(argument, error)) {
        files.push_back({std::move(path), {}, {}, {}, {}});
      }
      if (error) {
        files.push_back({argument, error, {}, {}, {}});
      }
      continue;
    }
#endif
    files.push_back({argument, {}, {}, {}, {}});
  }
  return files;
}

void ChooseOutputs(std::vector<FileToConvert>& files, const std::optional<std::string>& output, bool intoFolder) {
  for (FileToConvert& file : files) {
    file.outputPath = intoFolder                        ? OutputPathIn(*output, file.path)
                      : output                          ? *output
                      : file.path == StandardStreamName ? StandardStreamName
                                                        : OutputPathFor(file.path);
  }
  // Only a run of several files, each written to a file of its own, can
  // convert its own outputs.
  if (files.size() < 2 || (output && !intoFolder)) {
    return;
  }
  // Only a file that is there to be read is written to.
  std::vector<std::string> inputs(files.size());
  std::vector<std::string> outputs(files.size());
  std::map<std::string, std::size_t> writers;  // each output, and the first file written to it
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!files[i].error && files[i].path != StandardStreamName) {
      inputs[i] = FileKey(files[i].path);
      if (inputs[i].rfind(ExistingFile, 0) == 0) {
        outputs[i] = FileKey(files[i].outputPath);
        writers.emplace(outputs[i], i);
      }
    }
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto writer = writers.find(inputs[i]);
    if (!inputs[i].empty() && writer != writers.end() && inputs[writer->second] != inputs[i]) {
      files[i].outputOf = files[writer->second].path;
    }
  }
  // Of the files that are written, the first to each output keeps it.
  writers.clear();
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (outputs[i].empty() || !files[i].outputOf.empty()) {
      continue;
    }
    const std::size_t first = writers.emplace(outputs[i], i).first->second;
    // The same file named twice is converted twice, to the same output.
    if (inputs[first] != inputs[i]) {
      files[i].outputTakenBy = files[first].path;
    }
  }
}

}  // namespace rungwell
