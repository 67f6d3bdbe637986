#pragma once

// Code that must be inlined into its caller, so that it is compiled for the
// caller's instructions: the scan's kernels are built once per instruction
// set, and what they call must not be a function of the baseline's.
#if defined(__GNUC__)
#define RUNGWELL_INLINE inline __attribute__((always_inline))
#else
#define RUNGWELL_INLINE inline
#endif
