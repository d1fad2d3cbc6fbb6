// Internals of the toolkit heap, for toolkit_shutdown and for tests.
#pragma once

#include <cstddef>

// Frees every block still allocated.
void memory_heap_destroy();
// Makes allocations fail once the heap would hold more than this many bytes (tests only).
void memory_heap_set_limit(size_t bytes);
size_t memory_heap_in_use();
