// Sound on OpenAL Soft when no output device can be opened.
#include "test_files.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(OpenAlWithoutDevice, TheProgramRunsOnWithoutSound) {
    EXPECT_EQ(sound_init(), 0);
    EXPECT_EQ(sound_load_wav_memory(AUTO_NUMBER, make_wav(1, 16, 44100, Bytes(100, 0)).data()), 0);
    EXPECT_EQ(sound_play(0, 0, -1), 0);
    sound_free(0);
    sound_shutdown();
}

int main(int argc, char** argv) {
    // Only a driver that does not exist: OpenAL finds no device.
    setenv("ALSOFT_DRIVERS", "no-such-driver", 1);
    setenv("ALSOFT_CONF", "/dev/null", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
