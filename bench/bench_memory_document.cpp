// Loading and saving a window memory of 400 placements through the document store, the coding
// alone (no file), and a record at the cap (which prunes).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/WindowPlacementMemory.h"

using namespace tessary;

namespace {

WindowPlacementMemory fullMemory() {
    WindowPlacementMemory memory;
    const UUID layout = UUID::random();
    for (int i = 0; i < 400; ++i) {
        const std::string app = "org.example.Application" + std::to_string(i % 40);
        const std::string title = "Document " + std::to_string(i) + " \xE2\x80\x94 a typical window title";
        memory.record(WindowPlacement("6F1B3C2A-9D4E-4F00-8A11-0C0FFEE00" + std::to_string(100 + i % 3) +
                                          "@2560x1415",
                                      layout, {i % 4, (i + 1) % 4}, Date(763637213.589 + i)),
                      app, title);
    }
    return memory;
}

class Folder {
public:
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessary-bench-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

void BM_SaveMemory(benchmark::State& state) {
    Folder folder;
    JSONDocumentStore<WindowPlacementMemory> store(folder.path / "memory.json");
    const WindowPlacementMemory memory = fullMemory();
    for (auto _ : state) {
        if (!store.save(memory)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveMemory)->Unit(benchmark::kMicrosecond);

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
