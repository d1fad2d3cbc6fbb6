// The tone renderer: nine waveform styles of a running 32-bit phase, with sweep and fades,
// written into the WAV image.
#pragma once

#include <cstddef>
#include <cstdint>

enum ToneStyle : int32_t {
    STYLE_SINE = 0,
    STYLE_SAW = 1,
    STYLE_ABSOLUTE_SINE = 2,
    STYLE_SQUARE_WAVE = 3,
    STYLE_TRIANGLE = 4,
    STYLE_PINK_SYNTH = 5,
    STYLE_ABSOLUTE_SQUARE = 6,
    STYLE_WHITE_NOISE = 7,
    STYLE_INVERSE_SINE = 8,
};
constexpr int32_t TONE_STYLE_COUNT = 9;

// The names of the styles, in the order of the style list.
extern const char* const TONE_STYLE_NAMES[TONE_STYLE_COUNT];

constexpr float MIN_TONE_FREQUENCY = 20.0f;
constexpr float PI_F = 3.1415927410125732f;
constexpr float TWO_PI_F = 6.2831854820251465f;
constexpr float HALF_PI_F = 1.5707963705062866f;
constexpr double PI_D = 3.141592653589793;
constexpr int32_t NOISE_RANGE_MAX = 2147483645;

// One frame's phase step: the float sum (the double sum of two such floats is exact, so its
// rounding to float is the float sum), less 2 pi once past 2 pi (exact too).
inline float phase_step(float phase, float dphi) {
    float next = phase + dphi;
    if (next > TWO_PI_F) next = next - TWO_PI_F;
    return next;
}

// The phase increment of a frame at the given frequency.
inline float phase_increment(float frequency, double rate) {
    return float(double(frequency) / rate * double(TWO_PI_F));
}

// Everything the per-frame loop needs, worked out once from the parameters and the image
// header.  32-bit quantities stay floats: their rounding is part of the waveform.
struct ToneSetup {
    int32_t style;
    int32_t rate;
    int32_t channels;
    int32_t bytes_per_sample;
    int32_t block_align; // bytes per frame
    int64_t data_size;   // as written at offset 40
    int64_t frames;      // data_size / block_align
    bool sweep;
    int32_t envelope; // bit 0 fade in, bit 1 fade out
    float frequency;  // after clamping and cycle fitting
    float span;       // the sweep's end frequency less the start
    float df;         // frequency step per frame
    float dphi;       // phase step of the first frame
    float phase;      // start phase
    float peak;       // after the style's own adjustment
    // Style constants.
    float pink_log10_peak; // log10 peak as a 32-bit real (Pink Synth)
    double abs_sine_level; // sin(peak + pi) (Absolute Sine)
};

enum class FillResult { no_image, no_style, filled };

// Prepares a fresh image for the tone in the current sound format and writes its frames.
// The image stays with the WAV image owner; wav_image_size() tells how large it is.
FillResult fill_tone(float frequency, float duration, int32_t amplitude, float sweep, int32_t style,
                     int32_t fade_in, int32_t fade_out);

// fill_tone, then the hand-over of the image to the sound service; returns the sound made
// (a handle for AUTO_NUMBER), 0 when none was.
int32_t render_tone(int32_t sound_id, float frequency, float duration, int32_t amplitude,
                    float sweep, int32_t style, int32_t fade_in, int32_t fade_out);

// The pieces of fill_tone, for tests and benchmarks.  tone_setup prepares the image and
// returns it (nullptr when none could be allocated), having filled *setup and written the
// data size.
uint8_t* prepare_tone(ToneSetup* setup, float frequency, float duration, int32_t amplitude,
                      float sweep, int32_t style, int32_t fade_in, int32_t fade_out);
// The same work for a tone that is written out as it is made rather than held: works out *setup
// and the 44-byte header (data size included) for an image of *image_size bytes in the current
// sound format, without making the image; false when no such image can be described.
bool describe_tone(ToneSetup* setup, uint8_t* header, size_t* image_size, float frequency,
                   float duration, int32_t amplitude, float sweep, int32_t style, int32_t fade_in,
                   int32_t fade_out);
// The straightforward loop, one frame after the other: the definition of every sample.
void write_frames_reference(const ToneSetup& setup, uint8_t* data);
// The same bytes, as fast as the machine allows.
void write_frames(const ToneSetup& setup, uint8_t* data);
// At most this many threads for write_frames and stream_frames from now on; 0 (the start):
// as many as are worth it.  For benchmarks and tests.
void set_render_threads(unsigned threads);

// The same bytes again, handed in order to `write` (on any one thread at a time) a piece at a
// time instead of into an image: whole frames, at most a few hundred KiB a piece.  Stops when
// write answers false and then answers false itself.
using FrameWriter = bool (*)(void* context, const uint8_t* bytes, size_t size);
bool stream_frames(const ToneSetup& setup, FrameWriter write, void* context);
