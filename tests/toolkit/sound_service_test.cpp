// The sound service's own rules, over a driver that records what it is asked to do.
#include "test_files.h"
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

struct Recorder {
    bool open_ok = true, create_ok = true;
    Log log;
    std::vector<Bytes> buffers; // buffer n is handle n + 1
} rec;

NativeHandle fake_create(const PcmFormat& f, const void* data, size_t size) {
    if (!rec.create_ok) return 0;
    const auto* p = static_cast<const uint8_t*>(data);
    rec.buffers.emplace_back(p, p + size);
    rec.log.push_back("create " + std::to_string(rec.buffers.size()) + " " +
                      std::to_string(f.channels) + "x" + std::to_string(f.bits) + "@" +
                      std::to_string(f.rate));
    return NativeHandle(rec.buffers.size());
}
bool fake_play(NativeHandle b, bool loop, int32_t volume) {
    rec.log.push_back("play " + std::to_string(b) + (loop ? " loop " : " once ") +
                      std::to_string(volume));
    return true;
}
const AudioDriver fake = {
    .open =
        [] {
            rec.log.push_back("open");
            return rec.open_ok;
        },
    .buffer_create = fake_create,
    .play = fake_play,
    .buffer_release = [](NativeHandle b) { rec.log.push_back("release " + std::to_string(b)); },
    .close = [] { rec.log.push_back("close"); },
    .playing = [](NativeHandle) { return false; },
};

class SoundService : public ::testing::Test {
  protected:
    void SetUp() override {
        rec = Recorder{};
        ASSERT_EQ(sound_service_start(&fake), 1);
    }
    void TearDown() override { sound_shutdown(); }
    const Bytes img = make_wav(1, 16, 22050, Bytes(8, 1));
};

// A load copies the data to the driver and names the sound by a fresh handle; play hands on
// the loop flag and volume; a freed sound is released once and is gone.
TEST_F(SoundService, LoadsCopyTheDataAndNameTheSound) {
    const int32_t h = int32_t(sound_load_wav_memory(AUTO_NUMBER, img.data()));
    EXPECT_LT(h, -1);
    EXPECT_EQ(rec.buffers, std::vector<Bytes>{Bytes(8, 1)});
    EXPECT_EQ(sound_play(h, 0, -1), 1);
    EXPECT_EQ(sound_play(h, SOUND_PLAY_LOOP, -500), 1);
    sound_free(h);
    EXPECT_EQ(sound_exists(h), 0);
    EXPECT_EQ(sound_play(h, 0, -1), 0);
    sound_free(h);
    EXPECT_EQ(sound_load_wav_memory(-2, img.data()), 0);
    EXPECT_EQ(rec.log, (Log{"open", "create 1 1x16@22050", "play 1 once -1", "play 1 loop -500",
                            "release 1"}));
}

// A static number (0 is one) gives the native handle, and its old sound goes only when a new
// one loads; the service refuses data below its own least size before the driver sees it.
TEST_F(SoundService, AStaticNumberIsReplacedOnlyByASoundThatLoads) {
    EXPECT_EQ(sound_load_wav_memory(0, img.data()), 1);
    EXPECT_EQ(sound_load_wav_memory(0, make_wav(1, 8, 5512, Bytes(3, 128)).data()), 0);
    rec.create_ok = false;
    EXPECT_EQ(sound_load_wav_memory(0, img.data()), 0);
    EXPECT_EQ(sound_exists(0), 1);
    rec.create_ok = true;
    EXPECT_EQ(sound_load_wav_memory(0, make_wav(1, 8, 5512, Bytes(4, 128)).data()), 2);
    EXPECT_EQ(rec.log, (Log{"open", "create 1 1x16@22050", "create 2 1x8@5512", "release 1"}));
}

// Shutdown frees static numbers ascending, then handles oldest first, then closes; a second
// shutdown does nothing, and the service starts again after it.
TEST_F(SoundService, ShutdownFreesStaticNumbersAscendingThenHandlesOldestFirst) {
    for (int32_t number : {AUTO_NUMBER, 9, AUTO_NUMBER, 2, AUTO_NUMBER})
        sound_load_wav_memory(number, img.data());
    rec.log.clear();
    sound_shutdown();
    EXPECT_EQ(sound_exists(9), 0);
    sound_shutdown();
    EXPECT_EQ(rec.log,
              (Log{"release 4", "release 2", "release 1", "release 3", "release 5", "close"}));
    ASSERT_EQ(sound_service_start(&fake), 1);
    EXPECT_NE(sound_load_wav_memory(AUTO_NUMBER, img.data()), 0);
}

// Without a device (the driver cannot open one, or there is no driver) nothing loads.
TEST(SoundServiceWithoutDevice, LoadsNothing) {
    rec = Recorder{};
    rec.open_ok = false;
    const Bytes img = make_wav(2, 16, 44100, Bytes(64, 0));
    for (bool with_driver : {true, false}) {
        EXPECT_EQ(with_driver ? sound_service_start(&fake) : sound_init(), 0);
        EXPECT_EQ(sound_load_wav_memory(AUTO_NUMBER, img.data()), 0);
        sound_shutdown();
    }
    EXPECT_EQ(rec.log, Log{"open"});
}

} // namespace
