// Hot loops are compiled three times, for AVX-512, AVX2 and the x86-64 baseline; the loader picks
// the version the processor runs. The library is built with -ffp-contract=off, so all
// versions round the same products and sums.
#pragma once

// The sanitizer runtimes do not support the loader's indirect functions, and clang (the fuzzing
// build) accepts clones only on first declarations, so those builds keep the baseline only.
#if defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__) && \
    !defined(__SANITIZE_THREAD__)
#define VELCORA_SIMD_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define VELCORA_SIMD_CLONES
#endif
