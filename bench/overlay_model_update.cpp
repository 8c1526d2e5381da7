// The overlay's share of one drag event on three displays of twelve zones each: the highlight
// assignment to every display's model (as the overlay controller makes it) and the repaint
// rectangles the view asks for.

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "Tessary/services/OverlayModel.h"

using namespace tessary;

namespace {

constexpr int displayCount = 3;
constexpr double tileReach = 38;

struct Overlay {
    std::array<OverlayModel, displayCount> models;
    std::vector<Rect> repaint;

    Overlay() {
        repaint.reserve(64);
        for (int d = 0; d < displayCount; ++d) {
            // A 4 x 3 grid on a 1920 x 1080 display.
            std::vector<Zone> zones;
            for (int i = 0; i < 12; ++i) {
                zones.push_back({i, Rect((i % 4) * 480.0, (i / 4) * 360.0, 480, 360)});
            }
            models[d].setZones(std::move(zones));
            OverlayModel& model = models[d];
            model.onChange = [this, &model](const OverlayModelChange& change) {
                model.appendRepaintRects(change, tileReach, repaint);
            };
        }
    }

    // What the overlay controller does for one highlight call.
    void setHighlighted(std::span<const std::int64_t> indices, int display) {
        repaint.clear();
        for (int d = 0; d < displayCount; ++d) {
            if (d == display) {
                models[d].setHighlighted(indices);
            } else {
                models[d].clearHighlight();
            }
        }
    }
};

// The pointer moves from one zone to the next on every event: every call is a real change.
void BM_HighlightMovesToAnotherZone(benchmark::State& state) {
    Overlay overlay;
    const std::array<std::int64_t, 1> a{5}, b{6};
    bool flip = false;
    for (auto _ : state) {
        overlay.setHighlighted(flip ? a : b, 1);
        flip = !flip;
        benchmark::DoNotOptimize(overlay.repaint.data());
    }
}
BENCHMARK(BM_HighlightMovesToAnotherZone);

// The pointer stays in its zone: the models see an equal value and tell nobody.
void BM_HighlightUnchanged(benchmark::State& state) {
    Overlay overlay;
    const std::array<std::int64_t, 1> a{5};
    overlay.setHighlighted(a, 1);
    for (auto _ : state) {
        overlay.setHighlighted(a, 1);
        benchmark::DoNotOptimize(overlay.repaint.data());
    }
}
BENCHMARK(BM_HighlightUnchanged);

// A span grows and shrinks by one zone, and the pointer crosses to another display.
void BM_SpanAndDisplayChange(benchmark::State& state) {
    Overlay overlay;
    const std::array<std::int64_t, 3> span{4, 5, 6};
    const std::array<std::int64_t, 4> wider{4, 5, 6, 7};
    int step = 0;
    for (auto _ : state) {
        switch (step++ % 3) {
        case 0: overlay.setHighlighted(span, 0); break;
        case 1: overlay.setHighlighted(wider, 0); break;
        default: overlay.setHighlighted(span, 2); break;
        }
        benchmark::DoNotOptimize(overlay.repaint.data());
    }
}
BENCHMARK(BM_SpanAndDisplayChange);

}  // namespace
