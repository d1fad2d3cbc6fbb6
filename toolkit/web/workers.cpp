// Worker threads in a page: there is one thread (WebAssembly threads need headers a plain
// server does not send), so every batch runs on the calling thread.
#include "toolkit/workers.h"

unsigned processor_count() noexcept {
    return 1;
}

unsigned run_workers(unsigned, WorkerJob job, void* context) noexcept {
    job(context, 0);
    return 0;
}

void worker_yield() noexcept {}
