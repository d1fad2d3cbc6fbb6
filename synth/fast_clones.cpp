#include "synth/fast_clones.h"

namespace fast_dispatch {
std::atomic<int> choice{-1};

int detect() {
    int has = 0;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init(); // may run before the constructors that would call it
    has = __builtin_cpu_supports("avx2") ? 1 : 0;
#endif
    int expected = -1;
    choice.compare_exchange_strong(expected, has, std::memory_order_relaxed);
    return choice.load(std::memory_order_relaxed);
}
} // namespace fast_dispatch

FastVectors fast_vectors() {
    return fast_dispatch::avx2() ? FastVectors::avx2 : FastVectors::baseline;
}

FastVectors set_fast_vectors(FastVectors wanted) {
    fast_dispatch::choice.store(-1, std::memory_order_relaxed);
    if (wanted == FastVectors::baseline || !fast_dispatch::avx2())
        fast_dispatch::choice.store(0, std::memory_order_relaxed);
    return fast_vectors();
}
