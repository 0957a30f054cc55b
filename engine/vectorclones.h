#pragma once
// ORVELLA_VECTOR_CLONES before a hot loop's function builds it for AVX2 as well, the loader
// choosing the version the processor runs. Not under ThreadSanitizer: its run time is not yet
// set up when the loader calls the chooser, which then crashes. Not with clang (the fuzzing
// build), which accepts clones only on first declarations.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVELLA_NO_CLONES 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define ORVELLA_NO_CLONES 1
#endif

#if defined(ORVELLA_NO_CLONES) || defined(__clang__) || !defined(__x86_64__)
#define ORVELLA_VECTOR_CLONES
#else
#define ORVELLA_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
