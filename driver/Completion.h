#pragma once

// The completion of the command line in bash, made from a table of options.

#include <string>
#include <vector>

#include "driver/CommandLine.h"

namespace rungwell {

// A bash script that completes the options of the table for Rungwell and
// rungwell, and the forms of their values, and files otherwise: after "--",
// and where an option's value is a path.
std::string BashCompletion(const std::vector<Option>& options);

}  // namespace rungwell
