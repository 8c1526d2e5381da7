#include "TessaryCore/LayoutTemplate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <string>

namespace tessary {

namespace {

constexpr Size kReferenceSize{1920, 1080};

// The templates' tables are valid by construction; a refusal here is a programming error.
ZoneGrid validGrid(std::vector<double> rows, std::vector<double> columns, std::vector<std::vector<std::int64_t>> cells) {
    auto grid = ZoneGrid::make(std::move(rows), std::move(columns), std::move(cells));
    if (!grid) std::abort();
    return std::move(grid).value();
}

// n rectangles of 60 % of the reference size, cascaded so that the whole cascade is centred.
ZoneCanvas focusBody(std::int64_t n) {
    ZoneCanvas canvas{kReferenceSize, {}};
    const double firstX = (768.0 - 96.0 * static_cast<double>(n - 1)) / 2;
    const double firstY = (432.0 - 54.0 * static_cast<double>(n - 1)) / 2;
    for (std::int64_t i = 0; i < n; ++i) {
        const auto step = static_cast<double>(i);
        canvas.zones.emplace_back(firstX + 96.0 * step, firstY + 54.0 * step, 1152, 648);
    }
    return canvas;
}

ZoneGrid rowsBody(std::int64_t n) {
    std::vector<std::vector<std::int64_t>> cells;
    for (std::int64_t i = 0; i < n; ++i) cells.push_back({i});
    return validGrid(std::vector<double>(static_cast<std::size_t>(n), 1.0), {1.0}, std::move(cells));
}

// A near-square grid: floor(sqrt(n)) rows, the first rows taking the leftover zones, over as many
// columns as every row's zone count divides.
ZoneGrid gridBody(std::int64_t n) {
    auto rows = static_cast<std::int64_t>(std::sqrt(static_cast<double>(n)));
    while (rows * rows > n) --rows;
    while ((rows + 1) * (rows + 1) <= n) ++rows;
    rows = std::max<std::int64_t>(rows, 1);
    const std::int64_t base = n / rows;
    const std::int64_t extra = n % rows;
    std::vector<std::int64_t> counts;
    std::int64_t columns = 1;
    for (std::int64_t r = 0; r < rows; ++r) {
        counts.push_back(r < extra ? base + 1 : base);
        columns = std::lcm(columns, counts.back());
    }
    std::vector<std::vector<std::int64_t>> cells;
    std::int64_t zone = 0;
    for (std::int64_t count : counts) {
        std::vector<std::int64_t> row;
        const std::int64_t span = columns / count;
        for (std::int64_t z = 0; z < count; ++z, ++zone) row.insert(row.end(), static_cast<std::size_t>(span), zone);
        cells.push_back(std::move(row));
    }
    return validGrid(std::vector<double>(static_cast<std::size_t>(rows), 1.0),
                     std::vector<double>(static_cast<std::size_t>(columns), 1.0), std::move(cells));
}

ZoneGrid priorityGridBody(std::int64_t n) {
    switch (n) {
        case 1: return validGrid({1}, {1}, {{0}});
        case 2: return validGrid({1}, {3, 2}, {{0, 1}});
        case 3: return validGrid({1}, {1, 2, 1}, {{0, 1, 2}});
        case 4: return validGrid({1, 1}, {1, 2, 1}, {{0, 1, 2}, {0, 1, 3}});
        case 5: return validGrid({1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 1, 4}});
        case 6: return validGrid({1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 4, 5}});
        default: return gridBody(n);
    }
}

}  // namespace

std::string_view LayoutTemplate::rawValue() const {
    switch (value) {
        case focus: return "focus";
        case columns: return "columns";
        case rows: return "rows";
        case grid: return "grid";
        case priorityGrid: return "priorityGrid";
        case blank: return "blank";
    }
    return "blank";
}

std::optional<LayoutTemplate> LayoutTemplate::fromRawValue(std::string_view text) {
    for (Case c : allCases) {
        if (LayoutTemplate(c).rawValue() == text) return LayoutTemplate(c);
    }
    return std::nullopt;
}

std::string_view LayoutTemplate::displayName() const {
    switch (value) {
        case focus: return "Focus";
        case columns: return "Columns";
        case rows: return "Rows";
        case grid: return "Grid";
        case priorityGrid: return "Priority Grid";
        case blank: return "Blank";
    }
    return "Blank";
}

LayoutKind LayoutTemplate::kind(std::int64_t zoneCount) const {
    const std::int64_t n = std::clamp<std::int64_t>(zoneCount, 1, maximumZoneCount);
    switch (value) {
        case focus: return focusBody(n);
        case columns: return ZoneGrid::uniform(1, n);
        case rows: return rowsBody(n);
        case grid: return gridBody(n);
        case priorityGrid: return priorityGridBody(n);
        case blank: return ZoneCanvas{kReferenceSize, {}};
    }
    return ZoneCanvas{kReferenceSize, {}};
}

LayoutTemplate LayoutTemplate::fromJSON(const json::Json& value) {
    const std::string text = json::asString(value, "template");
    if (auto t = fromRawValue(text)) return *t;
    throw json::DecodingError("Cannot initialize LayoutTemplate from invalid String value " + text);
}

}  // namespace tessary
