// Where the fast renderer's finished blocks go: the image's data, or a ring of chunks written
// out in order to a stream.
#pragma once

#include "synth/fast_block.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/workers.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

// Every wait for another thread polls: a short spin, then the processor is offered to others.
// No thread ever sleeps on a wake-up that could be missed.
void back_off(int32_t& spins) {
    if (++spins < 64) {
#if defined(__SSE2__)
        _mm_pause();
#endif
    } else {
        worker_yield();
    }
}

// Where finished blocks go: the image's data, or a ring of chunks that are written out in
// order as each is complete (a stream).  A stream's blocks wait for their place in the ring,
// and whichever thread finds the oldest chunks complete writes them, one thread at a time.
class Destination {
  public:
    // The whole data, block b at b x BLOCK frames.
    Destination(const ToneSetup& t, uint8_t* data) : t_(t), data_(data) {}
    // A stream to `write`.
    Destination(const ToneSetup& t, int64_t blocks, FrameWriter write, void* context)
        : t_(t), blocks_(blocks), write_(write), context_(context),
          ring_(new uint8_t[size_t(RING_CHUNKS) * CHUNK_BLOCKS * BLOCK * t.block_align + PAGE]) {
        // Each piece sits where its bytes sit in a page of the file, after the 44-byte header:
        // the kernel copies between addresses that agree in their low bits much faster.
        const uintptr_t start = reinterpret_cast<uintptr_t>(ring_.get());
        data_ = ring_.get() + ((WAV_HEADER_SIZE - start) & (PAGE - 1));
        for (auto& d : done_)
            d.store(0, std::memory_order_relaxed);
    }

    bool streams() const { return write_ != nullptr; }
    bool failed() const { return failed_.load(std::memory_order_relaxed); }

    // Where block b goes; for a stream, once there is room for it (nullptr when the stream
    // has failed).
    uint8_t* place(int64_t b) {
        if (!streams()) return data_ + b * BLOCK * t_.block_align;
        int32_t spins = 0;
        while (b >= written_.load(std::memory_order_acquire) + RING_BLOCKS) {
            if (failed()) return nullptr;
            if (!flush()) back_off(spins);
        }
        return data_ + (b % RING_BLOCKS) * BLOCK * t_.block_align;
    }

    // Block b is in its place.
    void placed(int64_t b) {
        if (!streams()) return;
        done_[(b / CHUNK_BLOCKS) % RING_CHUNKS].fetch_add(1, std::memory_order_release);
        flush();
    }

    // Writes whatever complete chunks are next, unless another thread is at it; true when it
    // wrote any.  After the last block, finish() writes the rest.
    bool flush() {
        bool wrote = false;
        while (!failed() && !flushing_.exchange(true, std::memory_order_acquire)) {
            bool more = false;
            while (!failed() && written_.load(std::memory_order_relaxed) < blocks_) {
                const int64_t first = written_.load(std::memory_order_relaxed);
                const int64_t chunk = first / CHUNK_BLOCKS;
                const int32_t in_chunk = int32_t(std::min<int64_t>(CHUNK_BLOCKS, blocks_ - first));
                std::atomic<int32_t>& done = done_[chunk % RING_CHUNKS];
                if (done.load(std::memory_order_acquire) < in_chunk) break;
                const int64_t frames =
                    std::min<int64_t>(t_.frames - first * BLOCK, int64_t(in_chunk) * BLOCK);
                if (!write_(context_, data_ + (first % RING_BLOCKS) * BLOCK * t_.block_align,
                            size_t(frames) * size_t(t_.block_align)))
                    failed_.store(true, std::memory_order_relaxed);
                done.store(0, std::memory_order_relaxed);
                written_.store(first + in_chunk, std::memory_order_release);
                wrote = more = true;
            }
            flushing_.store(false, std::memory_order_release);
            // A chunk completed while this thread held the flush is written on the next pass.
            if (!more) break;
        }
        return wrote;
    }

    // Waits until every block is written; false when a write failed.
    bool finish() {
        int32_t spins = 0;
        while (!failed() && written_.load(std::memory_order_acquire) < blocks_)
            if (!flush()) back_off(spins);
        return !failed();
    }

  private:
    // 32 blocks of stereo 16-bit frames are 256 KiB a write.  A ring of 16 (4 MiB) lets the
    // renderers run well ahead of the writes (bench/README.md).
    static constexpr int64_t CHUNK_BLOCKS = 32;
    static constexpr int32_t RING_CHUNKS = 16;
    static constexpr int64_t RING_BLOCKS = CHUNK_BLOCKS * RING_CHUNKS;
    static constexpr size_t PAGE = 4096;

    const ToneSetup& t_;
    uint8_t* data_ = nullptr;
    int64_t blocks_ = 0;
    FrameWriter write_ = nullptr;
    void* context_ = nullptr;
    std::unique_ptr<uint8_t[]> ring_;
    alignas(64) std::atomic<int64_t> written_{0};
    alignas(64) std::atomic<bool> flushing_{false};
    std::atomic<bool> failed_{false};
    alignas(64) std::atomic<int32_t> done_[RING_CHUNKS];
};
