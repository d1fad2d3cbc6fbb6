// The toolkit heap: zero-initialised blocks, every one still allocated freed at shutdown.
#include "toolkit/memory_heap.h"
#include "toolkit/system_memory.h"
#include "toolkit/toolkit.h"

#include <cstddef>
#include <cstdint>
#include <unordered_set>

namespace {
std::unordered_set<void*>& live_blocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}
size_t heap_limit = SIZE_MAX;
size_t heap_in_use = 0;

// Each block carries its size in a header so that the heap can account for it.
struct alignas(std::max_align_t) BlockHeader {
    size_t size;
};
} // namespace

void* memory_alloc(size_t size) {
    if (size > heap_limit - heap_in_use || size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    auto* header = static_cast<BlockHeader*>(system_alloc_zeroed(sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    header->size = size;
    heap_in_use += size;
    system_prefer_large_pages(header, sizeof(BlockHeader) + size);
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
