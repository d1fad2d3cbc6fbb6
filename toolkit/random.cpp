// The uniform generator behind white noise: xoshiro256** seeded through splitmix64, bounded
// without bias by Lemire's multiply-and-reject method.  The sequence for a given seed is fixed
// and is part of what the renderer's fast and reference paths must agree on.
#include "toolkit/random_state.h"
#include "toolkit/toolkit.h"

#include <chrono>

namespace {
RandomState state;
bool seeded = false;

uint64_t splitmix64(uint64_t& x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t rotl(uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}
} // namespace

RandomState random_state_from_seed(uint64_t seed) {
    RandomState s;
    for (auto& word : s.s)
        word = splitmix64(seed);
    return s;
}

uint64_t random_next(RandomState& st) {
    uint64_t* s = st.s;
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

int32_t random_bounded(RandomState& st, int32_t max) {
    if (max <= 0) return 0;
    const uint32_t range = static_cast<uint32_t>(max) + 1u;
    // Lemire: the high half of a 32x32 product is uniform once the low half is past the
    // threshold (2^32 mod range).
    const uint32_t threshold = static_cast<uint32_t>(-range) % range;
    for (;;) {
        const uint64_t m =
            static_cast<uint64_t>(static_cast<uint32_t>(random_next(st) >> 32)) * range;
        if (static_cast<uint32_t>(m) >= threshold) return static_cast<int32_t>(m >> 32);
    }
}

RandomState& random_process_state() {
    if (!seeded) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        const auto steady = std::chrono::steady_clock::now().time_since_epoch();
        state = random_state_from_seed(static_cast<uint64_t>(now.count()) ^
                                       (static_cast<uint64_t>(steady.count()) << 1));
        seeded = true;
    }
    return state;
}

void random_seed(uint64_t seed) {
    state = random_state_from_seed(seed);
    seeded = true;
}

int32_t random_below(int32_t max) {
    return random_bounded(random_process_state(), max);
}
