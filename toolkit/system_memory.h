// Memory from the operating system for the toolkit heap (memory.cpp keeps the accounting).
#pragma once

#include <cstddef>

// A zeroed block of size bytes, null when there is none.
void* system_alloc_zeroed(size_t size);
void system_free(void* block);
// Frees whatever the heap still holds from the system, after every block has been freed.
void system_free_all();
// Asks for large pages under a block that is about to be written end to end (a long tone's
// image): a page fault per 2 MiB instead of per 4 KiB.  Does nothing where there are none.
void system_prefer_large_pages(void* block, size_t size);
