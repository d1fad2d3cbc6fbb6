// Wider vector units are chosen at run time where the toolchain can (ELF ifuncs): FAST_CLONES
// before a function makes an AVX2 copy of it beside the baseline (SSE2 on x86) one, with the
// same arithmetic.  Elsewhere the baseline is all there is, and so under the thread sanitizer,
// whose run time is not yet up when the loader calls the resolvers that pick a copy.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) &&         \
    !defined(__SANITIZE_THREAD__)
#define FAST_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define FAST_CLONES
#endif
