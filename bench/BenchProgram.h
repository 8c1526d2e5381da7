#pragma once

// The program a benchmark of the real program starts: this build's, or the build BENCH_PROGRAM
// names (an earlier one, to compare in the same run's conditions).

#include <cstdlib>
#include <string>

namespace tessary::bench {

inline std::string programUnderTest(const char* built) {
    const char* chosen = std::getenv("BENCH_PROGRAM");
    return chosen && *chosen ? chosen : built;
}

}  // namespace tessary::bench
