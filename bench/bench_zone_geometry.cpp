#include <benchmark/benchmark.h>

#include <array>

#include "TessaryCore/Zone.h"
#include "TessaryCore/ZoneGeometry.h"
#include "TessaryCore/ZoneHitTest.h"

using namespace tessary;

namespace {

ZoneLayout gridLayout(std::int64_t zones) {
    return ZoneLayout(UUID(), "bench", LayoutTemplate(LayoutTemplate::grid).kind(zones), 8, 8, std::nullopt, Date());
}

// Points spread over a 2560 x 1440 work area, so that hits land in every zone and in the gaps.
std::array<Point, 64> samplePoints(const Rect& area) {
    std::array<Point, 64> points{};
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i] = Point{area.minX() + area.width() * static_cast<double>((i * 37) % 64) / 64.0,
                          area.minY() + area.height() * static_cast<double>((i * 11) % 64) / 64.0};
    }
    return points;
}

void BM_ZonesFor12ZoneGrid(benchmark::State& state) {
    const ZoneLayout layout = gridLayout(12);
    const Rect workArea(0, 25, 2560, 1415);
    for (auto _ : state) benchmark::DoNotOptimize(ZoneGeometry::zones(layout, workArea));
}
BENCHMARK(BM_ZonesFor12ZoneGrid);

void BM_HitTestAmong36Zones(benchmark::State& state) {
    const Rect workArea(0, 0, 2560, 1440);
    const std::vector<Zone> zones = ZoneGeometry::zones(gridLayout(36), workArea);
    const auto points = samplePoints(workArea);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ZoneHitTest::zoneAt(points[i++ % points.size()], zones));
    }
}
BENCHMARK(BM_HitTestAmong36Zones);

// What one drag event costs the model on 3 displays of 12 zones each: find the display under the
// cursor, hit-test its zones, grow the span selection and take the union frame.
void BM_DragEventThreeDisplays(benchmark::State& state) {
    const std::array<Rect, 3> displays{Rect(0, 0, 2560, 1440), Rect(2560, 0, 1920, 1080), Rect(4480, 0, 1080, 1920)};
    std::array<std::vector<Zone>, 3> zones;
    for (std::size_t d = 0; d < displays.size(); ++d) zones[d] = ZoneGeometry::zones(gridLayout(12), displays[d]);
    const auto points = samplePoints(Rect(0, 0, 5560, 1920));
    SpanSelection selection;
    std::size_t i = 0;
    for (auto _ : state) {
        const Point p = points[i++ % points.size()];
        for (std::size_t d = 0; d < displays.size(); ++d) {
            if (!displays[d].contains(p)) continue;
            if (const auto zone = ZoneHitTest::zoneAt(p, zones[d])) {
                if (selection.zoneIndices.size() > 4) selection.removeAll();
                selection.insert(zone->index);
                benchmark::DoNotOptimize(selection.unionRect(zones[d]));
            }
            break;
        }
    }
}
BENCHMARK(BM_DragEventThreeDisplays);

}  // namespace
