#pragma once

// Giving the heap back to the system once the program is done with a burst of work (a window
// closed, the overlay idle). Linux (glibc) only.
//
// What the allocator frees stays in the process until it is trimmed; a window's images and the
// objects made while drawing it leave free pages between live blocks that only malloc_trim returns.
// The pages of libraries, fonts and Unicode data that the drawing touched are left mapped: they
// are clean copies of their files that the kernel reclaims when it needs to, and dropping them
// would only lower the resident figure, not free memory.

#include <cstddef>

namespace tessary {

class ProcessMemory {
public:
    ProcessMemory() = delete;

    // Every large allocation (window images, drawn tiles: 128 kB and more) gets pages of its own,
    // which go back to the system when it is freed. By default the allocator raises that threshold
    // to the size of the largest block freed so far, so that after the first overlay or window
    // image, such images are carved out of the heap, and the small objects allocated between them
    // keep the heap's pages resident after they are freed. Call once, at start.
    static void keepLargeBlocksOffTheHeap();

    // Every thread allocates from the one heap. By default each thread that allocates gets a heap
    // of its own (the X connection's reader, D-Bus, and the image threads Qt starts while a window
    // draws), each keeping tens of kilobytes resident for the few blocks it holds; our threads
    // allocate little and seldom at the same time. Call once, at start, before any thread starts.
    static void shareOneHeap();

    // Returns the allocator's free pages to the system (malloc_trim).
    static void returnToSystem();
};

}  // namespace tessary
