#pragma once

#include <cstdint>
#include <string_view>

namespace rungwell {

class CsvFileHandle;
class OutputFile;

// Put in front of a line once for each level above 1.
inline constexpr std::string_view IndentUnit = "  ";

// Reads a level as atoi does: C-locale white space skipped, an optional sign,
// then decimal digits up to the first other byte; no digits give 0. Values
// beyond the range of a 32-bit int are clamped to its bounds.
std::int32_t ParseLevel(std::string_view text) noexcept;

// How many times IndentUnit goes in front of a line of the given level:
// once per level above 1, so never for levels of 1 and below.
std::uint64_t IndentCount(std::int32_t level) noexcept;

// Copies every line of input to output, each behind the indentation its level
// field asks for. False when a read or a write failed: input.Error() or
// output.Error() says which and why.
bool ConvertLines(CsvFileHandle& input, OutputFile& output);

}  // namespace rungwell
