// The toolkit heap: zero-initialised blocks, every one still allocated freed at shutdown.
#include "toolkit/memory_heap.h"
#include "toolkit/toolkit.h"

#include <cstdint>
#include <cstdlib>
#include <unordered_set>

#if defined(__linux__)
#include <sys/mman.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace {
std::unordered_set<void*>& live_blocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}
size_t heap_limit = SIZE_MAX;
size_t heap_in_use = 0;

// Zeroed blocks from the system: on Windows a growable heap of the program's own (4096 bytes to
// start with, no limit), destroyed whole at the end; elsewhere the C library's.
#if defined(_WIN32)
HANDLE heap = nullptr;
void* system_alloc_zeroed(size_t size) {
    if (!heap) heap = HeapCreate(0, 4096, 0);
    return heap ? HeapAlloc(heap, HEAP_ZERO_MEMORY, size) : nullptr;
}
void system_free(void* p) {
    HeapFree(heap, 0, p);
}
void system_free_all() {
    if (heap) HeapDestroy(heap);
    heap = nullptr;
}
#else
void* system_alloc_zeroed(size_t size) {
    return std::calloc(1, size);
}
void system_free(void* p) {
    std::free(p);
}
void system_free_all() {}
#endif
} // namespace

// Each block carries its size in a header so that the heap can account for it.
namespace {
struct alignas(std::max_align_t) BlockHeader {
    size_t size;
};

// A large block (a long tone's image) is written once from end to end right after it is
// allocated: backed by 2 MiB pages it takes a page fault per 2 MiB instead of per 4 KiB.
void prefer_large_pages([[maybe_unused]] void* start, [[maybe_unused]] size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t LARGE_PAGE = uintptr_t(2) << 20;
    const uintptr_t begin =
        (reinterpret_cast<uintptr_t>(start) + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + size) & ~(LARGE_PAGE - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}
} // namespace

void* memory_alloc(size_t size) {
    if (size > heap_limit - heap_in_use || size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    auto* header = static_cast<BlockHeader*>(system_alloc_zeroed(sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    header->size = size;
    heap_in_use += size;
    prefer_large_pages(header, sizeof(BlockHeader) + size);
    void* block = header + 1;
    live_blocks().insert(block);
    return block;
}

void memory_free(void* block) {
    if (!block || live_blocks().erase(block) == 0) return;
    BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
    heap_in_use -= header->size;
    system_free(header);
}

void memory_heap_destroy() {
    for (void* block : live_blocks())
        system_free(static_cast<BlockHeader*>(block) - 1);
    live_blocks().clear();
    heap_in_use = 0;
    system_free_all();
}

void memory_heap_set_limit(size_t bytes) {
    heap_limit = bytes;
}

size_t memory_heap_in_use() {
    return heap_in_use;
}
