#pragma once

// What a process costs, read from /proc, for the end-to-end measurements.

#include <sys/types.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/e2e/harness/ChildProcess.h"

namespace tessary::e2e {

// Context switches per thread (voluntary and not); a thread that ends takes its count along.
inline std::map<std::string, long> contextSwitches(pid_t pid) {
    std::map<std::string, long> perThread;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.find("ctxt_switches:") != std::string::npos) {
                perThread[task.path().filename().string()] += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return perThread;
}

// The switches since `before`, over all threads.
inline long contextSwitchesSince(pid_t pid, const std::map<std::string, long>& before) {
    long total = 0;
    for (const auto& [thread, count] : contextSwitches(pid)) {
        const auto earlier = before.find(thread);
        total += count - (earlier == before.end() ? 0 : earlier->second);
    }
    return total;
}

// Resident memory in kB: all of it, or the part shared with the X server (window buffers through
// MIT-SHM) with "RssShmem:"; -1 when the process is gone.
inline long residentKilobytes(pid_t pid, const char* field = "VmRSS:") {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    }
    return -1L;
}

// Reads a value every `every` until it has not changed for `steadyFor` (or `within` has passed);
// the last value read.
template <typename Read>
auto steadyValue(Read read, std::chrono::milliseconds steadyFor, std::chrono::milliseconds within,
                 std::chrono::milliseconds every) {
    auto last = read();
    auto since = Clock::now();
    waitUntil(
        [&] {
            const auto now = read();
            if (now != last) {
                last = now;
                since = Clock::now();
            }
            return Clock::now() - since >= steadyFor;
        },
        Clock::now() + within, -1, every);
    return last;
}

// The idle span of a measurement: TESSARY_IDLE_SECONDS, 5 s when unset.
inline int idleSeconds() {
    const char* configured = std::getenv("TESSARY_IDLE_SECONDS");
    return configured ? std::max(1, std::atoi(configured)) : 5;
}

}  // namespace tessary::e2e
