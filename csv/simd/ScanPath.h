#pragma once

// The ways the scan can classify bytes, and the one choice among them that a
// run makes.

namespace rungwell {

// Narrowest first; each needs the instructions of those before it.
enum class ScanPath { Portable, Sse2, Bmi2, Avx2, Avx512 };

inline constexpr ScanPath AllScanPaths[] = {ScanPath::Portable, ScanPath::Sse2, ScanPath::Bmi2, ScanPath::Avx2,
                                            ScanPath::Avx512};

const char* ScanPathName(ScanPath path);

// The widest path this processor runs: the one place that asks the
// processor what it has, once.
ScanPath WidestScanPath();

inline bool CanRun(ScanPath path) {
  return path <= WidestScanPath();
}

// The path this run takes: the widest, or a narrower one that
// RUNGWELL_SCAN=<name> in the environment caps it at, so that every path can
// be tested on one machine. Chosen once, at the first call.
ScanPath ChosenScanPath();

}  // namespace rungwell
