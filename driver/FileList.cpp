#include "driver/FileList.h"

#include <utility>

#ifdef _WIN32
#include "driver/Wildcards.h"
#endif

namespace rungwell {

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

}  // namespace rungwell
