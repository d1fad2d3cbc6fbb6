// The toolkit heap's memory on Linux: the C library's blocks, transparent huge pages asked for.
#include "toolkit/system_memory.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

void* system_alloc_zeroed(size_t size) {
    return std::calloc(1, size);
}

void system_free(void* block) {
    std::free(block);
}

void system_free_all() {}

void system_prefer_large_pages([[maybe_unused]] void* start, [[maybe_unused]] size_t size) {
#if defined(MADV_HUGEPAGE)
    constexpr uintptr_t LARGE_PAGE = uintptr_t(2) << 20;
    const uintptr_t begin =
        (reinterpret_cast<uintptr_t>(start) + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + size) & ~(LARGE_PAGE - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}
