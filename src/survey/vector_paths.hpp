// Loops over every word of every segment take the processor's wider instructions
// where it has them: each marked function is built twice, and the path is chosen at
// load time. Other compilers build the plain path only, and so does a build with
// -DSHARP_VECTORS=OFF (SHARP_PLAIN_ONLY): the tests' way to run the plain path on a
// machine that would take the wider one.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(SHARP_PLAIN_ONLY)
// Code written for AVX2 by hand, chosen at run time.
#define SHARP_HAS_AVX2_PATH 1
// Four words per instruction with AVX2, where the plain path takes two.
#define SHARP_WITH_VECTORS __attribute__((target_clones("avx2", "default")))
// The processor's population count, where the plain path counts bits in a library call.
#define SHARP_WITH_POPCNT __attribute__((target_clones("popcnt", "default")))
#else
#define SHARP_HAS_AVX2_PATH 0
#define SHARP_WITH_VECTORS
#define SHARP_WITH_POPCNT
#endif
