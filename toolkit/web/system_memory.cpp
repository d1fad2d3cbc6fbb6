// The toolkit heap's memory in WebAssembly: the C library's blocks in the linear memory.
#include "toolkit/system_memory.h"

#include <cstdlib>

void* system_alloc_zeroed(size_t size) {
    return std::calloc(1, size);
}

void system_free(void* block) {
    std::free(block);
}

void system_free_all() {}

void system_prefer_large_pages(void*, size_t) {}
