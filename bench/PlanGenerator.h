#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace rungwell::bench {

struct PlanOptions {
  std::uint64_t seed = 1;
  bool crlf = false;
  // Every so often a line of 30 to 100 KB, as exports with pasted notes have.
  bool longLines = false;
  // What separates fields: ';' as Excel writes where the list separator is
  // one, which also writes decimal commas then.
  char separator = ',';
  // Where the level is, counted from 0: before 5 it takes the place of an
  // earlier field, which moves after it; past 5, cost columns come before it.
  unsigned levelColumn = 5;
  // Levels written as outline numbers: 1.4.2 for level 3.
  bool outlineNumbers = false;
  // Every tenth note a cell that goes on over lines, as Alt+Enter in Excel
  // makes it.
  bool cellsOverLines = false;
};

// The bytes of text in UTF-16LE with its mark, as Windows PowerShell writes
// them; the text must be ASCII.
std::string ToUtf16Le(std::string_view ascii);

// Makes realistic plan lines, the same ones for the same seed: ids, names and
// owners with quoted commas and doubled quotes, dates, a level that is mostly
// 1 to 8 and sometimes quoted, empty or padded, and notes. About 100 bytes a
// line.
class PlanGenerator {
 public:
  explicit PlanGenerator(const PlanOptions& options);

  std::string Header() const;
  // Appends the next line, terminator included.
  void AppendLine(std::string& out);

 private:
  std::string Pick(const char* const* words, std::size_t count);
  std::string Level();
  // Appends fields, the level among them where levelColumn says.
  void AppendFields(std::string& out, const std::string& level, std::initializer_list<std::string> fields) const;

  PlanOptions options;
  std::mt19937_64 random;
  std::uint64_t id = 0;
};

}  // namespace rungwell::bench
