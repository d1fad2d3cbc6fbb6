// The generator's state, for code that draws many numbers at once (the renderer's noise) and
// must keep exactly the sequence random_below would give.
#pragma once

#include <cstdint>

struct RandomState {
    uint64_t s[4];
};

RandomState random_state_from_seed(uint64_t seed);

// One step of xoshiro256**.
inline uint64_t random_next(RandomState& state) {
    uint64_t* s = state.s;
    const auto rotl = [](uint64_t x, int k) { return (x << k) | (x >> (64 - k)); };
    const uint64_t result = rotl(s[1] * 5, 7) * 9;
    const uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotl(s[3], 45);
    return result;
}

// 0 to max inclusive, the same draw random_below makes (none at all for max <= 0).  Lemire:
// the high half of a 32 x 32 product is uniform once the low half is past the threshold
// (2^32 mod range).
inline int32_t random_bounded(RandomState& state, int32_t max) {
    if (max <= 0) return 0;
    const uint32_t range = uint32_t(max) + 1u;
    const uint32_t threshold = uint32_t(-range) % range;
    for (;;) {
        const uint64_t m = uint64_t(uint32_t(random_next(state) >> 32)) * range;
        if (uint32_t(m) >= threshold) return int32_t(m >> 32);
    }
}
// The process-wide state behind random_below, seeded from the clock on first use.
RandomState& random_process_state();
