#pragma once

// The CPU a service's save of a document costs, beside a plain save of the same document in the same
// run. The service's save is the program's own: SaveReport over a store that merges what another
// instance on the same home wrote (the folder's lock, a look at the file's stamp, the merge's base
// kept, the outcome recorded); the plain one is the store's save() alone. Before every save the
// document changes, as a service saves after a change. Batches of each kind take turns, each round
// in the other order, so that the machine's load reaches both alike; each figure is this thread's
// CPU time per save (the kernel's share of the write included), the median of the batches with
// their quartiles.
//
// Counters: report_us, plain_us (each with _low and _high) and ratio, report over plain.

#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Platform/Logger.h"
#include "Tessary/services/SaveReport.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "bench/BenchStatistics.h"

namespace tessary::bench {

// A fresh temporary folder, removed with its files.
class TemporaryBenchFolder {
public:
    TemporaryBenchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessary-bench-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TemporaryBenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TemporaryBenchFolder(const TemporaryBenchFolder&) = delete;
    TemporaryBenchFolder& operator=(const TemporaryBenchFolder&) = delete;

    std::filesystem::path path;
};

inline double threadCpuMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// `change(document, step)` alters the document before each save.
template <typename Document, typename Merge, typename Change>
void compareSaveWithPlainSave(benchmark::State& state, Document document, Merge merge, Change change) {
    constexpr int rounds = 25;
    constexpr int batch = 10;
    TemporaryBenchFolder folder;
    JSONDocumentStore<Document> plain(folder.path / "plain.json");
    JSONDocumentStore<Document> shared(folder.path / "shared.json");
    shared.mergeOutsideChanges(merge);
    SaveReport report("the document", "Could not save the document: ");
    const Logger log("SaveCost");
    std::vector<double> plainTimes, reportTimes;
    int step = 0;
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool viaReport = (round + turn) % 2 == 1;
                double spent = 0;
                for (int i = 0; i < batch; ++i) {
                    change(document, ++step);
                    const double before = threadCpuMicroseconds();
                    const bool saved =
                        viaReport ? (report.save(shared, document, log), !report.failure()) : plain.save(document).hasValue();
                    spent += threadCpuMicroseconds() - before;
                    if (!saved) {
                        state.SkipWithError("a save failed");
                        return;
                    }
                }
                (viaReport ? reportTimes : plainTimes).push_back(spent / batch);
            }
        }
    }
    reportSpread(state, "report_us", reportTimes);
    reportSpread(state, "plain_us", plainTimes);
    state.counters["ratio"] = spreadOf(reportTimes).median / spreadOf(plainTimes).median;
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(plain.url()));
    reportLoad(state);
}

}  // namespace tessary::bench
