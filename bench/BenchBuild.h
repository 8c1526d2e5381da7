#pragma once

// Whether a benchmark's figures can be compared: its references (the bare programs built beside it)
// and the program it measures must be built alike, in Release. A Debug or sanitised reference is
// slower than the Release one and flatters the program measured against it, so such a run is
// refused; BENCH_ANY_BUILD=1 runs it anyway, with a warning on stderr. Another build of the
// program (BENCH_PROGRAM) is judged by the CMakeCache.txt of the build folder it lies in.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#ifndef TESSARY_BUILD_TYPE
#error "TESSARY_BUILD_TYPE must name the build's configuration"
#endif

namespace tessary::bench {

// The CMAKE_BUILD_TYPE of the build folder holding `program` (the nearest CMakeCache.txt above
// it); empty when none says.
inline std::string buildTypeOf(const std::filesystem::path& program) {
    std::error_code error;
    for (std::filesystem::path folder = std::filesystem::absolute(program, error).parent_path();
         !folder.empty(); folder = folder.parent_path()) {
        std::ifstream cache(folder / "CMakeCache.txt");
        for (std::string line; cache && std::getline(cache, line);) {
            if (line.rfind("CMAKE_BUILD_TYPE:", 0) == 0) return line.substr(line.find('=') + 1);
        }
        if (cache.is_open() || folder == folder.root_path()) break;
    }
    return {};
}

// Why the figures of this run against `program` would not be comparable; nothing when they are,
// or when BENCH_ANY_BUILD=1 (then the reason goes to stderr).
inline std::optional<std::string> buildRefusal(const std::filesystem::path& program) {
    std::string reason;
    const std::string ours = TESSARY_BUILD_TYPE;
#ifdef TESSARY_SANITIZED
    reason = "the references are built with sanitizers";
#endif
    if (reason.empty() && ours != "Release") reason = "the references are built as " + (ours.empty() ? "no type" : ours);
    const std::string theirs = buildTypeOf(program);
    if (reason.empty() && !theirs.empty() && theirs != "Release") reason = program.string() + " is built as " + theirs;
    if (reason.empty() && theirs.empty()) {
        std::fprintf(stderr, "WARNING: no CMakeCache.txt says how %s was built; it is taken for Release\n",
                     program.c_str());
    }
    if (reason.empty()) return std::nullopt;
    const char* any = std::getenv("BENCH_ANY_BUILD");
    if (any && std::string(any) == "1") {
        std::fprintf(stderr, "WARNING: %s; the ratios below are not comparable with Release ones\n", reason.c_str());
        return std::nullopt;
    }
    return reason + " (not Release: build with scripts/bench, or set BENCH_ANY_BUILD=1)";
}

}  // namespace tessary::bench
