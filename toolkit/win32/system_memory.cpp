// The toolkit heap's memory on Windows: a growable heap of the program's own (4096 bytes to
// start with, no limit), destroyed whole at the end.
#include "toolkit/system_memory.h"

#include <windows.h>

namespace {
HANDLE heap = nullptr;
}

void* system_alloc_zeroed(size_t size) {
    if (!heap) heap = HeapCreate(0, 4096, 0);
    return heap ? HeapAlloc(heap, HEAP_ZERO_MEMORY, size) : nullptr;
}

void system_free(void* block) {
    HeapFree(heap, 0, block);
}

void system_free_all() {
    if (heap) HeapDestroy(heap);
    heap = nullptr;
}

void system_prefer_large_pages(void*, size_t) {}
