#pragma once

// The files a run converts, as the command line names them, and where their
// outputs go.

#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace rungwell {

// A path to convert, with why it cannot be, where that is known before any
// file is touched.
struct FileToConvert {
  std::string path;
  std::error_code error;
  // Where its output goes ("-" is standard output), once chosen.
  std::string outputPath;
  // Where set, it is left alone: it is the output of this other file of the
  // run (a note says so)...
  std::string outputOf;
  // ...or its output is also that of this earlier file of the run, and would
  // replace it (a failure).
  std::string outputTakenBy;
};

// Every file before the first conversion, as a shell would have listed them:
// on Windows, where no shell expands wildcards, an argument holding * or ?
// stands for the files it matches (see ExpandWildcards), so that an output
// written on the way never joins a later wildcard's matches. Elsewhere each
// argument is a file.
std::vector<FileToConvert> FilesToConvert(const std::vector<std::string>& arguments);

// Chooses each file's output: output itself, where it names a file (for the
// one file of the run) or standard output; the file's usual name in it,
// where it is a folder; else the usual name beside the file, and standard
// output for standard input. Then, before any file is converted, finds what
// must be left alone, comparing files by what they are (another name for
// the same file is the same) or, where they do not exist yet, by their full
// paths: a file that is the output of another file of the run, so that a
// second run over *.csv does not convert the first one's outputs; and a file
// whose output is also an earlier one's.
void ChooseOutputs(std::vector<FileToConvert>& files, const std::optional<std::string>& output, bool intoFolder);

}  // namespace rungwell
