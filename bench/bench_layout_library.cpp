#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/LayoutPreset.h"

using namespace tessary;

namespace {

// 100 layouts: every preset, then templates of every kind and size, with assignments and tombstones.
LayoutLibrary hundredLayouts() {
    LayoutLibrary library = LayoutLibrary::starter();
    for (const LayoutPreset& preset : LayoutPreset::all()) library.layouts.push_back(preset.makeLayout());
    for (std::int64_t n = 1; library.layouts.size() < 100; ++n) {
        for (const LayoutTemplate t : LayoutTemplate::allCases) {
            if (library.layouts.size() < 100) library.layouts.emplace_back(t, n % 9 + 1);
        }
    }
    for (std::size_t d = 0; d < 8; ++d) {
        std::string display = "DISPLAY-";
        display += std::to_string(d);
        library.assign(library.layouts[d * 7].id, DisplayKey(display, 2560, 1440));
    }
    for (int t = 0; t < 20; ++t) library.deleteLayout(UUID::random(), Date(1000.0 * t));
    return library;
}

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

}  // namespace
