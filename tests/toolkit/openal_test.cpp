// Sound on OpenAL Soft, captured by its wave-file backend and measured.
#include "test_files.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::string capture_path;
constexpr int RATE = 44100;

using namespace std::chrono_literals;

// Ends the device, which completes the capture, and returns its samples, left and right
// interleaved: float32 stereo as the configuration in main asks, at the driver's rate, after
// the 68-byte header the wave backend writes.
std::vector<float> finish() {
    sound_shutdown();
    std::ifstream in(capture_path, std::ios::binary);
    uint32_t rate = 0;
    in.seekg(24).read(reinterpret_cast<char*>(&rate), 4);
    EXPECT_EQ(rate, uint32_t(RATE));
    std::vector<float> c;
    in.seekg(68);
    for (float s; in.read(reinterpret_cast<char*>(&s), 4);)
        c.push_back(s);
    return c;
}

// The frames from the first to the last one louder than 0.01 on either channel.
struct Loud {
    size_t first = 0, frames = 0;
};
Loud loud_run(const std::vector<float>& c) {
    Loud r;
    for (size_t i = 0; i < c.size(); ++i)
        if (std::fabs(c[i]) > 0.01f) {
            if (r.frames == 0) r.first = i / 2;
            r.frames = i / 2 - r.first + 1;
        }
    return r;
}

// The peak and RMS level of one channel (0 left, 1 right) over count frames from frame from.
struct Level {
    double peak = 0, rms = 0;
};
Level measure(const std::vector<float>& c, int channel, size_t from, size_t count) {
    Level l;
    for (size_t i = from; i < from + count && 2 * i + 1 < c.size(); ++i) {
        const double s = c[2 * i + size_t(channel)];
        l.peak = std::max(l.peak, std::fabs(s));
        l.rms += s * s / double(count);
    }
    l.rms = std::sqrt(l.rms);
    return l;
}

// 0.2 s of a sine on the first of channels, the others silent.
std::vector<double> sine(double amplitude, double hz, size_t channels = 1) {
    std::vector<double> s(RATE / 5 * channels);
    for (size_t i = 0; i < s.size(); i += channels)
        s[i] = amplitude * std::sin(2.0 * M_PI * hz * double(i / channels) / RATE);
    return s;
}
Bytes mono16(const std::vector<double>& s) {
    return make_wav(1, 16, RATE, pcm16(s));
}
// A constant level of 0.25 for 0.4 s, which shows mixing and cutting plainly.
Bytes level() {
    return mono16(std::vector<double>(RATE * 4 / 10, 0.25));
}

// Plays the image under a fresh handle, on the device opened first if need be.
int32_t play(const Bytes& image, int32_t flags = 0, int32_t volume = -1) {
    EXPECT_NE(sound_init(), 0) << "the wave backend did not open";
    const int32_t s = int32_t(sound_load_wav_memory(AUTO_NUMBER, image.data()));
    EXPECT_EQ(sound_play(s, flags, volume), 1);
    return s;
}

// Waits (a second at most) for the sound to play to its end.
void wait_end(int32_t sound) {
    for (int i = 0; i < 100 && sound_playing(sound); ++i)
        std::this_thread::sleep_for(10ms);
}

// Each sound alone on a fresh device, measured over 0.1 s in its middle: a mono sound reaches
// both speakers at its own level (16-bit and 8-bit, full scale unlimited), stereo channels
// stay apart, and a volume takes hundredths of a decibel off.
TEST(OpenAlSound, SoundsPlayAtTheirOwnLevel) {
    const std::vector<double> tone = sine(0.5, 400.0);
    Bytes eight;
    for (double s : tone)
        eight.push_back(uint8_t(std::lround(128.0 + 128.0 * s)));
    Bytes stereo = pcm16(sine(0.5, 400.0, 2));
    stereo.push_back(0); // not a whole frame: left out
    const struct {
        Bytes image;
        int32_t volume;
        double left, right; // peaks; each channel's RMS is its peak / sqrt(2)
    } cases[] = {
        {mono16(sine(1.0, 1000.0)), -1, 1.0, 1.0},
        {mono16(tone), -1, 0.5, 0.5},
        {make_wav(1, 8, RATE, eight), -1, 0.5, 0.5},
        {make_wav(2, 16, RATE, stereo), -1, 0.5, 0.0},
        {mono16(tone), -600, 0.5 * 0.501187, 0.5 * 0.501187},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        wait_end(play(c.image, 0, c.volume));
        const std::vector<float> out = finish();
        const size_t start = loud_run(out).first + RATE / 20;
        for (int ch = 0; ch < 2; ++ch) {
            const double want = ch == 0 ? c.left : c.right, within = 0.012 * want + 1e-4;
            const Level got = measure(out, ch, start, RATE / 10);
            EXPECT_NEAR(got.peak, want, within) << "channel " << ch;
            EXPECT_NEAR(got.rms, want / std::sqrt(2.0), within) << "channel " << ch;
        }
    }
}

// What follows some 0.15 s into the play of a level, and the loud stretch that comes out: as
// long as the play before it plus what is heard after it, and its peak on each speaker.
TEST(OpenAlSound, RestartMixFreeAndShutdown) {
    const struct {
        const char* what;
        int32_t flags;
        void (*then)(int32_t sound);
        double after, peak;
    } cases[] = {
        {"played again: restarts, never twice at once", 0, [](int32_t s) { sound_play(s, 0, -1); },
         0.4, 0.25},
        {"another played: the two mix", 0, [](int32_t) { play(level()); }, 0.4, 0.5},
        {"freed: silent at once", 0, sound_free, 0.0, 0.25},
        {"shut down while looping: silent at once", SOUND_PLAY_LOOP,
         [](int32_t) { sound_shutdown(); }, 0.0, 0.25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int32_t s = play(level(), c.flags);
        const auto played = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(150ms);
        const std::chrono::duration<double> before = std::chrono::steady_clock::now() - played;
        c.then(s);
        std::this_thread::sleep_for(600ms);
        EXPECT_EQ(sound_playing(s), 0);
        const std::vector<float> out = finish();
        const Loud run = loud_run(out);
        EXPECT_NEAR(double(run.frames) / RATE, before.count() + c.after, 0.08);
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_NEAR(measure(out, ch, run.first, run.frames).peak, c.peak, 0.01);
    }
}

} // namespace

int main(int argc, char** argv) {
    // A configuration of this process's own, read at the first OpenAL call: the wave
    // backend writes the mix to a file instead of a sound card.
    char dir[] = "/tmp/toolkit-openal-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string conf = std::string(dir) + "/alsoft.conf";
    capture_path = std::string(dir) + "/capture.wav";
    std::ofstream(conf) << "[general]\ndrivers=wave\nsample-type=float32\n[wave]\nfile="
                        << capture_path << "\n";
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(dir);
    return result;
}
