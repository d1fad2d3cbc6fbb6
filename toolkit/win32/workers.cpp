// Worker threads on the Windows API (the toolchain's C++ library may have no threads at all).
#include "toolkit/workers.h"

#include <windows.h>

namespace {
struct Helper {
    WorkerJob job;
    void* context;
    unsigned k;
};

// On 32-bit x86 Windows enters a thread with the stack aligned to 4 bytes only, and the SSE
// code under the job may keep 16-byte values there: realign rather than rely on the
// toolchain's defaults.
#if defined(__i386__)
#define THREAD_ENTRY __attribute__((force_align_arg_pointer))
#else
#define THREAD_ENTRY
#endif

THREAD_ENTRY DWORD WINAPI helper_main(LPVOID parameter) {
    const Helper& h = *static_cast<const Helper*>(parameter);
    h.job(h.context, h.k);
    return 0;
}
} // namespace

unsigned processor_count() noexcept {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? unsigned(info.dwNumberOfProcessors) : 1;
}

unsigned run_workers(unsigned n, WorkerJob job, void* context) noexcept {
    // One wait covers them all: at most MAXIMUM_WAIT_OBJECTS helpers.
    Helper helpers[MAXIMUM_WAIT_OBJECTS];
    HANDLE threads[MAXIMUM_WAIT_OBJECTS];
    DWORD started = 0;
    for (unsigned k = 1; k < n && started < MAXIMUM_WAIT_OBJECTS; ++k) {
        helpers[started] = Helper{job, context, k};
        const HANDLE thread = CreateThread(nullptr, 0, helper_main, &helpers[started], 0, nullptr);
        if (!thread) break;
        threads[started++] = thread;
    }
    job(context, 0);
    if (started > 0) {
        // The handles are valid and few enough, so the wait cannot fail; were it to, returning
        // would leave the helpers working on a context that is gone.
        while (WaitForMultipleObjects(started, threads, TRUE, INFINITE) == WAIT_FAILED)
            Sleep(1);
        for (DWORD k = 0; k < started; ++k)
            CloseHandle(threads[k]);
    }
    return unsigned(started);
}

void worker_yield() noexcept {
    SwitchToThread();
}
