#pragma once

// Windows only: the wildcards of a command line, which no shell there expands.

#include <string>
#include <system_error>
#include <vector>

namespace rungwell {

// The files that a command-line argument holding the wildcards * or ? names,
// as Windows' own tools read it, since no shell there expands them: the
// argument itself where a file or folder of that name exists; otherwise the
// files in its folder whose names match its last part, in the order of
// their names compared ordinally, ignoring case (the order of NTFS and of
// cmd's "dir"), each after the folder part as the argument gives it. Folders,
// hidden and system files do not match, as in cmd's "for". Empty, with error
// set, when nothing matches or the folder cannot be read.
std::vector<std::string> ExpandWildcards(const std::string& argument, std::error_code& error);

}  // namespace rungwell
