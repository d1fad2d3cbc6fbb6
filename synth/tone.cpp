#include "synth/tone.h"

#include "synth/conversions.h"
#include "synth/exact_math.h"
#include "synth/wav_image.h"
#include "toolkit/toolkit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

const char* const TONE_STYLE_NAMES[TONE_STYLE_COUNT] = {
    "Sine",        "Saw",        "Absolute Sine",   "SquareWave",
    "Triangle",    "Pink Synth", "Absolute Square", "White Noise",
    "Inverse Sine"};

namespace {
// Frequencies at or above half the rate drop to one hertz below it; below the floor rise to it.
float clamp_frequency(float frequency, int32_t rate) {
    const double nyquist = double(rate) / 2.0;
    if (double(frequency) >= nyquist) return float(nyquist - 1.0);
    if (frequency < MIN_TONE_FREQUENCY) return MIN_TONE_FREQUENCY;
    return frequency;
}

// A whole number of cycles over the duration.
float fit_cycles(float frequency, float duration) {
    return float(round_half_away(double(frequency) * double(duration)) / double(duration));
}
} // namespace

namespace {
// Works the tone out from the header of its image (its format fields set), whose
// block is block_size bytes, and writes the data size into the header.
void work_out_tone(ToneSetup& t, uint8_t* image, size_t block_size, float frequency, float duration,
                   int32_t amplitude, float sweep, int32_t style, int32_t fade_in,
                   int32_t fade_out) {
    t.style = style;
    t.channels = le_i16(image + WAV_CHANNELS_OFFSET);
    t.rate = int32_t(le_u32(image + WAV_RATE_OFFSET));
    t.bytes_per_sample = le_i16(image + WAV_BITS_OFFSET) / 8;
    t.block_align = t.channels * t.bytes_per_sample;
    t.sweep = sweep != 0.0f;

    frequency = clamp_frequency(frequency, t.rate);
    t.frequency = fit_cycles(frequency, duration);
    amplitude = std::clamp(amplitude, 0, 100);
    t.envelope = (fade_in != 0 ? 1 : 0) + (fade_out != 0 ? 2 : 0);
    if (t.sweep) {
        float end = clamp_frequency(sweep, t.rate);
        float mean = float((double(t.frequency) + double(end)) / 2.0);
        mean = fit_cycles(mean, duration);
        end = float(2.0 * double(mean) - double(t.frequency));
        t.span = float(double(end) - double(t.frequency));
    }

    // The data size, made even.  For fractional durations the product can exceed the frame
    // count the image was prepared with, or end inside a frame: the size written is never
    // more than the block holds after the header, and always whole frames.  Whole-second
    // durations are untouched by either rule.
    const int64_t area = int64_t(block_size) - int64_t(WAV_HEADER_SIZE);
    const double product = double(duration) * t.rate * t.bytes_per_sample * t.channels;
    int64_t data = std::isfinite(product) ? int64_t(std::nearbyint(product)) : area;
    if (data & 1) ++data;
    data = std::clamp<int64_t>(data, 0, area);
    t.data_size = data - data % t.block_align;
    le_write_u32(image + WAV_DATA_SIZE_OFFSET, uint32_t(t.data_size));

    t.dphi = phase_increment(t.frequency, t.rate);
    t.phase = 0.0f;
    t.frames = t.data_size / t.block_align;
    if (t.sweep) t.df = float(double(t.span) / double(t.frames));
    const double full_scale = std::ldexp(1.0, 8 * t.bytes_per_sample) / 2.0 - 1.0;
    t.peak = float(full_scale * amplitude / 100.0);

    switch (style) {
    case STYLE_PINK_SYNTH: {
        const float alpha = float(exact::acos(double(float(1.0 / std::sqrt(3.0)))));
        t.peak =
            float(double(t.peak) / (exact::sin(double(alpha)) * exact::sin(2.0 * double(alpha))));
        t.phase = HALF_PI_F;
        t.pink_log10_peak = float(exact::log10(double(t.peak)));
        break;
    }
    case STYLE_ABSOLUTE_SQUARE:
        t.peak = float(double(t.peak) / 2.25);
        break;
    case STYLE_TRIANGLE:
        t.phase = HALF_PI_F;
        break;
    case STYLE_SAW:
        t.phase = PI_F;
        break;
    case STYLE_ABSOLUTE_SINE:
        t.phase = PI_F;
        t.abs_sine_level = exact::sin(double(t.peak) + PI_D);
        break;
    default:
        break;
    }
}
} // namespace

uint8_t* prepare_tone(ToneSetup* setup, float frequency, float duration, int32_t amplitude,
                      float sweep, int32_t style, int32_t fade_in, int32_t fade_out) {
    *setup = ToneSetup{};
    duration = image_duration(duration);
    prepare_wav_image(duration);
    uint8_t* image = prepare_wav_image(float(IMAGE_QUERY_ADDRESS));
    if (!image) return nullptr;
    work_out_tone(*setup, image, wav_image_size(), frequency, duration, amplitude, sweep, style,
                  fade_in, fade_out);
    return image;
}

bool describe_tone(ToneSetup* setup, uint8_t* header, size_t* image_size, float frequency,
                   float duration, int32_t amplitude, float sweep, int32_t style, int32_t fade_in,
                   int32_t fade_out) {
    *setup = ToneSetup{};
    duration = image_duration(duration);
    if (!measure_wav_image(duration, image_size)) return false;
    std::memcpy(header, wav_header_template(), WAV_HEADER_SIZE);
    le_write_u32(header + WAV_DATA_SIZE_OFFSET, 0);
    work_out_tone(*setup, header, *image_size, frequency, duration, amplitude, sweep, style,
                  fade_in, fade_out);
    return true;
}

FillResult fill_tone(float frequency, float duration, int32_t amplitude, float sweep, int32_t style,
                     int32_t fade_in, int32_t fade_out) {
    ToneSetup setup;
    uint8_t* image =
        prepare_tone(&setup, frequency, duration, amplitude, sweep, style, fade_in, fade_out);
    if (!image) return FillResult::no_image;
    if (style < 0 || style >= TONE_STYLE_COUNT) return FillResult::no_style;
    write_frames(setup, image + WAV_HEADER_SIZE);
    return FillResult::filled;
}

int32_t render_tone(int32_t sound_id, float frequency, float duration, int32_t amplitude,
                    float sweep, int32_t style, int32_t fade_in, int32_t fade_out) {
    if (fill_tone(frequency, duration, amplitude, sweep, style, fade_in, fade_out) !=
        FillResult::filled)
        return 0;
    return int32_t(sound_load_wav_memory(sound_id, prepare_wav_image(float(IMAGE_QUERY_ADDRESS))));
}
