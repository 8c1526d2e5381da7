#include "Platform/Linux/ProcessMemory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <fstream>
#include <sstream>

namespace tessary {

namespace {

std::size_t kilobytesOf(const std::string& line) {
    std::istringstream fields(line.substr(line.find(':') + 1));
    std::size_t value = 0;
    fields >> value;
    return value;
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::vector<ProcessMemory::Mapping> ProcessMemory::parseSmaps(const std::string& text) {
    std::vector<Mapping> mappings;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto dash = line.find('-');
        const auto space = line.find(' ');
        // A mapping's header: "start-end perms offset dev inode [path]"; the fields are "Name: value".
        if (dash != std::string::npos && space != std::string::npos && dash < space &&
            line.find(':') > space) {
            Mapping mapping;
            std::istringstream header(line);
            std::string range, offset, device;
            header >> range >> mapping.permissions >> offset >> device >> mapping.inode;
            std::getline(header >> std::ws, mapping.path);
            try {
                mapping.start = std::stoull(range.substr(0, dash), nullptr, 16);
                mapping.end = std::stoull(range.substr(dash + 1), nullptr, 16);
            } catch (const std::exception&) {
                continue;
            }
            mappings.push_back(std::move(mapping));
        } else if (!mappings.empty()) {
            Mapping& current = mappings.back();
            if (startsWith(line, "Rss:")) current.residentKilobytes = kilobytesOf(line);
            if (startsWith(line, "Private_Dirty:") || startsWith(line, "Shared_Dirty:")) {
                current.dirtyKilobytes += kilobytesOf(line);
            }
            if (startsWith(line, "Anonymous:")) current.anonymousKilobytes = kilobytesOf(line);
        }
    }
    return mappings;
}

bool ProcessMemory::isDroppable(const Mapping& mapping) {
    const std::string& p = mapping.permissions;
    if (p.size() < 4 || p[1] == 'w' || p[3] != 'p') return false;
    if (mapping.inode == 0 || mapping.path.empty() || mapping.path.front() != '/') return false;
    if (startsWith(mapping.path, "/memfd:") || startsWith(mapping.path, "/dev/")) return false;
    return mapping.residentKilobytes > 0 && mapping.dirtyKilobytes == 0 && mapping.anonymousKilobytes == 0 &&
           mapping.end > mapping.start;
}

void ProcessMemory::keepLargeBlocksOffTheHeap() {
    // Setting either value turns the dynamic adjustment off; these are the allocator's defaults.
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 128 * 1024);
}

std::size_t ProcessMemory::returnToSystem() {
    ::malloc_trim(0);
    std::ifstream file("/proc/self/smaps");
    if (!file) return 0;
    std::stringstream text;
    text << file.rdbuf();
    std::size_t dropped = 0;
    for (const Mapping& mapping : parseSmaps(text.str())) {
        if (!isDroppable(mapping)) continue;
        if (::madvise(reinterpret_cast<void*>(mapping.start), mapping.end - mapping.start, MADV_DONTNEED) == 0) {
            dropped += mapping.residentKilobytes;
        }
    }
    return dropped;
}

}  // namespace tessary
