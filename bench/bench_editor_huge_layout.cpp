// A change of the library (a layout assigned to a display) while the grid editor shows a layout of
// 300 x 300 zones that synchronisation brought, inside the 100-layout library: the save of
// "layouts.json" and the editor surface's rebuild, which every library change runs before the
// request that made it is answered. Beside it the same change with a 4 x 4 layout shown, and the
// bare save with the huge layout in the library, as references.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "Tessary/editor/GridEditorModel.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "Tessary/services/ZoneService.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "bench/BenchDocuments.h"

using namespace tessary;
using tessary::bench::MemoryFileSystem;

namespace {

struct Editor {
    Editor(std::int64_t side, bool shown)
        : zones(std::make_shared<FakeWindowEngine>(),
                JSONDocumentStore<LayoutLibrary>("/bench/layouts.json", std::make_shared<MemoryFileSystem>())) {
        LayoutLibrary library = bench::hundredLayouts();
        library.layouts.emplace_back(UUID::random(), "Huge", LayoutKind(ZoneGrid::uniform(side, side)), 0, 0,
                                     std::nullopt, Date(0));
        const UUID huge = library.layouts.back().id;
        other = library.layouts.front().id;
        zones.setLibrary(std::move(library));
        model = std::make_unique<LayoutEditorModel>(zones);
        if (shown) {
            model->setSelectedLayoutID(huge);
            surface = std::make_unique<GridEditorModel>(*model);
            surface->setSize({816, 616});
            surface->setWorkArea(Rect(0, 0, 1920, 1080));
        }
    }

    ZoneService zones;
    UUID other;
    std::unique_ptr<LayoutEditorModel> model;
    std::unique_ptr<GridEditorModel> surface;
};

void assignments(benchmark::State& state, std::int64_t side, bool shown) {
    Editor editor(side, shown);
    bool left = false;
    for (auto _ : state) {
        // Alternating keys, so that every change is a real one.
        left = !left;
        const DisplayKey key(left ? "LEFT" : "RIGHT", 1920, 1080);
        editor.zones.updateLibrary([&](LayoutLibrary& library) { library.assign(editor.other, key); });
    }
}

void BM_AssignWhileShowing300x300(benchmark::State& state) { assignments(state, 300, true); }
void BM_Reference_AssignWhileShowing4x4(benchmark::State& state) { assignments(state, 4, true); }
void BM_Reference_AssignWith300x300NotShown(benchmark::State& state) { assignments(state, 300, false); }

BENCHMARK(BM_AssignWhileShowing300x300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference_AssignWhileShowing4x4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference_AssignWith300x300NotShown)->Unit(benchmark::kMillisecond);

}  // namespace
