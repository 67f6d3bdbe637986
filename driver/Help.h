#pragma once

// The texts the program prints when asked, rather than about a file.

#include <string>

#include "csv/Layout.h"

namespace rungwell {

// The two lines printed without a file: the program's name and the level
// column, as layout gives it.
std::string UsageText(const LayoutChoice& layout);

// The usage text, what the program does, and its options as the command
// line's table of options gives them.
std::string HelpText(const LayoutChoice& layout);

std::string VersionText();

}  // namespace rungwell
