#include "driver/OutputPath.h"

#include <cstddef>

#ifdef _WIN32
#include "io/Win32.h"
#include "io/WindowsPath.h"
#else
#include <sys/stat.h>
#endif

namespace rungwell {

namespace {

// Offset of the file-name part of path: the byte after its last '/' or '\',
// or 0 when it has neither.
std::size_t FileNameStart(std::string_view path) noexcept {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? 0 : separator + 1;
}

// The separators of the system's paths, the one it writes last.
#ifdef _WIN32
constexpr std::string_view Separators = "/\\";
// A drive's colon ends a folder part too: D:plan.csv is plan.csv in D:'s
// current folder.
constexpr std::string_view FolderEnds = "/\\:";
#else
constexpr std::string_view Separators = "/";
constexpr std::string_view FolderEnds = "/";
#endif

}  // namespace

std::string OutputPathFor(std::string_view inputPath) {
  const std::size_t dot = inputPath.rfind('.');
  // A dot in a directory name is no extension: dir.v2/plan becomes dir.v2/plan_new.
  const std::size_t insertAt =
      (dot == std::string_view::npos || dot < FileNameStart(inputPath)) ? inputPath.size() : dot;
  std::string outputPath;
  outputPath.reserve(inputPath.size() + OutputSuffix.size());
  outputPath.append(inputPath.substr(0, insertAt));
  outputPath.append(OutputSuffix);
  outputPath.append(inputPath.substr(insertAt));
  return outputPath;
}

bool IsOutputFolder(const std::string& path) {
  if (path.empty() || path == "-") {
    return false;
  }
  if (Separators.find(path.back()) != std::string_view::npos) {
    return true;
  }
#ifdef _WIN32
  std::error_code error;
  const DWORD attributes = GetFileAttributesW(SystemPath(path, error).c_str());
  return !error && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}

std::string OutputPathIn(const std::string& folder, std::string_view inputPath) {
  const std::size_t folderEnd = inputPath.find_last_of(FolderEnds);
  const std::string_view name = folderEnd == std::string_view::npos ? inputPath : inputPath.substr(folderEnd + 1);
  const bool separated = !folder.empty() && FolderEnds.find(folder.back()) != std::string_view::npos;
  return folder + (separated ? "" : std::string(1, Separators.back())) + OutputPathFor(name);
}

}  // namespace rungwell
