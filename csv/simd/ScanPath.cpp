#include "csv/simd/ScanPath.h"

#include <cstdlib>
#include <string_view>

#include "csv/simd/Target.h"

namespace rungwell {

const char* ScanPathName(ScanPath path) {
  switch (path) {
    case ScanPath::Portable:
      return "portable";
    case ScanPath::Sse2:
      return "sse2";
    case ScanPath::Bmi2:
      return "bmi2";
    case ScanPath::Avx2:
      return "avx2";
    case ScanPath::Avx512:
      return "avx512";
  }
  return "?";
}

ScanPath WidestScanPath() {
  static const ScanPath widest = [] {
#ifdef RUNGWELL_X86
    // SSE2 is part of x86-64 itself.
    if (!__builtin_cpu_supports("bmi2") || !__builtin_cpu_supports("popcnt")) {
      return ScanPath::Sse2;
    }
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("pclmul")) {
      return ScanPath::Bmi2;
    }
    if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512bw")) {
      return ScanPath::Avx2;
    }
    return ScanPath::Avx512;
#else
    return ScanPath::Portable;
#endif
  }();
  return widest;
}

ScanPath ChosenScanPath() {
  static const ScanPath chosen = [] {
    const ScanPath widest = WidestScanPath();
    if (const char* cap = std::getenv("RUNGWELL_SCAN")) {
      for (const ScanPath path : AllScanPaths) {
        if (path <= widest && std::string_view(cap) == ScanPathName(path)) {
          return path;
        }
      }
    }
    return widest;
  }();
  return chosen;
}

}  // namespace rungwell
