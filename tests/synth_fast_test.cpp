// The fast renderer against the per-frame reference, byte for byte, with the AVX2 copies of
// the loops and again with the baseline ones, through the image and as a stream.  Also the
// premises the fast path rests on: the steady phase runs, the accuracy of the approximations
// and the rounding helpers.
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
    int32_t style, envelope; // envelope: bit 0 fades in, bit 1 out
};

// Renders the case from the same generator state with the reference loop, with each copy of
// the fast loops, through fill_tone and as a stream from the planned header, and compares the
// images (silent past the data: a pad byte, frames the header does not count), 64 bytes past
// the block that must stay as they are, and the generator state each leaves behind.  The
// header describes the block: its RIFF size, and whole frames within the block.
void expect_same(const Case& c, uint64_t seed = 7) {
    SCOPED_TRACE(testing::Message()
                 << "style " << c.style << ", " << c.rate << " Hz, " << 8 * c.bytes << " bit, "
                 << c.channels << " ch, f " << c.frequency << ", " << c.duration << " s, amp "
                 << c.amplitude << ", sweep " << c.sweep << ", envelope " << c.envelope);
    set_sound_format(c.rate, c.bytes, c.channels);
    const int32_t in = c.envelope & 1, out = c.envelope >> 1;
    ToneSetup setup;
    uint8_t header[44];
    size_t image_size = 0;
    ASSERT_TRUE(describe_tone(&setup, header, &image_size, c.frequency, c.duration, c.amplitude,
                              c.sweep, c.style, in, out));
    const size_t size = le_u32(header + 40);
    EXPECT_EQ(le_u32(header + 4) + 8, image_size);
    EXPECT_EQ(size % size_t(c.bytes * c.channels), 0u);
    ASSERT_LE(44 + size, image_size);
    const uint8_t silence = c.bytes == 1 ? 128 : 0;
    std::vector<uint8_t> blank(header, header + 44);
    blank.resize(image_size, silence);
    blank.resize(image_size + 64, 0xA5);
    std::vector<uint8_t> reference = blank;
    random_seed(seed);
    write_frames_reference(setup, &reference[44]);
    const RandomState after = random_process_state();
    const auto expect_equal = [&](const std::vector<uint8_t>& made, const char* how) {
        const auto differ =
            std::mismatch(made.begin(), made.end(), reference.begin(), reference.end());
        EXPECT_TRUE(made == reference)
            << how << ": " << made.size() << " bytes of " << reference.size()
            << ", first difference at byte " << differ.first - made.begin();
        EXPECT_EQ(std::memcmp(&after, &random_process_state(), sizeof after), 0) << how;
    };
    std::vector<uint8_t> made; // one buffer for every render
    for (FastVectors units : {FastVectors::baseline, FastVectors::avx2}) {
        if (set_fast_vectors(units) != units) continue; // no AVX2 here
        made = blank;
        random_seed(seed);
        write_frames(setup, &made[44]);
        expect_equal(made, units == FastVectors::avx2 ? "AVX2" : "baseline");
    }
    random_seed(seed);
    ASSERT_EQ(fill_tone(c.frequency, c.duration, c.amplitude, c.sweep, c.style, in, out),
              FillResult::filled);
    const uint8_t* image = prepare_wav_image(float(IMAGE_QUERY_ADDRESS));
    made.assign(image, image + wav_image_size());
    made.resize(made.size() + 64, 0xA5);
    expect_equal(made, "fill_tone");
    made.assign(header, header + 44);
    const auto append = [](void* to, const uint8_t* bytes, size_t n) {
        auto& out = *static_cast<std::vector<uint8_t>*>(to);
        out.insert(out.end(), bytes, bytes + n);
        return true;
    };
    random_seed(seed);
    EXPECT_TRUE(stream_frames(setup, append, &made));
    made.resize(made.size() + image_size - 44 - size, silence);
    made.resize(made.size() + 64, 0xA5);
    expect_equal(made, "stream");
    // A stream stops at the first write that fails, and says so.
    int32_t calls = 0;
    const auto fail_third = [](void* n, const uint8_t*, size_t) {
        return ++*static_cast<int32_t*>(n) < 3;
    };
    const bool whole = stream_frames(setup, fail_third, &calls);
    EXPECT_EQ(whole, calls < 3);
    EXPECT_LE(calls, 3);
}

// A small deterministic generator for picking test parameters.
struct Picker {
    uint64_t x;
    uint32_t next() {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(x >> 33);
    }
    // Slow (long runs per binade), near the top (a wrap every frame) or anywhere.
    float frequency(int32_t rate) {
        const uint32_t kind = next() % 4;
        return float(kind == 0   ? 20 + next() % 200
                     : kind == 1 ? rate / 2 - next() % 50
                                 : 20 + next() % (rate / 2));
    }
};

// Every style in every format, with and without sweep, with every envelope, at picked
// frequencies, amplitudes and generator seeds.
TEST(FastRenderer, EveryStyleFormatSweepAndEnvelopeMatchesTheReference) {
    Picker pick{12345};
    for (int32_t style = 0; style < TONE_STYLE_COUNT; ++style)
        for (int32_t rate : {5512, 11025, 22050, 44100})
            for (int32_t bytes = 1; bytes <= 2; ++bytes)
                for (int32_t channels = 1; channels <= 2; ++channels)
                    for (int32_t sweep = 0; sweep <= 1; ++sweep)
                        for (int32_t envelope = 0; envelope < 4; ++envelope) {
                            const float f = pick.frequency(rate);
                            const float end = sweep ? pick.frequency(rate) : 0.0f;
                            const int32_t amplitude = int32_t(pick.next() % 101);
                            expect_same(
                                {rate, bytes, channels, f, 1, amplitude, end, style, envelope},
                                pick.next());
                        }
    // Fractional durations in every format: the renderer's byte count and the prepared frame
    // count differ.
    for (int32_t rate : {5512, 11025, 22050, 44100})
        for (int32_t bytes = 1; bytes <= 2; ++bytes)
            for (int32_t channels = 1; channels <= 2; ++channels)
                for (float d : {0.13f, 0.77f, 2.3333f, 9.99f})
                    expect_same({rate, bytes, channels, 440, d, 50, 0, STYLE_SQUARE_WAVE, 0});
}

// Tones in every style: several seconds with tens of thousands of wraps (enough blocks for
// the threads); a quarter of the rate, whose step of exactly pi/2 lands the phase on pi itself
// (SquareWave's 0, Triangle's peak), steady and with a sweep to the start frequency (on but
// steady: the sweep's ring of blocks with a constant step); every amplitude (it changes the
// peak, Pink Synth's logarithm, Absolute Sine's level); sweeps up and down the whole range;
// very short and fractional durations, an odd frame count at 8 bits; sweeps whose frame
// counts lie around whole blocks and whole turns of the ring, at both widths.
TEST(FastRenderer, ChosenTonesInEveryStyleMatchTheReference) {
    std::vector<Case> cases;
    for (float f : {20.0f, 315.0f, 1000.0f, 4410.5f, 11025.0f, 22049.0f})
        cases.push_back({44100, 2, 2, f, 4, 100, 0, 0, 0});
    for (float sweep : {0.0f, 11025.0f}) {
        cases.push_back({44100, 2, 2, 11025, 2, 100, sweep, 0, 0});
        cases.push_back({44100, 2, 1, 11025, 2, 100, sweep, 0, 3});
    }
    for (int32_t amplitude = 0; amplitude <= 100; amplitude += 7)
        cases.push_back({22050, 2, 1, 440, 0.5f, amplitude, 0, 0, 1});
    cases.push_back({44100, 2, 1, 20, 6, 80, 22049, 0, 3});
    cases.push_back({44100, 1, 2, 20000, 6, 100, 30, 0, 2});
    for (float duration : {0.0f, 0.1f, 0.137f, 1.0f, 2.71f})
        cases.push_back({11025, 1, 1, 333, duration, 60, 500, 0, 3});
    for (float duration : {0.74f, 0.75f, 1.5f, 3.0f})
        cases.push_back({44100, 1 + int32_t(duration > 1), 2, 315, duration, 100, 4000, 0, 2});
    for (Case c : cases)
        for (c.style = 0; c.style < TONE_STYLE_COUNT; ++c.style)
            expect_same(c);
}

// The longest duration in the largest format.
TEST(FastRenderer, LargestToneMatchesTheReference) {
    expect_same({44100, 2, 2, 315, 512, 100, 0, STYLE_SINE, 0});
    expect_same({44100, 2, 2, 440, 512, 100, 0, STYLE_WHITE_NOISE, 0});
}

// Steady runs, stored or skipped, follow the serial chain bit for bit, for steps of every
// kind: exactly half-way between spacings in some binade (ties to even), one spacing, random
// reals, near pi.
TEST(FastPhase, SteadyRunsEqualTheSerialChain) {
    std::vector<float> steps = {std::nextafter(PI_F, 0.0f), 2.0f * PI_F / 3.0f};
    for (int k = 19; k <= 30; ++k)
        for (int m : {1, 3, 5, 7, 1001, 4097})
            steps.push_back(std::ldexp(float(m), -k));
    Picker pick{777};
    for (int k = 0; k < 60; ++k)
        steps.push_back(float(pick.next()) / 4294967296.0f * PI_F);
    std::vector<float> fast(20000);
    for (float dphi : steps)
        for (float start : {0.0f, HALF_PI_F, PI_F, 1e-6f, TWO_PI_F}) {
            const SteadyPhase steady(dphi);
            float phase = start, skipped = start, serial = start;
            steady.advance(phase, fast.data(), int64_t(fast.size()));
            steady.advance(skipped, nullptr, int64_t(fast.size()));
            for (size_t i = 0; i < fast.size(); ++i) {
                ASSERT_EQ(std::bit_cast<uint32_t>(fast[i]), std::bit_cast<uint32_t>(serial))
                    << "step " << dphi << " start " << start << " frame " << i;
                serial = phase_step(serial, dphi);
            }
            EXPECT_EQ(phase, serial);
            EXPECT_EQ(skipped, serial);
        }
}

constexpr double PI32 = double(PI_F);

// The fallback tolerances assume errors of a few 1e-16 from the correctly rounded values: the
// approximations show a margin of 100 or more over their ranges.  The single-precision sine
// keeps the bound its callers assume, at every 61st float from 0 to 2 pi (the whole range was
// checked once).
TEST(FastMath, ApproximationsStayWellInsideTheTolerances) {
    const auto worst = [](auto approximation, auto correct, double low, double high) {
        double most = 0;
        for (int i = 0; i <= 400000; ++i) {
            const double x = low + (high - low) * i / 400000.0;
            most = std::max(most, std::fabs(approximation(x) - correct(x)));
        }
        return most;
    };
    EXPECT_LT(worst(fast::sin, exact::sin, 0, 13), 1e-15);
    EXPECT_LT(worst(fast::cos, exact::cos, -6.5, 6.5), 1e-15);
    EXPECT_LT(worst(fast::cos_unit, exact::cos, -1, 1), 1e-15);
    const auto log = [](double c) { return std::log(c); };
    const auto pow_3 = [](double c) { return fast::pow_3(c, PI32); };
    const auto pow = [](double c) { return std::pow(c, PI32); };
    EXPECT_LT(worst(fast::log, log, 0.5, 1), 1e-15);
    EXPECT_LT(worst(pow_3, pow, 0.5, 1), 1e-15);
    EXPECT_LT(worst(fast::acos, exact::acos, 0, 1), 1e-15);
    double worst_sin_f = 0;
    for (uint32_t bits = 0; bits <= std::bit_cast<uint32_t>(TWO_PI_F); bits += 61) {
        const float x = std::bit_cast<float>(bits);
        worst_sin_f = std::max(worst_sin_f, std::fabs(fast::sin_f(x) - std::sin(double(x))));
    }
    EXPECT_LE(worst_sin_f, fast::SIN_F_ERROR);
}

// q16 and q32 round ties to even, and give the most negative value for NaN or out of range.
// The firmness tests catch values near a boundary, and the bit test agrees with narrowing
// every double within the tolerance.
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
    Picker pick{4242};
    int unsure = 0;
    for (int k = 0; k < 20000; ++k) {
        double x = std::ldexp(1.0 + pick.next() / 4294967296.0, int(pick.next() % 8) - 6);
        if (k % 4 == 0) { // half-way between two floats, give or take up to 80 ulps
            const int e = std::ilogb(float(x));
            x = double(float(x)) + std::ldexp(1.0, e - 24) +
                std::ldexp(double(int(pick.next() % 161) - 80), e - 52);
        }
        // Narrowing is monotonic: the doubles 64 ulps either side bound those between.
        const uint64_t bits = std::bit_cast<uint64_t>(x);
        const bool same = float(std::bit_cast<double>(bits - 64)) == float(x) &&
                          float(std::bit_cast<double>(bits + 64)) == float(x);
        const bool firm = fast::narrows_firmly_ulps(x, 64);
        EXPECT_TRUE(same || !firm) << x;
        unsure += !firm;
    }
    EXPECT_GT(unsure, 100); // the near half-way values are caught
    // Unsure exactly within 64 ulps of the half-way point between 1 and the next float.
    for (int k : {-64, 0, 1, 64})
        EXPECT_FALSE(fast::narrows_firmly_ulps(0x1.000001p0 + k * 0x1p-52, 64)) << k;
    for (int k : {-65, 65, 1 << 28})
        EXPECT_TRUE(fast::narrows_firmly_ulps(0x1.000001p0 + k * 0x1p-52, 64)) << k;
    EXPECT_FALSE(fast::rounds_firmly(10.5, 1e-7));
    EXPECT_TRUE(fast::rounds_firmly(10.4999, 1e-7));
    EXPECT_FALSE(fast::narrows_firmly(1.0 + std::ldexp(1.0, -24), 1e-13));
    EXPECT_TRUE(fast::narrows_firmly(1.0 + std::ldexp(1.0, -23), 1e-13));
}
} // namespace
