#pragma once

// What the run tells the user about a file, beyond the reasons of failures:
// why a converted file came out as it did, and why a file does not fit the
// layout the command line gave.

#include <string>
#include <vector>

#include "csv/Layout.h"
#include "driver/FileConversion.h"

namespace rungwell {

// What a user should hear about a file that converted, from what its scan
// counted: why nothing in it was indented, where that is not simply a flat
// plan, naming what would change that; and the lines whose level was
// quoted, or too deep to be one, or more than a number; where the first
// line named the level column; where quotation marks end lines or never
// close. Each note is one line, without the file's name.
std::vector<std::string> NotesOn(const ConversionReport& report);

// Why a file's layout does not fit what the command line said of it, with
// what its first line holds where a column's name was not found.
std::string LayoutFailure(LayoutProblem problem, const LayoutChoice& layout, const ConversionReport& report);

}  // namespace rungwell
