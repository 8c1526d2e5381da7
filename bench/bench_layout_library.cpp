#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TessaryCore/HomeMerge.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/LayoutPreset.h"
#include "bench/BenchDocuments.h"
#include "bench/SaveCost.h"

using namespace tessary;
using tessary::bench::hundredLayouts;

namespace {

void BM_EncodeDecode100Layouts(benchmark::State& state) {
    const LayoutLibrary library = hundredLayouts();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = JSONDocumentStore<LayoutLibrary>::encode(library).value();
        bytes = text.size();
        benchmark::DoNotOptimize(JSONDocumentStore<LayoutLibrary>::decode(text));
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EncodeDecode100Layouts)->Unit(benchmark::kMicrosecond);

void BM_SaveLoad100Layouts(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessary-bench-XXXXXX").string();
    const std::filesystem::path folder = ::mkdtemp(pattern.data());
    JSONDocumentStore<LayoutLibrary> store(folder / "Tessary" / "layouts.json");
    const LayoutLibrary library = hundredLayouts();
    for (auto _ : state) {
        if (!store.save(library)) state.SkipWithError("save failed");
        benchmark::DoNotOptimize(store.load());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SaveLoad100Layouts)->Unit(benchmark::kMicrosecond);

// A save merging another instance's file where each side made a layout: the home merge (the sync
// merge, three-way fields, order, new items placed) beside the sync merge alone as the reference.
struct BothMadeOne {
    LayoutLibrary base;
    LayoutLibrary ours;
    LayoutLibrary theirs;
    explicit BothMadeOne(std::size_t count = 100) : base(hundredLayouts(count)), ours(base), theirs(base) {
        ours.layouts.emplace_back(LayoutTemplate::columns, 3);
        theirs.layouts.emplace_back(LayoutTemplate::rows, 2);
    }
};

void BM_HomeMerge100LayoutsBothMadeOne(benchmark::State& state) {
    const BothMadeOne sides;
    const HomeMerge::LayoutsBase base(sides.base);
    for (auto _ : state) benchmark::DoNotOptimize(HomeMerge::layouts(sides.ours, sides.theirs, &base));
}
BENCHMARK(BM_HomeMerge100LayoutsBothMadeOne)->Unit(benchmark::kMicrosecond);

void BM_SyncMerge100LayoutsBothMadeOne(benchmark::State& state) {
    const BothMadeOne sides;
    for (auto _ : state) benchmark::DoNotOptimize(SyncMerge::mergeLayouts(sides.ours, sides.theirs));
}
BENCHMARK(BM_SyncMerge100LayoutsBothMadeOne)->Unit(benchmark::kMicrosecond);

// The same at 10,000 layouts, the library's scale where two displays of one user share it.
void BM_HomeMerge10000LayoutsBothMadeOne(benchmark::State& state) {
    const BothMadeOne sides(10000);
    const HomeMerge::LayoutsBase base(sides.base);
    for (auto _ : state) benchmark::DoNotOptimize(HomeMerge::layouts(sides.ours, sides.theirs, &base));
}
BENCHMARK(BM_HomeMerge10000LayoutsBothMadeOne)->Unit(benchmark::kMillisecond);

void BM_SyncMerge10000LayoutsBothMadeOne(benchmark::State& state) {
    const BothMadeOne sides(10000);
    for (auto _ : state) benchmark::DoNotOptimize(SyncMerge::mergeLayouts(sides.ours, sides.theirs));
}
BENCHMARK(BM_SyncMerge10000LayoutsBothMadeOne)->Unit(benchmark::kMillisecond);

// The program's own save of `count` layouts after one was renamed, beside a plain save
// (bench/SaveCost.h).
void saveLayoutsWithReport(benchmark::State& state, std::size_t count) {
    bench::compareSaveWithPlainSave(state, hundredLayouts(count), HomeMerge::layouts, [](LayoutLibrary& library, int step) {
        ZoneLayout& layout = library.layouts[static_cast<std::size_t>(step) % library.layouts.size()];
        layout.name = "Renamed " + std::to_string(step);
        layout.setModifiedAt(Date(800000000.0 + step));
    });
}

void BM_Save1000LayoutsWithReport(benchmark::State& state) { saveLayoutsWithReport(state, 1000); }
BENCHMARK(BM_Save1000LayoutsWithReport)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// At 10,000 layouts, the scale of the memory figures.
void BM_Save10000LayoutsWithReport(benchmark::State& state) { saveLayoutsWithReport(state, 10000); }
BENCHMARK(BM_Save10000LayoutsWithReport)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
