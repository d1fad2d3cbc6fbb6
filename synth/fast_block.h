// What the fast renderer's files share: the block of frames each of its steps works on.
#pragma once

#include <cstdint>

// Frames a block.
constexpr int32_t BLOCK = 2048;

// 0, 1, 2, ... as doubles: a frame's index inside its block, for loops that vectorise.
struct FrameIndex {
    alignas(64) double value[BLOCK];
    FrameIndex() {
        for (int32_t j = 0; j < BLOCK; ++j)
            value[j] = double(j);
    }
};
extern const FrameIndex FRAME_INDEX;
