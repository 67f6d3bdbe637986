#pragma once

#include <string>
#include <system_error>

namespace rungwell {

// What an output path names, which decides how the output is written: a
// plain file is replaced whole at the end (UnfinishedFile), anything else
// that can take bytes is written into as it is (StreamOutput), as cp and
// sort -o write into it.
struct OutputTarget {
  enum class Kind {
    // Nothing yet, a plain file, or a folder (which UnfinishedFile refuses).
    // A symbolic link at the path is followed, to the end of its chain: the
    // file it names is the one replaced, or made, and the link stays.
    PlainFile,
    // An existing file that is no plain file or folder: a character or block
    // device, a FIFO, a socket; on Windows NUL, CON and the other device
    // names, and named pipes. Opened for writing, never made, truncated,
    // renamed over or changed in its mode or owner.
    Device,
    // A descriptor of this process, named as /dev/stdout, /dev/stderr,
    // /dev/fd/N or /proc/self/fd/N (not on Windows): written into as it
    // stands, as standard output is for -o -.
    Descriptor,
  };

  Kind kind = Kind::PlainFile;
  // PlainFile: the file to replace or make, after any links; Device: the
  // path to open, as given.
  std::string path;
  int descriptor = -1;  // Descriptor: which
};

// What path names, as far as can be told without opening it, or why that
// cannot be told (a folder on the way that cannot be searched, a name too
// long, a chain of links that loops). A path that names nothing is a plain
// file to make.
std::error_code FindOutputTarget(const std::string& path, OutputTarget& target);

}  // namespace rungwell
