#include "csv/LineScanner.h"

#include "csv/simd/Kernels.h"

namespace rungwell {

LineScanner::LineScanner(const Dialect& dialect, std::uint64_t start, ScanPath path)
    : kernel(KernelsFor(path).scan[dialect.multiline ? 1 : 0][static_cast<std::size_t>(dialect.encoding)]) {
  state.dialect = dialect;
  state.base = start;
  state.lineStart = start;
  state.fieldStart = start;
  state.separatorsToGo = dialect.levelColumn;
  state.level = LevelReading(dialect.levelForm, dialect.quotedLevels);
}

}  // namespace rungwell
