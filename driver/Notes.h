#pragma once

// What the run tells the user about a file, beyond the reasons of failures:
// why a converted file came out as it did, and why a file does not fit the
// layout the command line gave.

#include <string>
#include <vector>

#include "csv/Dialect.h"
#include "csv/Layout.h"
#include "csv/simd/ScanState.h"

namespace rungwell {

// What a user should hear about a file that converted, from what its scan
// counted: why nothing in it was indented, where that is not simply a flat
// plan, naming what would change that; and the lines whose level was
// quoted, or too deep to be one. Each note is one line, without the file's
// name.
std::vector<std::string> NotesOn(const Dialect& dialect, const ScanTally& tally);

// Why a file's layout does not fit what the command line said of it.
std::string LayoutFailure(LayoutProblem problem, const LayoutChoice& layout);

}  // namespace rungwell
