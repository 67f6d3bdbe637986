#pragma once

// The files a run converts, as the command line names them.

#include <string>
#include <system_error>
#include <vector>

namespace rungwell {

// A path to convert, with why it cannot be, where that is known before any
// file is touched.
struct FileToConvert {
  std::string path;
  std::error_code error;
};

// Every file before the first conversion, as a shell would have listed them:
// on Windows, where no shell expands wildcards, an argument holding * or ?
// stands for the files it matches (see ExpandWildcards), so that an output
// written on the way never joins a later wildcard's matches. Elsewhere each
// argument is a file.
std::vector<FileToConvert> FilesToConvert(const std::vector<std::string>& arguments);

}  // namespace rungwell
