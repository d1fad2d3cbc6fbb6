// Worker threads on the C++ thread library.
#include "toolkit/workers.h"

#include <thread>
#include <vector>

unsigned processor_count() noexcept {
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}

unsigned run_workers(unsigned n, WorkerJob job, void* context) noexcept {
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(n > 1 ? n - 1 : 0);
        for (unsigned k = 1; k < n; ++k)
            helpers.emplace_back(job, context, k);
    } catch (...) {
        // No memory or no more threads: the ones started do their share.
    }
    job(context, 0);
    for (auto& h : helpers)
        h.join();
    return unsigned(helpers.size());
}

void worker_yield() noexcept {
    std::this_thread::yield();
}
