#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Platform/Linux/ProcessMemory.h"

using namespace tessary;

namespace {

// What /proc/self/smaps says of each kind of mapping a Qt program has.
const char* const smaps = R"(55d0c0000000-55d0c0100000 r-xp 00001000 fe:00 101 /usr/lib/libQt6Widgets.so.6
Rss:                 512 kB
Shared_Dirty:          0 kB
Private_Dirty:         0 kB
Anonymous:             0 kB
55d0c0100000-55d0c0110000 r--p 00101000 fe:00 101 /usr/lib/libQt6Widgets.so.6
Rss:                  64 kB
Shared_Dirty:          0 kB
Private_Dirty:        64 kB
Anonymous:            64 kB
55d0c0110000-55d0c0112000 rw-p 00111000 fe:00 101 /usr/lib/libQt6Widgets.so.6
Rss:                   8 kB
Shared_Dirty:          0 kB
Private_Dirty:         8 kB
Anonymous:             8 kB
55d0c0200000-55d0c0400000 rw-p 00000000 00:00 0 [heap]
Rss:                2048 kB
Shared_Dirty:          0 kB
Private_Dirty:      2048 kB
Anonymous:          2048 kB
7f0000000000-7f0000080000 r--p 00000000 fe:00 202 /usr/share/fonts/truetype/dejavu/DejaVu Sans.ttf
Rss:                 356 kB
Shared_Dirty:          0 kB
Private_Dirty:         0 kB
Anonymous:             0 kB
7f0000100000-7f0000300000 rw-s 00000000 00:01 303 /memfd:xorg (deleted)
Rss:                1952 kB
Shared_Dirty:       1952 kB
Private_Dirty:         0 kB
Anonymous:             0 kB
7f0000400000-7f0000401000 ---p 00002000 fe:00 101 /usr/lib/libQt6Widgets.so.6
Rss:                   0 kB
Shared_Dirty:          0 kB
Private_Dirty:         0 kB
Anonymous:             0 kB
)";

TEST(ProcessMemory, OnlyCleanReadOnlyFileMappingsAreDropped) {
    const auto mappings = ProcessMemory::parseSmaps(smaps);
    ASSERT_EQ(mappings.size(), 7u);
    struct Row {
        const char* name;
        bool droppable;
    };
    const Row rows[] = {
        {"library code", true},
        {"a library's relocated read-only data (dirty)", false},
        {"a library's writable data", false},
        {"the heap", false},
        {"a font file, its name with a blank", true},
        {"a shared-memory window buffer", false},
        {"a guard page with nothing resident", false},
    };
    for (std::size_t i = 0; i < mappings.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(ProcessMemory::isDroppable(mappings[i]), rows[i].droppable);
    }
    EXPECT_EQ(mappings[4].path, "/usr/share/fonts/truetype/dejavu/DejaVu Sans.ttf");
    EXPECT_EQ(mappings[0].start, 0x55d0c0000000u);
    EXPECT_EQ(mappings[0].residentKilobytes, 512u);
}

std::size_t residentOf(const void* start) {
    std::ifstream file("/proc/self/smaps");
    std::stringstream text;
    text << file.rdbuf();
    for (const auto& mapping : ProcessMemory::parseSmaps(text.str())) {
        if (mapping.start == reinterpret_cast<std::uintptr_t>(start)) return mapping.residentKilobytes;
    }
    return 0;
}

// The real thing on this process: what was written stays, what is a clean copy of a file goes.
TEST(ProcessMemory, ReturningMemoryDropsCleanFilePagesAndKeepsEveryWrittenByte) {
    char path[] = "/tmp/tessary-process-memory-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::size_t size = 64 * 4096;
    std::string content(size, 'f');
    ASSERT_EQ(::write(fd, content.data(), size), static_cast<ssize_t>(size));
    // Written back, as an installed library's pages are: a page not yet on disk counts as dirty.
    ASSERT_EQ(::fsync(fd), 0);

    auto* readOnly = static_cast<char*>(::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
    auto* written = static_cast<char*>(::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0));
    ASSERT_NE(readOnly, MAP_FAILED);
    ASSERT_NE(written, MAP_FAILED);
    long sum = 0;
    for (std::size_t i = 0; i < size; i += 4096) sum += readOnly[i];
    std::memset(written, 'w', size);
    std::vector<char> heap(1 << 20, 'h');

    ASSERT_GT(residentOf(readOnly), 0u);
    ProcessMemory::returnToSystem();
    EXPECT_EQ(residentOf(readOnly), 0u) << "the clean copy of the file stayed mapped";
    EXPECT_EQ(residentOf(written), size / 1024) << "written pages are ours";
    EXPECT_EQ(std::string(written, size), std::string(size, 'w'));
    EXPECT_EQ(std::string(heap.begin(), heap.end()), std::string(1 << 20, 'h'));
    EXPECT_EQ(std::string(readOnly, size), content) << "read again from the file";
    EXPECT_EQ(sum, 'f' * 64L);

    ::munmap(readOnly, size);
    ::munmap(written, size);
    ::close(fd);
    ::unlink(path);
}

}  // namespace
