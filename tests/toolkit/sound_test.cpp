// Sound on the platform's driver, recorded and measured: OpenAL Soft through its wave-file
// backend; DirectSound, under Wine, through ALSA's default device, a file (tests/shell).
#include "test_files.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <thread>

namespace {

std::string capture_path;
constexpr int RATE = 44100; // the sounds'
int heard = RATE;           // the recording's

using namespace std::chrono_literals;

// Ends the device, which completes the recording, and returns its samples, left and right
// interleaved: 16-bit stereo, as both ask, at the device's rate, which goes to `heard`.
std::vector<float> finish() {
    sound_shutdown();
    std::ifstream in(capture_path, std::ios::binary);
    const std::string b{std::istreambuf_iterator<char>(in), {}};
    const size_t data = b.find("data");
    if (b.size() < 28 || data == std::string::npos) return {};
    std::memcpy(&heard, &b[24], 4);
    std::vector<float> c;
    for (size_t at = data + 8; at + 2 <= b.size(); at += 2)
        c.push_back(float(int16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8)) / 32768.0f);
    return c;
}

// The frames from the first to the last one louder than 0.01 on either channel, and the starts
// of level()s heard: the left channel's rises through 0.175.
struct Loud {
    size_t first = 0, frames = 0;
    int starts = 0;
};
Loud loud_run(const std::vector<float>& c) {
    Loud r;
    for (size_t i = 0; i < c.size(); ++i) {
        if (std::fabs(c[i]) > 0.01f) {
            if (r.frames == 0) r.first = i / 2;
            r.frames = i / 2 - r.first + 1;
        }
        r.starts += i % 2 == 0 && i >= 2 && c[i - 2] < 0.175f && c[i] >= 0.175f;
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
        s[i] = amplitude * std::sin(2.0 * std::numbers::pi * hz * double(i / channels) / RATE);
    return s;
}
Bytes mono16(const std::vector<double>& s) {
    return make_wav(1, 16, RATE, pcm16(s));
}
// A level of 0.25 for 2 s after 20 ms of 0.1, which shows mixing, cutting and each start plainly.
Bytes level() {
    std::vector<double> s(RATE * 2, 0.25);
    std::fill_n(s.begin(), RATE / 50, 0.1);
    return mono16(s);
}

// Plays the image under a fresh handle, on the device opened first if need be.
int32_t play(const Bytes& image, int32_t flags = 0, int32_t volume = -1) {
    EXPECT_NE(sound_init(), 0) << "the sound device did not open";
    const int32_t s = int32_t(sound_load_wav_memory(AUTO_NUMBER, image.data()));
    EXPECT_EQ(sound_play(s, flags, volume), 1);
    return s;
}

// Each sound alone on a fresh device, measured over 0.1 s in its middle: a mono sound reaches
// both speakers at its own level (16-bit and 8-bit, full scale unlimited), stereo channels
// stay apart, and a volume takes hundredths of a decibel off.
TEST(Sound, SoundsPlayAtTheirOwnLevel) {
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
        const int32_t s = play(c.image, 0, c.volume);
        for (int i = 0; i < 100 && sound_playing(s); ++i) // a second at most
            std::this_thread::sleep_for(10ms);
        const std::vector<float> out = finish();
        const size_t start = loud_run(out).first + heard / 20;
        for (int ch = 0; ch < 2; ++ch) {
            const double want = ch == 0 ? c.left : c.right, within = 0.012 * want + 1e-4;
            const Level got = measure(out, ch, start, heard / 10);
            EXPECT_NEAR(got.peak, want, within) << "channel " << ch;
            EXPECT_NEAR(got.rms, want / std::sqrt(2.0), within) << "channel " << ch;
        }
    }
}

// What follows some 0.15 s into the play of a level, and the loud stretch that comes out: the
// starts heard, as long as the play before it plus what is heard after it, and its peak on each
// speaker (within what resampling adds at the steps).
TEST(Sound, RestartMixFreeAndShutdown) {
    const struct {
        const char* what;
        int32_t flags;
        void (*then)(int32_t sound);
        int starts;
        double after, peak;
    } cases[] = {
        {"played again: restarts, never twice at once", 0, [](int32_t s) { sound_play(s, 0, -1); },
         2, 2.0, 0.25},
        {"another played: the two mix", 0, [](int32_t) { play(level()); }, 1, 2.0, 0.5},
        {"freed: silent at once", 0, sound_free, 1, 0.0, 0.25},
        {"shut down while looping: silent at once", SOUND_PLAY_LOOP,
         [](int32_t) { sound_shutdown(); }, 1, 0.0, 0.25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int32_t s = play(level(), c.flags);
        const auto played = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(150ms);
        const std::chrono::duration<double> before = std::chrono::steady_clock::now() - played;
        c.then(s);
        std::this_thread::sleep_for(2200ms);
        EXPECT_EQ(sound_playing(s), 0);
        const std::vector<float> out = finish();
        const Loud run = loud_run(out);
        EXPECT_EQ(run.starts, c.starts);
#if !defined(_WIN32) // Wine's recording device, a file, takes the sound faster than it plays
        EXPECT_NEAR(double(run.frames) / heard, before.count() + c.after, 0.08);
#endif
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_NEAR(measure(out, ch, run.first, run.frames).peak, c.peak, 0.04);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string dir;
#if defined(_WIN32)
    // The runner's ALSA records to $WORK/sound.wav.
    capture_path =
        std::string("Z:") + (std::getenv("WORK") ? std::getenv("WORK") : "") + "/sound.wav";
#else
    // A configuration of this process's own, read at the first OpenAL call: the wave
    // backend writes the mix to a file instead of a sound card.
    char temp[] = "/tmp/toolkit-openal-XXXXXX";
    if (!mkdtemp(temp)) return 1;
    dir = temp;
    capture_path = dir + "/capture.wav";
    std::ofstream(dir + "/alsoft.conf")
        << "[general]\ndrivers=wave\nsample-type=int16\n[wave]\nfile=" << capture_path << "\n";
    setenv("ALSOFT_CONF", (dir + "/alsoft.conf").c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");
#endif
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!dir.empty()) std::filesystem::remove_all(dir);
    return result;
}
