#pragma once

// What a process costs, read from /proc, for the end-to-end measurements.

#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

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

// Milliseconds of CPU the process has used, all its threads (the scheduler's nanoseconds: the tick
// counts of /proc/PID/stat are 10 ms coarse).
inline double cpuMilliseconds(pid_t pid) {
    long long total = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        long long running = 0;
        if (schedstat >> running) total += running;
    }
    return double(total) / 1e6;
}

// Waits until the process has used no CPU for 100 ms on end (5 s at most).
inline void awaitIdle(pid_t pid) {
    using namespace std::chrono_literals;
    steadyValue([pid] { return cpuMilliseconds(pid); }, 100ms, 5s, 10ms);
}

// The process's own memory (anonymous and shared) in kB once its resident size has not changed for
// a second.
inline long settledOwnMemory(pid_t pid) {
    using namespace std::chrono_literals;
    steadyValue([pid] { return residentKilobytes(pid); }, 1s, 20s, 100ms);
    return residentKilobytes(pid, "RssAnon:") + residentKilobytes(pid, "RssShmem:");
}

// The idle span of a measurement: TESSARY_IDLE_SECONDS, 5 s when unset.
inline int idleSeconds() {
    const char* configured = std::getenv("TESSARY_IDLE_SECONDS");
    return configured ? std::max(1, std::atoi(configured)) : 5;
}

}  // namespace tessary::e2e
