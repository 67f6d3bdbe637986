#include "csv/simd/Kernels.h"

#include "csv/simd/Avx2.h"
#include "csv/simd/Avx512.h"
#include "csv/simd/Bmi2.h"
#include "csv/simd/Generic.h"
#include "csv/simd/Portable.h"
#include "csv/simd/Sse2.h"

namespace rungwell {

namespace {

using namespace simd;

static_assert(static_cast<std::size_t>(Encoding::Bytes) == 0 && static_cast<std::size_t>(Encoding::Utf16Le) == 1 &&
                  static_cast<std::size_t>(Encoding::Utf16Be) == 2,
              "Kernels::scan is indexed by Encoding");

// The algorithm compiled for the baseline instructions, with the given ways
// of comparing bytes, counting bits and copying.
template <typename Vector, typename Bits, typename Copy>
struct BaselineKernels {
  template <Encoding E, bool Multiline>
  static void Scan(ScanState& line, std::string_view bytes, bool final, Indents& indents) {
    ScanPiece<Vector, Bits, E, Multiline>(line, bytes, final, indents);
  }
  template <Encoding E>
  static std::size_t Count(FirstLineCount& line, std::string_view bytes) noexcept {
    return CountFirstLine<Vector, Bits, E>(line, bytes);
  }
  static void Assemble(Assembly& run, std::uint64_t& emitted) noexcept { AssembleWith<Copy>(run, emitted); }
};

#ifdef RUNGWELL_X86
// The same, compiled for the instructions beyond the baseline that its parts use.
#define RUNGWELL_KERNELS(Name, Features, Vector, Bits, Copy)                                         \
  struct Name {                                                                                      \
    template <Encoding E, bool Multiline>                                                            \
    RUNGWELL_TARGET(Features)                                                                        \
    static void Scan(ScanState& line, std::string_view bytes, bool final, Indents& indents) {        \
      ScanPiece<Vector, Bits, E, Multiline>(line, bytes, final, indents);                            \
    }                                                                                                \
    template <Encoding E>                                                                            \
    RUNGWELL_TARGET(Features)                                                                        \
    static std::size_t Count(FirstLineCount& line, std::string_view bytes) noexcept {                \
      return CountFirstLine<Vector, Bits, E>(line, bytes);                                           \
    }                                                                                                \
    RUNGWELL_TARGET(Features) static void Assemble(Assembly& run, std::uint64_t& emitted) noexcept { \
      AssembleWith<Copy>(run, emitted);                                                              \
    }                                                                                                \
  };
RUNGWELL_KERNELS(Bmi2Kernels, RUNGWELL_BMI2, Sse2Vector, Bmi2Bits, PortableCopy)
RUNGWELL_KERNELS(Avx2Kernels, RUNGWELL_AVX2, Avx2Vector, ClmulBits, Avx2Copy)
RUNGWELL_KERNELS(Avx512Kernels, RUNGWELL_AVX512, Avx512Vector, ClmulBits, Avx512Copy)
#undef RUNGWELL_KERNELS
#endif

template <typename Path>
constexpr Kernels TableOf() {
  return {{{&Path::template Scan<Encoding::Bytes, false>, &Path::template Scan<Encoding::Utf16Le, false>,
            &Path::template Scan<Encoding::Utf16Be, false>},
           {&Path::template Scan<Encoding::Bytes, true>, &Path::template Scan<Encoding::Utf16Le, true>,
            &Path::template Scan<Encoding::Utf16Be, true>}},
          {&Path::template Count<Encoding::Bytes>, &Path::template Count<Encoding::Utf16Le>,
           &Path::template Count<Encoding::Utf16Be>},
          &Path::Assemble};
}

const Kernels& TableFor(ScanPath path) {
  static constexpr Kernels portable = TableOf<BaselineKernels<PortableVector, PortableBits, PortableCopy>>();
#ifdef RUNGWELL_X86
  static constexpr Kernels sse2 = TableOf<BaselineKernels<Sse2Vector, PortableBits, PortableCopy>>();
  static constexpr Kernels bmi2 = TableOf<Bmi2Kernels>();
  static constexpr Kernels avx2 = TableOf<Avx2Kernels>();
  static constexpr Kernels avx512 = TableOf<Avx512Kernels>();
  switch (path) {
    case ScanPath::Portable:
      return portable;
    case ScanPath::Sse2:
      return sse2;
    case ScanPath::Bmi2:
      return bmi2;
    case ScanPath::Avx2:
      return avx2;
    case ScanPath::Avx512:
      return avx512;
  }
#endif
  (void)path;
  return portable;
}

}  // namespace

const Kernels& KernelsFor(ScanPath path) {
  return TableFor(CanRun(path) ? path : ChosenScanPath());
}

}  // namespace rungwell
