#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/LayoutPreset.h"
#include "TessaryCore/HomeMerge.h"
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

// The program's own save of 1,000 layouts after one was renamed, beside a plain save
// (bench/SaveCost.h).
void BM_Save1000LayoutsWithReport(benchmark::State& state) {
    bench::compareSaveWithPlainSave(state, hundredLayouts(1000), HomeMerge::layouts, [](LayoutLibrary& library, int step) {
        ZoneLayout& layout = library.layouts[static_cast<std::size_t>(step) % library.layouts.size()];
        layout.name = "Renamed " + std::to_string(step);
        layout.setModifiedAt(Date(800000000.0 + step));
    });
}
BENCHMARK(BM_Save1000LayoutsWithReport)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
