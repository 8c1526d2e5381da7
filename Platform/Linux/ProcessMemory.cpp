#include "Platform/Linux/ProcessMemory.h"

#include <malloc.h>

namespace tessary {

void ProcessMemory::keepLargeBlocksOffTheHeap() {
    // Setting either value turns the dynamic adjustment off; these are the allocator's defaults.
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 128 * 1024);
}

void ProcessMemory::shareOneHeap() { ::mallopt(M_ARENA_MAX, 1); }

void ProcessMemory::returnToSystem() { ::malloc_trim(0); }

}  // namespace tessary
