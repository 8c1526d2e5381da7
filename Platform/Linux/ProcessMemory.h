#pragma once

// Giving memory back to the system once the program is done with a burst of work (a window
// closed, the overlay idle).
//
// What a process holds after drawing a window is mostly not its own heap: it is the pages of the
// libraries' code, of fonts and of Unicode data files that the drawing touched (the kernel maps them
// in 64 kB runs around each page touched). Those pages are clean copies of their files; dropping
// our mappings of them loses nothing (the next use maps them again from the page cache, a minor
// fault each) and lets the kernel reclaim them without asking. Only mappings that cannot hold data
// of ours are dropped: file-backed, private, not writable, and with no dirty or anonymous page
// (a library's relocated read-only data is dirty and is kept).
//
// Linux only. Other threads may run meanwhile: nothing dropped can have been changed by them, and
// the program unmaps no file while it runs (no plug-in is unloaded), so a range read from smaps
// still holds the same file when it is dropped.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

class ProcessMemory {
public:
    ProcessMemory() = delete;

    // One mapping of /proc/self/smaps, as far as the choice needs it.
    struct Mapping {
        std::uintptr_t start = 0;
        std::uintptr_t end = 0;
        std::string permissions;
        unsigned long inode = 0;
        std::string path;
        std::size_t residentKilobytes = 0;
        std::size_t dirtyKilobytes = 0;  // private and shared
        std::size_t anonymousKilobytes = 0;
    };

    // The mappings of a smaps text.
    static std::vector<Mapping> parseSmaps(const std::string& text);
    // Whether a mapping holds only clean copies of its file's pages.
    static bool isDroppable(const Mapping& mapping);

    // Every large allocation (window images, drawn tiles: 128 kB and more) gets pages of its own,
    // which go back to the system when it is freed. By default the allocator raises that threshold
    // to the size of the largest block freed so far, so that after the first overlay or window
    // image, such images are carved out of the heap, and the small objects allocated between them
    // keep the heap's pages resident after they are freed. Call once, at start.
    static void keepLargeBlocksOffTheHeap();

    // Returns the allocator's free pages (malloc_trim) and drops the droppable mappings' pages;
    // the kilobytes that were resident in those mappings.
    static std::size_t returnToSystem();
};

}  // namespace tessary
