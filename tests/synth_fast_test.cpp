// The fast renderer against the per-frame reference, byte for byte: every style in every
// format, with and without sweep, every envelope; long tones with many phase wraps; the
// largest tone; the noise generator's sequence and final state.  Also the premises the fast
// path rests on: the steady phase runs and the accuracy of the approximations.  Every fast
// render is done with the AVX2 copies of the loops and again with the baseline ones.
#include "synth/exact_math.h"
#include "synth/fast_clones.h"
#include "synth/fast_math.h"
#include "synth/fast_phase.h"
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/random_state.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace {
struct Case {
    int32_t rate, bytes, channels;
    float frequency, duration;
    int32_t amplitude;
    float sweep;
    int32_t style, fade_in, fade_out;
};

std::string describe(const Case& c) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "style %d, %d Hz, %d bit, %d ch, f %g, %g s, amp %d, sweep %g, fades %d%d",
                  c.style, c.rate, 8 * c.bytes, c.channels, c.frequency, c.duration, c.amplitude,
                  c.sweep, c.fade_in, c.fade_out);
    return text;
}

bool same_state(const RandomState& a, const RandomState& b) {
    return std::memcmp(a.s, b.s, sizeof a.s) == 0;
}

// The copies of the fast loops this processor can run: the baseline, and AVX2 where present
// (asked within a test, so that listing the tests prints nothing else).
const std::vector<FastVectors>& vector_units() {
    static const std::vector<FastVectors> units = [] {
        std::vector<FastVectors> found = {FastVectors::baseline};
        if (set_fast_vectors(FastVectors::avx2) == FastVectors::avx2)
            found.push_back(FastVectors::avx2);
        else
            std::printf("note: no AVX2 here, only the baseline copies are compared\n");
        return found;
    }();
    return units;
}

// Renders the case with the reference loop, with each copy of the fast path into an image and
// as a stream (whose plan must give the image's header and size), all from the same generator
// state, and compares the data and the state each leaves behind.
void expect_same(const Case& c, uint64_t seed = 7) {
    set_sound_format(c.rate, c.bytes, c.channels);
    ToneSetup setup, planned;
    const uint8_t* image = tone_setup(&setup, c.frequency, c.duration, c.amplitude, c.sweep,
                                      c.style, c.fade_in, c.fade_out);
    ASSERT_NE(image, nullptr);
    uint8_t header[44];
    size_t image_size = 0;
    ASSERT_TRUE(tone_plan(&planned, header, &image_size, c.frequency, c.duration, c.amplitude,
                          c.sweep, c.style, c.fade_in, c.fade_out));
    EXPECT_EQ(std::memcmp(header, image, 44), 0) << describe(c);
    EXPECT_EQ(image_size, wav_image_size()) << describe(c);
    const size_t size = size_t(setup.frames * setup.block_align);
    std::vector<uint8_t> reference(size);
    random_seed(seed);
    write_frames_reference(setup, reference.data());
    const RandomState after_reference = random_process_state();
    const auto expect_equal = [&](const std::vector<uint8_t>& made, const RandomState& after,
                                  const char* how) {
        size_t first = 0;
        while (first < size && first < made.size() && reference[first] == made[first])
            ++first;
        EXPECT_EQ(first, size) << describe(c) << ", " << how << ": first difference at frame "
                               << first / size_t(setup.block_align) << " of " << setup.frames;
        EXPECT_EQ(made.size(), size) << describe(c) << ", " << how;
        EXPECT_TRUE(same_state(after_reference, after)) << describe(c) << ", " << how;
    };

    for (FastVectors units : vector_units()) {
        ASSERT_EQ(set_fast_vectors(units), units);
        // Bytes past the data must stay as they are.
        std::vector<uint8_t> fast(size + 64, 0xA5);
        random_seed(seed);
        write_frames(setup, fast.data());
        EXPECT_EQ(std::count(fast.begin() + ptrdiff_t(size), fast.end(), 0xA5), 64)
            << describe(c) << ": written past the data";
        fast.resize(size);
        expect_equal(fast, random_process_state(),
                     units == FastVectors::avx2 ? "AVX2" : "baseline");
    }
    set_fast_vectors(FastVectors::avx2);
    std::vector<uint8_t> streamed;
    random_seed(seed);
    const auto append = [](void* to, const uint8_t* bytes, size_t n) {
        auto& out = *static_cast<std::vector<uint8_t>*>(to);
        out.insert(out.end(), bytes, bytes + n);
        return true;
    };
    EXPECT_TRUE(stream_frames(planned, append, &streamed));
    expect_equal(streamed, random_process_state(), "stream");
}

// A small deterministic generator for picking test parameters.
struct Picker {
    uint64_t x;
    uint32_t next() {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(x >> 33);
    }
    float frequency(int32_t rate) {
        switch (next() % 4) {
        case 0:
            return float(20 + next() % 200); // slow: long runs per binade
        case 1:
            return float(rate / 2 - next() % 50); // near the top: a wrap every frame
        default:
            return float(20 + next() % (rate / 2)); // anywhere
        }
    }
};

constexpr int32_t RATES[] = {5512, 11025, 22050, 44100};

TEST(FastRenderer, EveryStyleFormatSweepAndEnvelopeMatchesTheReference) {
    Picker pick{12345};
    for (int32_t style = 0; style < TONE_STYLE_COUNT; ++style)
        for (int32_t rate : RATES)
            for (int32_t bytes = 1; bytes <= 2; ++bytes)
                for (int32_t channels = 1; channels <= 2; ++channels)
                    for (int32_t sweep = 0; sweep <= 1; ++sweep)
                        for (int32_t envelope = 0; envelope < 4; ++envelope) {
                            const float f = pick.frequency(rate);
                            const float end = sweep ? pick.frequency(rate) : 0.0f;
                            const int32_t amplitude = int32_t(pick.next() % 101);
                            expect_same({rate, bytes, channels, f, 1.0f, amplitude, end, style,
                                         envelope & 1, envelope >> 1},
                                        pick.next());
                        }
}

TEST(FastRenderer, LongTonesWithManyWrapsMatchTheReference) {
    // Several seconds at 44100 Hz: enough blocks for the threads, tens of thousands of wraps.
    const float frequencies[] = {20, 315, 1000, 4410.5f, 11025, 22049};
    for (int32_t style = 0; style < TONE_STYLE_COUNT; ++style)
        for (float f : frequencies) {
            expect_same({44100, 2, 2, f, 4, 100, 0, style, 0, 0});
        }
    // Sweeps up and down over the whole range, with both fades.
    for (int32_t style = 0; style < TONE_STYLE_COUNT; ++style) {
        expect_same({44100, 2, 1, 20, 6, 80, 22049, style, 1, 1});
        expect_same({44100, 1, 2, 20000, 6, 100, 30, style, 0, 1});
    }
}

TEST(FastRenderer, AmplitudesAndOddDurationsMatchTheReference) {
    // Every amplitude changes the peak (and Pink Synth's logarithm, Absolute Sine's level).
    for (int32_t style = 0; style < TONE_STYLE_COUNT; ++style)
        for (int32_t amplitude = 0; amplitude <= 100; amplitude += 7)
            expect_same({22050, 2, 1, 440, 0.5f, amplitude, 0, style, 1, 0});
    // Very short and fractional durations, an odd frame count at 8 bits.
    for (float duration : {0.0f, 0.1f, 0.137f, 1.0f, 2.71f})
        for (int32_t style : {STYLE_SINE, STYLE_WHITE_NOISE, STYLE_PINK_SYNTH})
            expect_same({11025, 1, 1, 333, duration, 60, 500, style, 1, 1});
}

TEST(FastRenderer, LargestToneMatchesTheReference) {
    expect_same({44100, 2, 2, 315, 512, 100, 0, STYLE_SINE, 0, 0});
    expect_same({44100, 2, 2, 440, 512, 100, 0, STYLE_WHITE_NOISE, 0, 0});
}

TEST(FastRenderer, AStreamStopsAtTheFirstFailedWrite) {
    set_sound_format(44100, 2, 2);
    for (const float sweep : {0.0f, 4000.0f})
        for (const int32_t style : {STYLE_SINE, STYLE_WHITE_NOISE}) {
            ToneSetup t;
            uint8_t header[44];
            size_t size = 0;
            ASSERT_TRUE(tone_plan(&t, header, &size, 315, 60, 100, sweep, style, 0, 0));
            int32_t calls = 0;
            const auto fail_third = [](void* n, const uint8_t*, size_t) {
                return ++*static_cast<int32_t*>(n) < 3;
            };
            EXPECT_FALSE(stream_frames(t, fail_third, &calls));
            EXPECT_EQ(calls, 3);
        }
}

TEST(FastRenderer, PhasesExactlyAtPiAndSteadySweepsMatchTheReference) {
    // A quarter of the rate steps by exactly pi/2: the phase lands on pi itself, where
    // SquareWave is 0 and Triangle at its peak.  A sweep to the start frequency is on but
    // steady, which takes the sweep's ring of blocks with a constant step.
    for (int32_t style = 0; style < TONE_STYLE_COUNT; ++style)
        for (float sweep : {0.0f, 11025.0f}) {
            expect_same({44100, 2, 2, 11025, 2, 100, sweep, style, 0, 0});
            expect_same({44100, 2, 1, 11025, 2, 100, sweep, style, 1, 1});
        }
    set_sound_format(44100, 2, 1);
    ToneSetup setup;
    ASSERT_NE(tone_setup(&setup, 11025, 2, 100, 11025, STYLE_SQUARE_WAVE, 0, 0), nullptr);
    ASSERT_EQ(setup.dphi, HALF_PI_F);
    std::vector<int16_t> samples(size_t(setup.frames));
    write_frames(setup, reinterpret_cast<uint8_t*>(samples.data()));
    EXPECT_EQ(samples[0], 32767);
    EXPECT_EQ(samples[2], 0);
    EXPECT_EQ(samples[3], -32767);
}

TEST(FastRenderer, SweepsOfEveryLengthMatchTheReference) {
    // Frame counts around whole blocks and whole turns of the ring, at every width.
    for (float duration : {0.74f, 0.75f, 1.5f, 3.0f})
        for (int32_t style : {STYLE_SAW, STYLE_SQUARE_WAVE, STYLE_TRIANGLE, STYLE_WHITE_NOISE})
            expect_same(
                {44100, 1 + int32_t(duration > 1), 2, 315, duration, 100, 4000, style, 0, 1});
}

TEST(FastRenderer, NoiseKeepsTheGeneratorSequence) {
    // The samples are a fixed function of the draws: the first ones follow from random_below.
    set_sound_format(44100, 2, 1);
    ToneSetup setup;
    ASSERT_NE(tone_setup(&setup, 440, 1, 100, 0, STYLE_WHITE_NOISE, 0, 0), nullptr);
    std::vector<uint8_t> data(size_t(setup.frames) * 2);
    random_seed(99);
    write_frames(setup, data.data());
    const int32_t next_after = random_below(NOISE_RANGE_MAX);
    random_seed(99);
    for (int64_t i = 0; i < setup.frames; ++i) {
        const int32_t r = random_below(NOISE_RANGE_MAX);
        const double x = double(setup.peak) * ((double(r) + 1.0) / 1073741824.0 - 1.0);
        int16_t s;
        std::memcpy(&s, &data[size_t(i) * 2], 2);
        ASSERT_EQ(s, int16_t(std::nearbyint(x))) << "frame " << i;
    }
    EXPECT_EQ(random_below(NOISE_RANGE_MAX), next_after);
}

TEST(FastPhase, SteadyRunsEqualTheSerialChain) {
    // Steps of every kind: exactly half-way between spacings in some binade (ties to even),
    // one spacing, random reals, near pi.
    std::vector<float> steps;
    for (int k = 19; k <= 30; ++k)
        for (int m : {1, 3, 5, 7, 1001, 4097})
            steps.push_back(std::ldexp(float(m), -k));
    Picker pick{777};
    for (int k = 0; k < 60; ++k)
        steps.push_back(float(pick.next()) / 4294967296.0f * PI_F);
    steps.push_back(std::nextafter(PI_F, 0.0f));
    steps.push_back(2.0f * PI_F / 3.0f);
    const float starts[] = {0.0f, HALF_PI_F, PI_F, 1e-6f, TWO_PI_F};
    std::vector<float> fast(20000);
    for (float dphi : steps)
        for (float start : starts) {
            const SteadyPhase steady(dphi);
            float phase = start;
            steady.advance(phase, fast.data(), int64_t(fast.size()));
            float serial = start;
            for (size_t i = 0; i < fast.size(); ++i) {
                ASSERT_EQ(std::bit_cast<uint32_t>(fast[i]), std::bit_cast<uint32_t>(serial))
                    << "step " << dphi << " start " << start << " frame " << i;
                serial = phase_step(serial, dphi);
            }
            EXPECT_EQ(phase, serial);
            // Skipping without storing lands on the same phase.
            float skipped = start;
            steady.advance(skipped, nullptr, int64_t(fast.size()));
            EXPECT_EQ(skipped, serial);
        }
}

TEST(FastMath, ApproximationsStayWellInsideTheTolerances) {
    // The fallback tolerances assume errors of a few 1e-16 from the correctly rounded values;
    // show a margin of 100 or more.
    double worst_sin = 0, worst_cos = 0, worst_log = 0, worst_pow = 0, worst_acos = 0;
    for (int i = 0; i <= 400000; ++i) {
        const double x = 13.0 * i / 400000.0;
        worst_sin = std::max(worst_sin, std::fabs(fast::sin(x) - exact::sin(x)));
        worst_cos = std::max(worst_cos, std::fabs(fast::cos(x - 6.5) - exact::cos(x - 6.5)));
        const double u = -1.0 + 2.0 * i / 400000.0;
        worst_cos = std::max(worst_cos, std::fabs(fast::cos_unit(u) - exact::cos(u)));
        const double c = 0.5 + 0.5 * i / 400000.0;
        worst_log = std::max(worst_log, std::fabs(fast::log(c) - std::log(c)));
        worst_pow = std::max(worst_pow,
                             std::fabs(fast::pow_3(c, double(PI_F)) - std::pow(c, double(PI_F))));
        const double r = i / 400000.0;
        worst_acos = std::max(worst_acos, std::fabs(fast::acos(r) - exact::acos(r)));
    }
    EXPECT_LT(worst_sin, 1e-15);
    EXPECT_LT(worst_cos, 1e-15);
    EXPECT_LT(worst_log, 1e-15);
    EXPECT_LT(worst_pow, 1e-15);
    EXPECT_LT(worst_acos, 1e-15);
    // The single-precision sine keeps the bound its callers assume, at every 61st float of its
    // range (the whole range was checked once).
    double worst_sin_f = 0;
    for (uint32_t bits = 0; bits <= std::bit_cast<uint32_t>(TWO_PI_F); bits += 61) {
        const float x = std::bit_cast<float>(bits);
        worst_sin_f = std::max(worst_sin_f, std::fabs(fast::sin_f(x) - std::sin(double(x))));
    }
    EXPECT_LE(worst_sin_f, fast::SIN_F_ERROR);
}

TEST(FastMath, RoundingHelpersFollowTiesToEvenAndTheRangeRules) {
    EXPECT_EQ(fast::q16(2.5), 2);
    EXPECT_EQ(fast::q16(-2.5), -2);
    EXPECT_EQ(fast::q16(3.5), 4);
    EXPECT_EQ(fast::q16(32767.4), 32767);
    EXPECT_EQ(fast::q16(32767.5), -32768);
    EXPECT_EQ(fast::q16(-32768.5), -32768);
    EXPECT_EQ(fast::q16(std::nan("")), -32768);
    EXPECT_EQ(fast::q32(2147483647.49), 2147483647);
    EXPECT_EQ(fast::q32(2147483647.5), INT32_MIN);
    EXPECT_EQ(fast::q32(-std::sqrt(-1.0)), INT32_MIN);
    EXPECT_EQ(fast::q32(1e300), INT32_MIN);
    // The bit test agrees with narrowing every double within the tolerance.
    Picker pick{4242};
    int unsure = 0;
    for (int k = 0; k < 20000; ++k) {
        double x = std::ldexp(1.0 + pick.next() / 4294967296.0, int(pick.next() % 8) - 6);
        if (k % 4 == 0) { // half-way between two floats, give or take up to 80 ulps
            const int e = std::ilogb(float(x));
            x = double(float(x)) + std::ldexp(1.0, e - 24) +
                std::ldexp(double(int(pick.next() % 161) - 80), e - 52);
        }
        const bool firm = fast::narrows_firmly_ulps(x, 64);
        bool same = true;
        double below = x, above = x;
        for (int u = 0; u < 64; ++u) {
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, 10.0);
            same = same && float(below) == float(x) && float(above) == float(x);
        }
        if (firm) {
            EXPECT_TRUE(same) << x;
        } else {
            ++unsure;
        }
    }
    EXPECT_GT(unsure, 100); // the near half-way values are caught
    EXPECT_FALSE(fast::narrows_firmly_ulps(1.0 + std::ldexp(1.0, -24), 64));
    EXPECT_FALSE(fast::narrows_firmly_ulps(1.0 + std::ldexp(1.0, -24) + std::ldexp(1.0, -52), 64));
    EXPECT_TRUE(fast::narrows_firmly_ulps(1.0 + std::ldexp(1.0, -23), 64));
    EXPECT_FALSE(fast::rounds_firmly(10.5, 1e-7));
    EXPECT_TRUE(fast::rounds_firmly(10.4999, 1e-7));
    EXPECT_FALSE(fast::narrows_firmly(1.0 + std::ldexp(1.0, -24), 1e-13));
    EXPECT_TRUE(fast::narrows_firmly(1.0 + std::ldexp(1.0, -23), 1e-13));
}
} // namespace
