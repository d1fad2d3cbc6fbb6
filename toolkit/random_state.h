// The generator's state, for code that draws many numbers at once (the renderer's noise) and
// must keep exactly the sequence random_below would give.
#pragma once

#include <cstdint>

struct RandomState {
    uint64_t s[4];
};

RandomState random_state_from_seed(uint64_t seed);
uint64_t random_next(RandomState& state);
// 0 to max inclusive, the same draw random_below makes.
int32_t random_bounded(RandomState& state, int32_t max);
// The process-wide state behind random_below, seeded from the clock on first use.
RandomState& random_process_state();
