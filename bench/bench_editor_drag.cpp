// One step of a divider drag in the grid editor on a 4 x 4 grid inside the 100-layout library: the
// pointer's conversion to weight units, the edit through the editor model (moveDivider on a copy,
// the stamp, the upsert), the zone service's save of "layouts.json", and the surface's rebuild with
// its repaint region. Once with the document kept in memory, once on a real file; beside each, the
// bare save of the same library as its reference. "ofA60HzFrame" is the step's share of 16.7 ms.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "Tessary/editor/GridEditorModel.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "Tessary/services/ZoneService.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "bench/BenchDocuments.h"

using namespace tessary;
using tessary::bench::MemoryFileSystem;

namespace {

class Folder {
public:
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessary-bench-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~Folder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

constexpr double frame = 1.0 / 60;

struct Editor {
    explicit Editor(std::shared_ptr<DocumentFileSystem> files)
        : zones(std::make_shared<FakeWindowEngine>(), JSONDocumentStore<LayoutLibrary>(folder.path() / "layouts.json", files)) {
        LayoutLibrary library = bench::hundredLayouts();
        library.layouts.emplace_back(UUID::random(), "Sixteen", LayoutKind(ZoneGrid::uniform(4, 4)), 8, 8, std::nullopt, Date(0));
        const UUID edited = library.layouts.back().id;
        zones.setLibrary(std::move(library));
        model = std::make_unique<LayoutEditorModel>(zones);
        model->setSelectedLayoutID(edited);
        surface = std::make_unique<GridEditorModel>(*model);
        surface->setSize({816, 616});
        surface->onRepaint = [this](const std::vector<Rect>& rects) { repaintRects = rects.size(); };
        // The divider between columns 1 and 2 in row 1: between zones 5 and 6.
        for (std::size_t i = 0; i < surface->dividers().size(); ++i) {
            const auto& d = surface->dividers()[i];
            if (d.axis == ZoneGrid::SplitAxis::vertical && d.tracks.lowerBound == 1 && d.position == 2) handle = surface->handles()[i];
        }
        surface->press({handle.midX(), handle.midY()});
    }

    Folder folder;
    ZoneService zones;
    std::unique_ptr<LayoutEditorModel> model;
    std::unique_ptr<GridEditorModel> surface;
    Rect handle;
    std::size_t repaintRects = 0;
};

void dragSteps(benchmark::State& state, std::shared_ptr<DocumentFileSystem> files) {
    Editor editor(std::move(files));
    const double y = editor.handle.midY();
    bool right = false;
    for (auto _ : state) {
        // Back and forth, so that every step is a real change.
        right = !right;
        editor.surface->moveTo({editor.handle.midX() + (right ? 40 : -40), y}, false);
    }
    state.counters["repaintRects"] = static_cast<double>(editor.repaintRects);
    state.counters["ofA60HzFrame"] = benchmark::Counter(frame, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void saves(benchmark::State& state, std::shared_ptr<DocumentFileSystem> files) {
    Editor editor(std::move(files));
    for (auto _ : state) editor.zones.updateLibrary([](LayoutLibrary&) {});
    state.counters["ofA60HzFrame"] = benchmark::Counter(frame, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_DividerDragStep_InMemory(benchmark::State& state) { dragSteps(state, std::make_shared<MemoryFileSystem>()); }
void BM_Reference_SaveOnly_InMemory(benchmark::State& state) { saves(state, std::make_shared<MemoryFileSystem>()); }
void BM_DividerDragStep_OnFile(benchmark::State& state) { dragSteps(state, DocumentFileSystem::standard()); }
void BM_Reference_SaveOnly_OnFile(benchmark::State& state) { saves(state, DocumentFileSystem::standard()); }

BENCHMARK(BM_DividerDragStep_InMemory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reference_SaveOnly_InMemory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DividerDragStep_OnFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reference_SaveOnly_OnFile)->Unit(benchmark::kMicrosecond);

}  // namespace
