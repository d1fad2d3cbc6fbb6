// Worker threads: the processors there are, a batch of jobs run side by side, and a pause
// that offers the processor to other threads.  Nothing here names a platform type.
#pragma once

// One worker's share of a batch; k numbers the worker.  A job must not throw.
using WorkerJob = void (*)(void* context, unsigned k) noexcept;

// The processors this process can run on, at least 1.
unsigned processor_count() noexcept;

// Starts job(context, k) for k = 1 .. n - 1 on new threads, runs job(context, 0) on the calling
// thread, and returns once every job that started has returned.  Threads that cannot be
// started are simply left out: the jobs run are k = 0 .. m, where m (returned) is the number
// of helper threads that did start, from 0 to n - 1.
unsigned run_workers(unsigned n, WorkerJob job, void* context) noexcept;

// For a thread that waits for another: lets other threads run first.
void worker_yield() noexcept;
