// The sound service's own rules, over a driver that records what it is asked to do.
#include "test_files.h"
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Recorder {
    bool open_ok = true;
    bool create_ok = true;
    std::vector<std::string> log;
    std::vector<Bytes> buffers; // buffer n is handle n + 1
};
Recorder rec;

bool fake_open() {
    rec.log.push_back("open");
    return rec.open_ok;
}
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
void fake_release(NativeHandle b) {
    rec.log.push_back("release " + std::to_string(b));
}
void fake_close() {
    rec.log.push_back("close");
}
bool fake_playing(NativeHandle) {
    return false;
}
const AudioDriver fake = {fake_open,    fake_create, fake_play,
                          fake_release, fake_close,  fake_playing};

class SoundService : public ::testing::Test {
  protected:
    void SetUp() override {
        rec = Recorder{};
        ASSERT_EQ(sound_service_start(&fake), 1);
    }
    void TearDown() override { sound_shutdown(); }
    Bytes image(size_t bytes = 8) { return make_wav(1, 16, 22050, Bytes(bytes, 1)); }
};

TEST_F(SoundService, LoadsCopyTheDataAndNameTheSound) {
    Bytes img = image();
    const intptr_t h = sound_load_wav_memory(AUTO_NUMBER, img.data());
    EXPECT_LT(h, -1);
    EXPECT_EQ(rec.log.back(), "create 1 1x16@22050");
    EXPECT_EQ(rec.buffers[0], Bytes(8, 1));
    EXPECT_EQ(sound_exists(int32_t(h)), 1);
    EXPECT_EQ(sound_play(int32_t(h), 0, -1), 1);
    EXPECT_EQ(rec.log.back(), "play 1 once -1");
    EXPECT_EQ(sound_play(int32_t(h), SOUND_PLAY_LOOP, -500), 1);
    EXPECT_EQ(rec.log.back(), "play 1 loop -500");
    sound_free(int32_t(h));
    EXPECT_EQ(rec.log.back(), "release 1");
    EXPECT_EQ(sound_exists(int32_t(h)), 0);
    EXPECT_EQ(sound_play(int32_t(h), 0, -1), 0);
    sound_free(int32_t(h));
    EXPECT_EQ(rec.log.back(), "release 1");
    EXPECT_EQ(sound_load_wav_memory(-2, img.data()), 0);
    EXPECT_EQ(sound_load_wav_memory(AUTO_NUMBER, nullptr), 0);
    EXPECT_EQ(sound_exists(0), 0);
}

TEST_F(SoundService, AStaticNumberIsReplacedOnlyByASoundThatLoads) {
    Bytes img = image();
    const intptr_t native = sound_load_wav_memory(4, img.data());
    EXPECT_EQ(native, 1);
    Bytes bad = img;
    bad[0] = 'X';
    EXPECT_EQ(sound_load_wav_memory(4, bad.data()), 0);
    rec.create_ok = false;
    EXPECT_EQ(sound_load_wav_memory(4, img.data()), 0);
    EXPECT_EQ(sound_exists(4), 1);
    EXPECT_EQ(rec.log.back(), "create 1 1x16@22050");
    rec.create_ok = true;
    EXPECT_EQ(sound_load_wav_memory(4, img.data()), 2);
    EXPECT_EQ(rec.log[rec.log.size() - 2], "create 2 1x16@22050");
    EXPECT_EQ(rec.log.back(), "release 1");
}

TEST_F(SoundService, KeepsItsOwnSizeLimits) {
    Bytes tiny = make_wav(1, 8, 5512, Bytes(3, 128));
    EXPECT_EQ(sound_load_wav_memory(AUTO_NUMBER, tiny.data()), 0);
    Bytes least = make_wav(1, 8, 5512, Bytes(4, 128));
    EXPECT_NE(sound_load_wav_memory(AUTO_NUMBER, least.data()), 0);
    Bytes smallest_shell = make_wav(1, 8, 5512, Bytes(5512, 128));
    EXPECT_NE(sound_load_wav_memory(AUTO_NUMBER, smallest_shell.data()), 0);
    EXPECT_EQ(rec.buffers.size(), 2u);
}

TEST_F(SoundService, ShutdownFreesStaticNumbersAscendingThenHandlesOldestFirst) {
    Bytes img = image();
    sound_load_wav_memory(AUTO_NUMBER, img.data()); // 1
    sound_load_wav_memory(9, img.data());           // 2
    sound_load_wav_memory(AUTO_NUMBER, img.data()); // 3
    sound_load_wav_memory(2, img.data());           // 4
    sound_load_wav_memory(AUTO_NUMBER, img.data()); // 5
    rec.log.clear();
    sound_shutdown();
    EXPECT_EQ(rec.log, (std::vector<std::string>{"release 4", "release 2", "release 1", "release 3",
                                                 "release 5", "close"}));
    EXPECT_EQ(sound_exists(9), 0);
    rec.log.clear();
    sound_shutdown();
    EXPECT_TRUE(rec.log.empty());
    // The service starts again after the end, and loads again.
    ASSERT_EQ(sound_service_start(&fake), 1);
    EXPECT_NE(sound_load_wav_memory(AUTO_NUMBER, img.data()), 0);
}

TEST(SoundServiceWithoutDevice, LoadsNothing) {
    rec = Recorder{};
    rec.open_ok = false;
    EXPECT_EQ(sound_service_start(&fake), 0);
    Bytes img = make_wav(2, 16, 44100, Bytes(64, 0));
    EXPECT_EQ(sound_load_wav_memory(AUTO_NUMBER, img.data()), 0);
    EXPECT_EQ(sound_load_wav_memory(1, img.data()), 0);
    EXPECT_EQ(sound_exists(1), 0);
    sound_shutdown();
    EXPECT_EQ(rec.log, std::vector<std::string>{"open"});
    // The same without any driver.
    EXPECT_EQ(sound_init(), 0);
    EXPECT_EQ(sound_load_wav_memory(AUTO_NUMBER, img.data()), 0);
    sound_shutdown();
}

} // namespace
