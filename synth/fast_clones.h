// Wider vector units chosen at run time, the same way on every platform.  A hot loop is
// written once, as NAME_body marked FAST_BODY; FAST_VARIANTS(NAME, (parameters), (arguments))
// then compiles it twice, as an AVX2 copy and a baseline (SSE2 on x86) copy, and defines NAME,
// which calls the AVX2 copy when the processor has AVX2 and the baseline copy otherwise.  The
// arithmetic is the same in both (no fused multiply-adds: -ffp-contract=off), so are the bits.
// The choice is a flag read per block, set once from cpuid: no ifunc, which PE executables
// lack and whose resolvers ran before the thread sanitizer's run time was up.
#pragma once

#include <atomic>

enum class FastVectors { baseline, avx2 };

// The copies in use.
FastVectors fast_vectors();
// Chooses the copies: AVX2 only where the processor has it.  Returns the choice in force
// (tests render with both).
FastVectors set_fast_vectors(FastVectors wanted);

namespace fast_dispatch {
// -1 until first asked, then 1 for AVX2, 0 for the baseline.
extern std::atomic<int> choice;
int detect();
inline bool avx2() {
    const int c = choice.load(std::memory_order_relaxed);
    return (c < 0 ? detect() : c) == 1;
}
} // namespace fast_dispatch

#define FAST_BODY [[gnu::always_inline]] inline

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define FAST_VARIANTS(name, parameters, arguments)                                                 \
    __attribute__((target("avx2"))) auto name##_avx2 parameters {                                  \
        return name##_body arguments;                                                              \
    }                                                                                              \
    auto name##_baseline parameters {                                                              \
        return name##_body arguments;                                                              \
    }                                                                                              \
    auto name parameters {                                                                         \
        return fast_dispatch::avx2() ? name##_avx2 arguments : name##_baseline arguments;          \
    }
#else
#define FAST_VARIANTS(name, parameters, arguments)                                                 \
    auto name parameters {                                                                         \
        return name##_body arguments;                                                              \
    }
#endif
