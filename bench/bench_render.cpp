// Times the fill of the largest tone the program makes (512 s, 44100 Hz, 16-bit, stereo) per
// style and variant, the per-frame reference against the fast path, and "COMPILE !" of it
// (compile/...: the fill and the hand-over to the sound device).  The image is prepared once
// per fill benchmark, so its first pass also pays for touching fresh pages.
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "toolkit/toolkit.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {
enum Variant { PLAIN, SWEEP, FADE_IN, FADE_OUT, BOTH_FADES, VARIANT_COUNT };
const char* const VARIANT_NAMES[VARIANT_COUNT] = {"plain", "sweep", "fade_in", "fade_out",
                                                  "both_fades"};

void fill(benchmark::State& state, int32_t style, Variant variant, bool reference,
          unsigned threads = 0) {
    set_render_threads(threads);
    set_sound_format(44100, 2, 2);
    random_seed(1);
    ToneSetup setup;
    const float sweep = variant == SWEEP ? 4000.0f : 0.0f;
    const int32_t fade_in = variant == FADE_IN || variant == BOTH_FADES;
    const int32_t fade_out = variant == FADE_OUT || variant == BOTH_FADES;
    uint8_t* image = prepare_tone(&setup, 315, 512, 100, sweep, style, fade_in, fade_out);
    if (!image) {
        state.SkipWithError("no image");
        return;
    }
    for (auto _ : state) {
        if (reference)
            write_frames_reference(setup, image + 44);
        else
            write_frames(setup, image + 44);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * setup.frames);
    set_render_threads(0);
}

// What "COMPILE !" costs in the desktop program for the largest tone: the fill, then the
// hand-over of the image to the sound service (a copy into the driver's buffer), on OpenAL
// Soft's null device where the build has OpenAL.
void compile(benchmark::State& state, int32_t style) {
    setenv("ALSOFT_DRIVERS", "null", 1);
    if (!sound_init()) {
        state.SkipWithError("no sound device");
        return;
    }
    set_sound_format(44100, 2, 2);
    for (auto _ : state) {
        const int32_t sound = render_tone(AUTO_NUMBER, 315, 512, 100, 0, style, 0, 0);
        if (!sound) state.SkipWithError("no sound made");
        sound_free(sound);
    }
    sound_shutdown();
}

void register_all() {
    // Each of the fast path's thread schemes against one thread: a steady tone (the phase run
    // ahead), a sweep and noise (the chain on one thread, the samples shared out); and every
    // style on one thread, which the page's renderer is compared with (bench/web_compare.py).
    std::vector<std::tuple<unsigned, int32_t, Variant>> rows;
    for (int32_t style = 0; style < TONE_STYLE_COUNT; ++style)
        rows.emplace_back(1u, style, PLAIN);
    rows.emplace_back(1u, 0, SWEEP);
    for (auto [style, variant] : {std::pair{0, PLAIN}, std::pair{0, SWEEP}, std::pair{7, PLAIN}})
        rows.emplace_back(2u, style, variant);
    for (auto [threads, style, variant] : rows)
        benchmark::RegisterBenchmark(
            ("threads/" + std::to_string(threads) + "/" + TONE_STYLE_NAMES[style] + "/" +
             VARIANT_NAMES[variant])
                .c_str(),
            [=](benchmark::State& s) { fill(s, style, variant, false, threads); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(0.5);
    for (int32_t style : {0, 2, 5, 7})
        benchmark::RegisterBenchmark((std::string("compile/") + TONE_STYLE_NAMES[style]).c_str(),
                                     [=](benchmark::State& s) { compile(s, style); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(0.5);
    for (int32_t style = 0; style < TONE_STYLE_COUNT; ++style)
        for (int v = 0; v < VARIANT_COUNT; ++v)
            for (bool reference : {true, false}) {
                const std::string name = std::string(reference ? "reference/" : "fast/") +
                                         TONE_STYLE_NAMES[style] + "/" + VARIANT_NAMES[v];
                auto* b = benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& s) {
                    fill(s, style, Variant(v), reference);
                });
                b->Unit(benchmark::kMillisecond)->UseRealTime();
                // The reference needs about a second per fill: one fill per repetition.
                if (reference)
                    b->Iterations(1);
                else
                    b->MinTime(0.3);
            }
}
} // namespace

int main(int argc, char** argv) {
    register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
