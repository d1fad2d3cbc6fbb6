// Sound on OpenAL Soft, captured by its wave-file backend and measured.
#include "test_files.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::string capture_path;
constexpr int RATE = 44100;

void wait_ms(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The captured stereo output as floats, left and right.
struct Capture {
    std::vector<float> left, right;
};

uint32_t u32_at(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

Capture read_capture() {
    std::ifstream in(capture_path, std::ios::binary);
    const Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Capture c;
    if (b.size() < 12) return c;
    int channels = 0, bits = 0, rate = 0;
    bool is_float = false;
    for (size_t pos = 12; pos + 8 <= b.size();) {
        const uint32_t size = u32_at(b, pos + 4);
        if (std::memcmp(&b[pos], "fmt ", 4) == 0) {
            const uint16_t tag = uint16_t(b[pos + 8] | b[pos + 9] << 8);
            channels = b[pos + 10];
            rate = int(u32_at(b, pos + 12));
            bits = b[pos + 22];
            is_float = tag == 3 || (tag == 0xFFFE && b[pos + 32] == 3);
        } else if (std::memcmp(&b[pos], "data", 4) == 0) {
            EXPECT_EQ(channels, 2);
            EXPECT_EQ(rate, RATE);
            const size_t frame = size_t(channels * bits / 8);
            const size_t end = std::min(b.size(), pos + 8 + size_t(size));
            for (size_t at = pos + 8; at + frame <= end; at += frame) {
                float s[2];
                for (int ch = 0; ch < 2; ++ch) {
                    const size_t o = at + size_t(ch * bits / 8);
                    if (is_float)
                        std::memcpy(&s[ch], &b[o], 4);
                    else
                        s[ch] = float(int16_t(b[o] | b[o + 1] << 8)) / 32768.0f;
                }
                c.left.push_back(s[0]);
                c.right.push_back(s[1]);
            }
            break;
        }
        pos += 8 + size + (size & 1);
    }
    return c;
}

// The frames from the first to the last one louder than threshold on either channel.
struct LoudRun {
    size_t first = 0, last = 0;
    bool found = false;
    double seconds() const { return found ? double(last - first + 1) / RATE : 0.0; }
};
LoudRun loud_run(const Capture& c, float threshold = 0.01f) {
    LoudRun r;
    for (size_t i = 0; i < c.left.size(); ++i)
        if (std::fabs(c.left[i]) > threshold || std::fabs(c.right[i]) > threshold) {
            if (!r.found) r.first = i;
            r.found = true;
            r.last = i;
        }
    return r;
}

double rms(const std::vector<float>& s, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(count));
}
double peak(const std::vector<float>& s, size_t from, size_t count) {
    double p = 0;
    for (size_t i = from; i < from + count; ++i)
        p = std::max(p, double(std::fabs(s[i])));
    return p;
}
double db(double ratio) {
    return 20.0 * std::log10(ratio);
}

std::vector<double> sine(double amplitude, double hz, double seconds, int rate = RATE) {
    std::vector<double> s(size_t(seconds * rate));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = amplitude * std::sin(2.0 * M_PI * hz * double(i) / rate);
    return s;
}
Bytes mono16(const std::vector<double>& s) {
    return make_wav(1, 16, RATE, pcm16(s));
}
// A constant level, which shows mixing and cutting plainly.
Bytes level(double value, double seconds) {
    return mono16(std::vector<double>(size_t(seconds * RATE), value));
}

class OpenAlSound : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(sound_init(), 0) << "the wave backend did not open"; }
    void TearDown() override { sound_shutdown(); }
    // Ends the device, which completes the capture, and reads it.
    Capture finish() {
        sound_shutdown();
        return read_capture();
    }
};

TEST_F(OpenAlSound, AMonoSoundReachesBothSpeakersAtItsOwnLevel) {
    const std::vector<double> full = sine(1.0, 1000.0, 0.25);
    const std::vector<double> half = sine(0.5, 315.0, 0.25);
    Bytes a = mono16(full), b = mono16(half);
    Bytes eight = make_wav(1, 8, RATE, [&] {
        Bytes p(half.size());
        for (size_t i = 0; i < p.size(); ++i)
            p[i] = uint8_t(std::lround(128.0 + 127.0 * half[i]));
        return p;
    }());
    const int32_t sa = int32_t(sound_load_wav_memory(AUTO_NUMBER, a.data()));
    const int32_t sb = int32_t(sound_load_wav_memory(AUTO_NUMBER, b.data()));
    const int32_t s8 = int32_t(sound_load_wav_memory(AUTO_NUMBER, eight.data()));
    ASSERT_NE(sa, 0);
    ASSERT_NE(sb, 0);
    ASSERT_NE(s8, 0);
    // One after the other, with silence between them.
    for (int32_t s : {sa, sb, s8}) {
        ASSERT_EQ(sound_play(s, 0, -1), 1);
        wait_ms(400);
    }
    const Capture c = finish();
    // Each sound's loud run, measured over its middle 0.15 s.
    const double source_rms[3] = {rms(std::vector<float>(full.begin(), full.end()), 0, full.size()),
                                  rms(std::vector<float>(half.begin(), half.end()), 0, half.size()),
                                  127.0 / 128.0 * 0.5 / std::sqrt(2.0)};
    const double source_peak[3] = {32767.0 / 32768.0, 0.5, 64.0 / 128.0};
    size_t from = 0;
    for (int k = 0; k < 3; ++k) {
        Capture rest;
        rest.left.assign(c.left.begin() + long(from), c.left.end());
        rest.right.assign(c.right.begin() + long(from), c.right.end());
        const LoudRun run = loud_run(rest);
        ASSERT_TRUE(run.found) << "sound " << k;
        const size_t start = from + run.first + RATE / 20;
        const size_t count = RATE * 15 / 100;
        ASSERT_LE(start + count, c.left.size());
        for (const std::vector<float>* ch : {&c.left, &c.right}) {
            EXPECT_NEAR(db(rms(*ch, start, count) / source_rms[k]), 0.0, 0.1) << "sound " << k;
            EXPECT_NEAR(db(peak(*ch, start, count) / source_peak[k]), 0.0, 0.1) << "sound " << k;
        }
        from = start + count + RATE / 10;
    }
}

TEST_F(OpenAlSound, StereoChannelsStayApart) {
    const std::vector<double> tone = sine(0.5, 441.0, 0.2);
    std::vector<double> frames;
    for (double s : tone)
        frames.insert(frames.end(), {s, 0.0});
    Bytes img = make_wav(2, 16, RATE, pcm16(frames));
    ASSERT_EQ(sound_play(int32_t(sound_load_wav_memory(AUTO_NUMBER, img.data())), 0, -1), 1);
    wait_ms(300);
    const Capture c = finish();
    const LoudRun run = loud_run(c);
    ASSERT_TRUE(run.found);
    const size_t start = run.first + RATE / 50, count = RATE / 10;
    EXPECT_NEAR(db(rms(c.left, start, count) / (0.5 / std::sqrt(2.0))), 0.0, 0.1);
    EXPECT_LT(rms(c.right, start, count), 1e-4);
}

TEST_F(OpenAlSound, PlayingAgainRestartsTheSound) {
    Bytes img = level(0.25, 0.3);
    const int32_t s = int32_t(sound_load_wav_memory(AUTO_NUMBER, img.data()));
    ASSERT_EQ(sound_play(s, 0, -1), 1);
    wait_ms(100);
    ASSERT_EQ(sound_play(s, 0, -1), 1);
    EXPECT_EQ(sound_playing(s), 1);
    wait_ms(450);
    EXPECT_EQ(sound_playing(s), 0);
    const Capture c = finish();
    const LoudRun run = loud_run(c);
    // Cut off after about 0.1 s and played whole again, never twice at once.
    EXPECT_NEAR(run.seconds(), 0.4, 0.06);
    EXPECT_LT(peak(c.left, run.first, run.last - run.first), 0.26);
}

TEST_F(OpenAlSound, TwoSoundsPlayTogetherAndMix) {
    Bytes a = level(0.25, 0.3), b = level(0.25, 0.3);
    const int32_t sa = int32_t(sound_load_wav_memory(AUTO_NUMBER, a.data()));
    ASSERT_EQ(sound_play(sa, 0, -1), 1);
    wait_ms(100);
    // Loading the second leaves the first playing.
    const int32_t sb = int32_t(sound_load_wav_memory(AUTO_NUMBER, b.data()));
    ASSERT_EQ(sound_play(sb, 0, -1), 1);
    wait_ms(450);
    const Capture c = finish();
    const LoudRun run = loud_run(c);
    EXPECT_NEAR(run.seconds(), 0.4, 0.06);
    EXPECT_NEAR(peak(c.left, run.first, run.last - run.first), 0.5, 0.01);
    EXPECT_NEAR(peak(c.right, run.first, run.last - run.first), 0.5, 0.01);
}

TEST_F(OpenAlSound, FreeingSilencesAtOnce) {
    Bytes img = level(0.25, 0.5);
    const int32_t s = int32_t(sound_load_wav_memory(AUTO_NUMBER, img.data()));
    ASSERT_EQ(sound_play(s, 0, -1), 1);
    wait_ms(100);
    sound_free(s);
    EXPECT_EQ(sound_exists(s), 0);
    EXPECT_EQ(sound_play(s, 0, -1), 0);
    wait_ms(200);
    const LoudRun run = loud_run(finish());
    EXPECT_TRUE(run.found);
    EXPECT_LT(run.seconds(), 0.16);
}

TEST_F(OpenAlSound, ShutdownStopsWhatPlays) {
    Bytes img = level(0.25, 0.5);
    const int32_t s = int32_t(sound_load_wav_memory(AUTO_NUMBER, img.data()));
    ASSERT_EQ(sound_play(s, SOUND_PLAY_LOOP, -1), 1);
    wait_ms(100);
    const LoudRun run = loud_run(finish());
    EXPECT_EQ(sound_exists(s), 0);
    EXPECT_TRUE(run.found);
    EXPECT_LT(run.seconds(), 0.16);
}

TEST_F(OpenAlSound, RefusedImagesMakeNoSound) {
    Bytes good = level(0.1, 0.1);
    ASSERT_NE(sound_load_wav_memory(3, good.data()), 0);
    Bytes lying = good;
    put_u32(lying, 40, uint32_t(good.size())); // more data than the image holds
    EXPECT_EQ(sound_load_wav_memory(3, lying.data()), 0);
    EXPECT_EQ(sound_exists(3), 1);
    Bytes odd = make_wav(2, 16, RATE, Bytes(7, 0)); // not whole frames: the tail is dropped
    EXPECT_NE(sound_load_wav_memory(AUTO_NUMBER, odd.data()), 0);
    Bytes three = make_wav(2, 16, RATE, Bytes(3, 0));
    EXPECT_EQ(sound_load_wav_memory(AUTO_NUMBER, three.data()), 0);
}

} // namespace

int main(int argc, char** argv) {
    // A configuration of this process's own, read at the first OpenAL call: the wave
    // backend writes the mix to a file instead of a sound card.
    char dir[] = "/tmp/toolkit-openal-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string conf = std::string(dir) + "/alsoft.conf";
    capture_path = std::string(dir) + "/capture.wav";
    {
        std::ofstream out(conf);
        out << "[general]\ndrivers=wave\nsample-type=float32\n[wave]\nfile=" << capture_path
            << "\n";
    }
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::remove(capture_path.c_str());
    std::remove(conf.c_str());
    rmdir(dir);
    return result;
}
