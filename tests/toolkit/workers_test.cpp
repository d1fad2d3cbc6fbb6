// The worker threads: each job runs once, job 0 on the calling thread, and all are done when
// run_workers returns.
#include "toolkit/workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {
constexpr unsigned MOST = 8;

struct Batch {
    std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> zero_on_caller{false};
    std::atomic<int> runs[MOST] = {};
};

void job(void* context, unsigned k) noexcept {
    Batch& batch = *static_cast<Batch*>(context);
    if (k == 0) batch.zero_on_caller = std::this_thread::get_id() == batch.caller;
    // Long enough that a return before the helpers finish would show.
    std::this_thread::sleep_for(std::chrono::milliseconds(k == 0 ? 0 : 20));
    batch.runs[k].fetch_add(1);
}
} // namespace

TEST(Workers, EveryJobRunsOnceAndIsDoneOnReturn) {
    EXPECT_GE(processor_count(), 1u);
    for (unsigned n : {0u, 1u, 2u, MOST}) {
        Batch batch;
        const unsigned helpers = run_workers(n, job, &batch);
        // Threads are plentiful here: every helper starts.
        EXPECT_EQ(helpers, n > 0 ? n - 1 : 0) << n;
        EXPECT_TRUE(batch.zero_on_caller) << n;
        for (unsigned k = 0; k < MOST; ++k)
            EXPECT_EQ(batch.runs[k].load(), k <= helpers ? 1 : 0) << n << " " << k;
    }
}
