#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "TessaryCore/ZoneGeometry.h"
#include "TessaryCore/ZoneGrid.h"

using namespace tessary;

namespace {

// A successful edit keeps a valid grid valid; a refused one changes nothing.
void check(const ZoneGrid& before, const ZoneGrid& after, bool succeeded) {
    if (!succeeded && !(before == after)) std::abort();
    if (succeeded && !before.validationError() && after.validationError()) std::abort();
}

void exerciseEdits(const ZoneGrid& grid) {
    std::set<std::int64_t> numbers;
    for (const auto& row : grid.cellZones) {
        for (std::int64_t zone : row) {
            if (numbers.size() < 6) numbers.insert(zone);
        }
    }
    numbers.insert(-1);
    numbers.insert(grid.zoneCount());

    for (std::int64_t a : numbers) {
        for (std::int64_t b : numbers) {
            ZoneGrid g = grid;
            check(grid, g, g.merge({a, b}).hasValue());
        }
        for (double fraction : {0.5, 0.3, 1e-12, 1 - 1e-12, 0.0, -1.0}) {
            for (auto axis : {ZoneGrid::SplitAxis::horizontal, ZoneGrid::SplitAxis::vertical}) {
                ZoneGrid g = grid;
                check(grid, g, g.split(a, axis, fraction).hasValue());
            }
        }
    }
    const auto segments = grid.dividers();
    for (std::size_t i = 0; i < segments.size() && i < 8; ++i) {
        const auto& s = segments[i];
        const double span = s.travel.upperBound - s.travel.lowerBound;
        for (double t : {0.25, 0.5, 0.999, 1e-11, -0.5}) {
            ZoneGrid g = grid;
            check(grid, g, g.moveDivider(s, s.travel.lowerBound + span * t).hasValue());
        }
    }
    for (std::int64_t index : {-1, 0, 1, 2}) {
        ZoneGrid rows = grid;
        check(grid, rows, rows.resizeRows(index, 0.4).hasValue());
        ZoneGrid columns = grid;
        check(grid, columns, columns.resizeColumns(index, 0.6).hasValue());
    }
}

}  // namespace

// Arbitrary bytes decoded as a grid, then every edit and the geometry on what decodes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ZoneGrid grid;
    try {
        grid = ZoneGrid::fromJSON(json::parse(std::string_view(reinterpret_cast<const char*>(data), size)));
    } catch (const json::DecodingError&) {
        return 0;
    }
    exerciseEdits(grid);
    const ZoneLayout layout(UUID(), "fuzz", LayoutKind(grid), 8, 8, std::nullopt, Date());
    (void)ZoneGeometry::zones(layout, Rect(0, 0, 2560, 1440));
    try {
        (void)ZoneGrid::fromJSON(grid.toJSON());
    } catch (const json::EncodingError&) {
    }
    return 0;
}
