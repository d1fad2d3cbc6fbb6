// The fast path of the renderer: the same bytes as write_frames_reference, a block of frames
// at a time.  A block goes: the serial chain (phases or noise draws, fast_phase), samples
// (fast_kernels), fades and packing (fast_pack), its place in the destination
// (fast_destination).  This file schedules the blocks on threads.
//
// A steady phase is cheap to skip: one thread runs it ahead and publishes the phase at every
// block start, and every thread, that one included once it is done, renders blocks from those
// states.  A sweep's additions and the noise generator cannot be skipped, so they run once, on
// one thread, into a small ring of blocks that the other threads render (and, for a sweep, fill
// with the steps ahead).  One core simply renders the blocks in order.  What each scheme gains
// is measured by bench_render's threads/... rows (bench/README.md).
#include "synth/fast_block.h"
#include "synth/fast_destination.h"
#include "synth/fast_kernels.h"
#include "synth/fast_pack.h"
#include "synth/fast_phase.h"
#include "synth/tone.h"
#include "toolkit/random_state.h"
#include "toolkit/workers.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

namespace {

// What the serial part leaves at a frame: the phase and the noise generator.
struct ChainState {
    float phase;
    RandomState noise;
};

// The tone and what is worked out once for all its blocks.
struct Tone {
    const ToneSetup& t;
    SteadyPhase steady;
};

bool uses_phase(int32_t style) {
    return style >= 0 && style < TONE_STYLE_COUNT && style != STYLE_WHITE_NOISE;
}

// Moves the chain over frames first .. first + n - 1, storing their phases when asked.
void advance(const Tone& tone, int64_t first, int32_t n, ChainState& st, float* phases,
             int32_t* noise) {
    const ToneSetup& t = tone.t;
    if (t.style == STYLE_WHITE_NOISE) {
        draw_noise(st.noise, noise, n);
    } else if (!uses_phase(t.style)) {
        return;
    } else if (t.sweep) {
        alignas(64) float dphi[BLOCK];
        sweep_steps(dphi, first, n, double(t.df), double(t.frequency), double(t.rate));
        if (phases)
            walk_sweep<true>(st.phase, dphi, phases, n);
        else
            walk_sweep<false>(st.phase, dphi, nullptr, n);
    } else {
        tone.steady.advance(st.phase, phases, n);
    }
}

// Turns the chain values of frames first .. first + n - 1 (their phases, or their noise
// draws) into samples, fades them and writes them to their place.
void shape_block(const ToneSetup& t, Destination& dst, int64_t first, int32_t n, const float* phase,
                 const int32_t* noise) {
    alignas(64) int16_t s[BLOCK];
    fast_samples(t, phase, noise, n, s);
    envelope_block(s, n, first, t.frames, t.envelope);
    const int64_t block = first / BLOCK;
    uint8_t* out = dst.place(block);
    if (!out) return;
    if (dst.streams()) {
        write_block(s, n, t.bytes_per_sample, t.channels, out);
    } else if (STREAMING_STORES && t.block_align <= 4) {
        alignas(64) uint8_t frames[4 * BLOCK];
        write_block(s, n, t.bytes_per_sample, t.channels, frames);
        stream_copy(out, frames, size_t(n) * size_t(t.block_align));
    } else {
        write_block(s, n, t.bytes_per_sample, t.channels, out);
    }
    dst.placed(block);
}

void render_block(const Tone& tone, Destination& dst, int64_t first, int32_t n, ChainState& st) {
    alignas(64) float phase[BLOCK];
    alignas(64) int32_t noise[BLOCK];
    advance(tone, first, n, st, phase, noise);
    shape_block(tone.t, dst, first, n, phase, noise);
}

int32_t block_frames(const ToneSetup& t, int64_t block) {
    return int32_t(std::min<int64_t>(BLOCK, t.frames - block * BLOCK));
}

void render_serial(const Tone& tone, Destination& dst, int64_t blocks, ChainState& st) {
    for (int64_t b = 0; b < blocks && !dst.failed(); ++b)
        render_block(tone, dst, b * BLOCK, block_frames(tone.t, b), st);
}

// Tones shorter than this are not worth a thread.
constexpr int64_t MIN_PARALLEL_BLOCKS = 16;
constexpr unsigned MAX_THREADS = 8;

// Runs job(k) on the calling thread (k = 0) and on up to threads - 1 helpers (k = 1, 2, ...);
// every job shares out whatever is left, so it does not matter how many helpers start.
template <class Job> void run_jobs(unsigned threads, Job& job) {
    run_workers(
        threads, [](void* context, unsigned k) noexcept { (*static_cast<Job*>(context))(k); },
        &job);
}

// The steady phase run ahead on one thread, the blocks shared out.
void render_parallel(const Tone& tone, Destination& dst, int64_t blocks, unsigned threads,
                     ChainState& st) {
    const ToneSetup& t = tone.t;
    std::vector<ChainState> starts(static_cast<size_t>(blocks));
    std::atomic<int32_t> published{0};
    std::atomic<int64_t> next{0};
    const ChainState initial = st;
    ChainState final_state = st;

    auto run_ahead = [&] {
        ChainState chain = initial;
        for (int64_t b = 0; b < blocks; ++b) {
            starts[size_t(b)] = chain;
            advance(tone, b * BLOCK, block_frames(t, b), chain, nullptr, nullptr);
            published.store(int32_t(b + 1), std::memory_order_release);
        }
        final_state = chain;
    };
    auto work = [&] {
        for (;;) {
            const int64_t b = next.fetch_add(1, std::memory_order_relaxed);
            if (b >= blocks || dst.failed()) return;
            int32_t spins = 0;
            while (published.load(std::memory_order_acquire) <= b)
                back_off(spins);
            ChainState chain = starts[size_t(b)];
            render_block(tone, dst, b * BLOCK, block_frames(t, b), chain);
        }
    };
    auto job = [&](unsigned k) {
        if (k == 0) run_ahead();
        work();
    };
    run_jobs(threads, job);
    st = final_state;
}

// When the chain itself is the costly part (a sweep's phases, the noise draws), it runs once,
// on one thread, into a ring of blocks, and everything around it is shared out: every thread
// turns published blocks into samples, the chain's own thread too whenever the ring is full,
// and for a sweep the other threads work out the phase steps of the blocks ahead, so that the
// chain's thread is left with the additions alone.  A slot goes round as: steps (sweep only),
// then the phases written over them, then rendered and free for the block RING_SLOTS later.
constexpr int32_t RING_SLOTS = 16;
constexpr int32_t STEPS_AHEAD = 4;

struct ChainRing {
    union Slot {
        float phase[BLOCK];
        int32_t noise[BLOCK];
    };
    alignas(64) std::atomic<int32_t> produced{0};   // blocks whose chain values are in the ring
    alignas(64) std::atomic<int32_t> claimed{0};    // blocks handed to a thread to render
    alignas(64) std::atomic<int32_t> next_steps{0}; // blocks whose steps someone computes
    // Per slot: the first block that may be written into it (block b, once block b - SLOTS
    // there is rendered), and one past the block whose steps it holds.
    alignas(64) std::atomic<int32_t> free_from[RING_SLOTS];
    alignas(64) std::atomic<int32_t> stepped[RING_SLOTS];
    alignas(64) Slot slots[RING_SLOTS];
};

void render_ring(const Tone& tone, Destination& dst, int32_t blocks, unsigned threads,
                 ChainState& st) {
    const ToneSetup& t = tone.t;
    const bool sweep = t.sweep && uses_phase(t.style);
    const std::unique_ptr<ChainRing> ring(new ChainRing);
    for (int32_t k = 0; k < RING_SLOTS; ++k) {
        ring->free_from[k].store(k, std::memory_order_relaxed);
        ring->stepped[k].store(0, std::memory_order_relaxed);
    }

    // Claims and renders the oldest block already in the ring that nobody has claimed.
    auto render_published = [&] {
        int32_t b = ring->claimed.load(std::memory_order_relaxed);
        while (b < blocks && b < ring->produced.load(std::memory_order_acquire)) {
            if (ring->claimed.compare_exchange_weak(b, b + 1, std::memory_order_relaxed)) {
                ChainRing::Slot& slot = ring->slots[b % RING_SLOTS];
                shape_block(t, dst, int64_t(b) * BLOCK, block_frames(t, b), slot.phase, slot.noise);
                ring->free_from[b % RING_SLOTS].store(b + RING_SLOTS, std::memory_order_release);
                return true;
            }
        }
        return false;
    };
    // Claims the next block whose steps are still to be computed, up to block last, once its
    // slot is free, and computes them.
    auto compute_steps = [&](int32_t last) {
        int32_t b = ring->next_steps.load(std::memory_order_relaxed);
        while (b <= last && b < blocks &&
               ring->free_from[b % RING_SLOTS].load(std::memory_order_acquire) >= b) {
            if (ring->next_steps.compare_exchange_weak(b, b + 1, std::memory_order_relaxed)) {
                sweep_steps(ring->slots[b % RING_SLOTS].phase, int64_t(b) * BLOCK,
                            block_frames(t, b), double(t.df), double(t.frequency), double(t.rate));
                ring->stepped[b % RING_SLOTS].store(b + 1, std::memory_order_release);
                return true;
            }
        }
        return false;
    };
    auto produce = [&] {
        ChainState chain = st;
        for (int32_t b = 0; b < blocks; ++b) {
            const int32_t k = b % RING_SLOTS;
            int32_t spins = 0;
            while (ring->free_from[k].load(std::memory_order_acquire) < b)
                if (!render_published()) back_off(spins);
            ChainRing::Slot& slot = ring->slots[k];
            const int32_t n = block_frames(t, b);
            if (sweep) {
                while (ring->stepped[k].load(std::memory_order_acquire) != b + 1)
                    if (!compute_steps(b)) back_off(spins);
                walk_sweep_in_place(chain.phase, slot.phase, n);
            } else {
                advance(tone, int64_t(b) * BLOCK, n, chain, slot.phase, slot.noise);
            }
            ring->produced.store(b + 1, std::memory_order_release);
        }
        st = chain;
    };
    auto work = [&] {
        int32_t spins = 0;
        while (ring->claimed.load(std::memory_order_relaxed) < blocks) {
            // Steps a few blocks ahead of the chain come first: the chain must never wait.
            const bool steps_due =
                sweep && ring->next_steps.load(std::memory_order_relaxed) <
                             ring->produced.load(std::memory_order_relaxed) + STEPS_AHEAD;
            if ((steps_due && compute_steps(blocks)) || render_published() ||
                (sweep && compute_steps(blocks)))
                spins = 0;
            else
                back_off(spins);
        }
    };

    // With fewer helpers than hoped, or none, the chain's thread computes the steps and renders
    // the blocks itself whenever the ring is full.
    auto job = [&](unsigned k) {
        if (k == 0) produce();
        work();
    };
    run_jobs(threads, job);
}

std::atomic<unsigned> thread_limit{0};

// Renders every block to the destination, on as many threads as are worth it.
void render(const ToneSetup& t, Destination& dst) {
    RandomState& generator = random_process_state();
    ChainState st{t.phase, generator};
    const int64_t blocks = (t.frames + BLOCK - 1) / BLOCK;
    const Tone tone{t, SteadyPhase(t.dphi)};
    const unsigned limit = thread_limit.load(std::memory_order_relaxed);
    const unsigned threads =
        std::min({processor_count(), MAX_THREADS, limit ? limit : MAX_THREADS});
    bool done = false;
    if (threads >= 2 && blocks >= MIN_PARALLEL_BLOCKS) {
        try {
            if (t.style == STYLE_WHITE_NOISE || (t.sweep && uses_phase(t.style)))
                render_ring(tone, dst, int32_t(blocks), threads, st);
            else
                render_parallel(tone, dst, blocks, threads, st);
            done = true;
        } catch (...) {
            // No memory for the block starts: nothing is written yet, render on this thread.
        }
    }
    if (!done) render_serial(tone, dst, blocks, st);
    if (t.style == STYLE_WHITE_NOISE) generator = st.noise;
}
} // namespace

void set_render_threads(unsigned threads) {
    thread_limit.store(threads, std::memory_order_relaxed);
}

void write_frames(const ToneSetup& t, uint8_t* data) {
    if (t.frames <= 0) return;
    Destination dst(t, data);
    render(t, dst);
}

bool stream_frames(const ToneSetup& t, FrameWriter write, void* context) {
    if (t.frames <= 0) return true;
    Destination dst(t, (t.frames + BLOCK - 1) / BLOCK, write, context);
    render(t, dst);
    return dst.finish();
}
