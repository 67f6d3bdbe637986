// Differential check of the scan, which finds each line's level, of the level
// reader and of the choice of dialect against plain models of the same rules,
// on arbitrary bytes: lines, quoting and fields of every length, starting
// anywhere in the scan's 64-byte blocks, in every dialect, level column,
// reading of records and levels and scan path, fed whole or cut in two
// anywhere.
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <vector>

#include "csv/DialectDetector.h"
#include "csv/LineScanner.h"
#include "tests/PlainRules.h"

namespace {

using namespace rungwell;

void Check(bool holds) {
  if (!holds) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) {
    return 0;
  }
  // The first three bytes choose the dialect, the path, where the input is
  // cut, and how records and levels read.
  const std::uint8_t choice = data[0];
  const std::uint8_t cutAt = data[1];
  const std::uint8_t rules = data[2];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 3), size - 3);

  // The top five bits choose the path and the level column.
  constexpr unsigned Columns[] = {LevelColumn, 0, 1, 9, 63, 1000, 2};
  const unsigned column = Columns[(choice >> 3U) / std::size(AllScanPaths)];
  const ScanPath path = AllScanPaths[(choice >> 3U) % std::size(AllScanPaths)];

  // The dialect the bytes themselves give for that column, fed in two pieces.
  // The sixth column is left to the first line's names, as when none is given.
  LayoutChoice layout;
  if (column != LevelColumn) {
    layout.levelColumn = column;
  }
  DialectDetector detector(layout, path);
  const std::size_t half = std::min<std::size_t>(cutAt, bytes.size());
  if (!detector.Feed(bytes.substr(0, half)) && !detector.Feed(bytes.substr(half))) {
    detector.End();
  }
  const Dialect found = detector.Result();
  const Dialect plainly = plain::Detect(bytes, layout);
  Check(found.encoding == plainly.encoding && found.markSize == plainly.markSize &&
        found.separator == plainly.separator && found.crLineEnds == plainly.crLineEnds &&
        found.levelColumn == plainly.levelColumn && found.levelForm == plainly.levelForm);

  const Dialect dialects[] = {found,
                              {Encoding::Bytes, 0, ';', (choice & 4U) != 0, column},
                              {Encoding::Utf16Le, 0, '\t', (choice & 4U) != 0, column},
                              {Encoding::Utf16Be, 0, ',', (choice & 4U) != 0, column}};
  Dialect dialect = dialects[choice & 3U];
  dialect.multiline = (rules & 1U) != 0;
  dialect.levelForm = (rules & 2U) != 0 ? LevelForm::Outline : LevelForm::Number;
  dialect.quotedLevels = (rules & 4U) != 0;
  // A 16-bit character is never cut between pieces.
  const std::size_t cut =
      std::max(dialect.markSize, std::min(std::size_t{cutAt} * 4U, bytes.size())) & ~(dialect.UnitSize() - 1);

  for (const bool final : {false, true}) {
    const plain::Scan expected = plain::ScanLines(bytes, final, dialect);
    LineScanner scanner(dialect, dialect.markSize, path);
    std::vector<LineIndent> indents;
    const std::size_t start = std::min(dialect.markSize, bytes.size());
    const std::size_t middle = std::max(start, std::min(cut, bytes.size()));
    scanner.Scan(bytes.substr(start, middle - start), false, indents);
    scanner.Scan(bytes.substr(middle), final, indents);
    Check(indents == expected.indents);
    Check(scanner.Tally() == expected.tally);
    const bool open = !final && scanner.OpenLineUndecided() && scanner.OpenLineStart() < bytes.size();
    Check(open == expected.openUndecided);
    Check(!open || scanner.OpenLineStart() == expected.openStart);
  }
  Check(ParseLevel(bytes) == plain::Level(bytes));
  return 0;
}
