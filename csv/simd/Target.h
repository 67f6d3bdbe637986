#pragma once

// What the code built for wider vectors needs: on x86-64 with GCC or clang,
// functions can be compiled for instructions beyond the baseline and chosen
// at run time (see ScanPath); elsewhere only the portable code is built.

#include "csv/Inline.h"

#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__) && !defined(RUNGWELL_NO_SIMD)
#include <immintrin.h>
#define RUNGWELL_X86 1
#define RUNGWELL_TARGET(features) __attribute__((target(features)))
#define RUNGWELL_BMI2 "bmi,bmi2,popcnt"
#define RUNGWELL_AVX2 "avx2,bmi,bmi2,popcnt,pclmul"
#define RUNGWELL_AVX512 "avx512f,avx512bw,avx2,bmi,bmi2,popcnt,pclmul"
#endif
