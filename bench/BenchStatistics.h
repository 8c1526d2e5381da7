#pragma once

// What a benchmark reports of repeated measurements: the median with its spread (the quartiles), and
// the machine's load while they ran, so that a figure read on a busy machine says so.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace tessary::bench {

struct Spread {
    double median = 0;
    double low = 0;   // first quartile
    double high = 0;  // third quartile
};

// The value at fraction `at` (0 to 1) of the sorted values, interpolated between neighbours.
inline double quantile(std::vector<double> values, double at) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const double position = at * static_cast<double>(values.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (position - static_cast<double>(below));
}

inline Spread spreadOf(const std::vector<double>& values) {
    return {quantile(values, 0.5), quantile(values, 0.25), quantile(values, 0.75)};
}

// The one-minute load average, or -1 when it cannot be read.
inline double machineLoad() {
    double load = -1;
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1) load = -1;
        std::fclose(file);
    }
    return load;
}

// Sets NAME, NAME_low and NAME_high to the median and quartiles of `values`.
inline void reportSpread(benchmark::State& state, const std::string& name, const std::vector<double>& values) {
    const Spread spread = spreadOf(values);
    state.counters[name] = spread.median;
    state.counters[name + "_low"] = spread.low;
    state.counters[name + "_high"] = spread.high;
}

// Sets "load" to the machine's load now; call it after the measurements.
inline void reportLoad(benchmark::State& state) { state.counters["load"] = machineLoad(); }

}  // namespace tessary::bench
