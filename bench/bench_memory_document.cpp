// Loading and saving a window memory of 400 placements through the document store (also as the
// program saves it: SaveReport over a store that merges what another instance on the same home
// wrote), the coding alone (no file), and a record at the cap (which prunes).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TessaryCore/HomeMerge.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/WindowPlacementMemory.h"
#include "bench/BenchDocuments.h"
#include "bench/SaveCost.h"

using namespace tessary;
using tessary::bench::fullMemory;

namespace {

using Folder = bench::TemporaryBenchFolder;

void BM_SaveMemory(benchmark::State& state) {
    Folder folder;
    JSONDocumentStore<WindowPlacementMemory> store(folder.path / "memory.json");
    const WindowPlacementMemory memory = fullMemory();
    for (auto _ : state) {
        if (!store.save(memory)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveMemory)->Unit(benchmark::kMicrosecond);

// The program's own save after a snap was remembered, beside a plain save (bench/SaveCost.h).
void BM_SaveMemoryWithReport(benchmark::State& state) {
    const UUID layout = UUID::random();
    bench::compareSaveWithPlainSave(state, fullMemory(), HomeMerge::memory, [&](WindowPlacementMemory& memory, int step) {
        memory.record(WindowPlacement("D@2560x1415", layout, {step % 4}, Date(800000000.0 + step)), "org.example.New",
                      "New window " + std::to_string(step % 50));
    });
}
BENCHMARK(BM_SaveMemoryWithReport)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same when another instance wrote the file since every time: its memory is read, merged in
// and written with this one's.
void BM_SaveMemoryAfterAnotherInstance(benchmark::State& state) {
    Folder folder;
    JSONDocumentStore<WindowPlacementMemory> mine(folder.path / "memory.json"), theirs(folder.path / "memory.json");
    mine.mergeOutsideChanges(HomeMerge::memory);
    theirs.mergeOutsideChanges(HomeMerge::memory);
    WindowPlacementMemory memory = fullMemory(), other = fullMemory();
    const UUID layout = UUID::random();
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        other.record(WindowPlacement("D@2560x1415", layout, {1}, Date(900000000.0 + i)), "org.example.Other",
                     "Other " + std::to_string(i));
        if (!theirs.saveMerging(other)) state.SkipWithError("their save failed");
        ++i;
        state.ResumeTiming();
        auto saved = mine.saveMerging(memory);
        if (!saved) state.SkipWithError("save failed");
        if (saved && saved.value()) memory = std::move(*saved.value());
    }
}
BENCHMARK(BM_SaveMemoryAfterAnotherInstance)->Unit(benchmark::kMicrosecond);

void BM_LoadMemory(benchmark::State& state) {
    Folder folder;
    JSONDocumentStore<WindowPlacementMemory> store(folder.path / "memory.json");
    if (!store.save(fullMemory())) state.SkipWithError("save failed");
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(store.url()));
    for (auto _ : state) {
        auto loaded = store.load();
        if (!loaded || !loaded.value() || loaded.value()->byWindow.size() != 400) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(loaded);
    }
}
BENCHMARK(BM_LoadMemory)->Unit(benchmark::kMicrosecond);

void BM_EncodeMemory(benchmark::State& state) {
    const WindowPlacementMemory memory = fullMemory();
    for (auto _ : state) benchmark::DoNotOptimize(JSONDocumentStore<WindowPlacementMemory>::encode(memory));
}
BENCHMARK(BM_EncodeMemory)->Unit(benchmark::kMicrosecond);

void BM_DecodeMemory(benchmark::State& state) {
    const std::string text = JSONDocumentStore<WindowPlacementMemory>::encode(fullMemory()).value();
    for (auto _ : state) benchmark::DoNotOptimize(JSONDocumentStore<WindowPlacementMemory>::decode(text));
}
BENCHMARK(BM_DecodeMemory)->Unit(benchmark::kMicrosecond);

void BM_RecordAtCap(benchmark::State& state) {
    WindowPlacementMemory memory = fullMemory();
    const UUID layout = UUID::random();
    int i = 0;
    for (auto _ : state) {
        memory.record(WindowPlacement("D@2560x1415", layout, {0}, Date(800000000.0 + i)), "org.example.New",
                      "New window " + std::to_string(i));
        ++i;
    }
}
BENCHMARK(BM_RecordAtCap)->Unit(benchmark::kMicrosecond);

}  // namespace
