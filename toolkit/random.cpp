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

} // namespace

RandomState random_state_from_seed(uint64_t seed) {
    RandomState s;
    for (auto& word : s.s)
        word = splitmix64(seed);
    return s;
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
