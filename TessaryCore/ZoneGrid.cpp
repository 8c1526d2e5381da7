#include "TessaryCore/ZoneGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "TessaryCore/DisplayKey.h"

namespace tessary {

namespace {

using Cells = std::vector<std::vector<std::int64_t>>;

// Positions closer than this to a boundary are taken to be on it.
constexpr double kEpsilon = 1e-9;

bool isUsableWeight(double weight) { return weight > 0 && std::isfinite(weight); }

// The grid with rows and columns swapped. Only for grids whose cell table matches the weights.
void transpose(ZoneGrid& grid) {
    Cells swapped(grid.columnWeights.size(), std::vector<std::int64_t>(grid.rowWeights.size()));
    for (std::size_t r = 0; r < grid.cellZones.size(); ++r) {
        for (std::size_t c = 0; c < grid.cellZones[r].size(); ++c) swapped[c][r] = grid.cellZones[r][c];
    }
    grid.cellZones = std::move(swapped);
    std::swap(grid.rowWeights, grid.columnWeights);
}

// Joins each run of identical neighbouring rows into one row carrying their combined weight. A pair
// whose combined weight would not be finite stays apart, so collapsing never breaks the weight rule.
void collapseRows(ZoneGrid& grid) {
    if (grid.cellZones.size() < 2) return;
    Cells cells;
    std::vector<double> weights;
    cells.reserve(grid.cellZones.size());
    weights.reserve(grid.rowWeights.size());
    for (std::size_t r = 0; r < grid.cellZones.size(); ++r) {
        if (!cells.empty() && grid.cellZones[r] == cells.back() && std::isfinite(weights.back() + grid.rowWeights[r])) {
            weights.back() += grid.rowWeights[r];
            continue;
        }
        cells.push_back(std::move(grid.cellZones[r]));
        weights.push_back(grid.rowWeights[r]);
    }
    grid.cellZones = std::move(cells);
    grid.rowWeights = std::move(weights);
}

void collapse(ZoneGrid& grid) {
    collapseRows(grid);
    transpose(grid);
    collapseRows(grid);
    transpose(grid);
}

// Renumbers the zones in reading order: the first distinct number met becomes 0, and so on.
void renumber(Cells& cells) {
    std::unordered_map<std::int64_t, std::int64_t> numbers;
    for (auto& row : cells) {
        for (auto& cell : row) {
            const auto [it, inserted] = numbers.try_emplace(cell, static_cast<std::int64_t>(numbers.size()));
            cell = it->second;
        }
    }
}

// Cuts the rows at position p (cumulative-weight units) and gives the index of the first row after
// the cut. A position within kEpsilon of an existing boundary reuses it; otherwise the row it falls
// in is split in two, its cells duplicated.
std::size_t cutRows(ZoneGrid& grid, double p) {
    auto& weights = grid.rowWeights;
    double start = 0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        if (std::abs(p - start) < kEpsilon) return i;
        const double end = start + weights[i];
        if (p < end - kEpsilon) {
            weights[i] = p - start;
            weights.insert(weights.begin() + static_cast<std::ptrdiff_t>(i) + 1, end - p);
            grid.cellZones.insert(grid.cellZones.begin() + static_cast<std::ptrdiff_t>(i) + 1, grid.cellZones[i]);
            return i + 1;
        }
        start = end;
    }
    return weights.size();
}

std::vector<double> prefixSums(const std::vector<double>& weights) {
    std::vector<double> sums(weights.size() + 1, 0.0);
    for (std::size_t i = 0; i < weights.size(); ++i) sums[i + 1] = sums[i] + weights[i];
    return sums;
}

// The first and last row of every zone number present.
std::unordered_map<std::int64_t, ClosedRange<std::size_t>> rowSpans(const Cells& cells) {
    std::unordered_map<std::int64_t, ClosedRange<std::size_t>> spans;
    for (std::size_t r = 0; r < cells.size(); ++r) {
        for (std::int64_t zone : cells[r]) {
            const auto [it, inserted] = spans.try_emplace(zone, ClosedRange<std::size_t>{r, r});
            if (!inserted) it->second.upperBound = r;
        }
    }
    return spans;
}

// The segments of the boundaries between rows, labelled with the given axis. Only for grids of valid shape.
std::vector<ZoneGrid::DividerSegment> rowDividers(const ZoneGrid& grid, ZoneGrid::SplitAxis axis) {
    std::vector<ZoneGrid::DividerSegment> segments;
    const auto& cells = grid.cellZones;
    if (cells.size() < 2) return segments;
    const std::vector<double> sums = prefixSums(grid.rowWeights);
    const auto spans = rowSpans(cells);
    for (std::size_t b = 1; b < cells.size(); ++b) {
        const auto& upper = cells[b - 1];
        const auto& lower = cells[b];
        std::size_t c = 0;
        while (c < upper.size()) {
            if (upper[c] == lower[c]) {
                ++c;
                continue;
            }
            const std::size_t first = c;
            std::size_t next = c + 1;
            while (next < upper.size() && upper[next] != lower[next] &&
                   (upper[next] == upper[next - 1] || lower[next] == lower[next - 1])) {
                ++next;
            }
            double travelLower = -std::numeric_limits<double>::infinity();
            double travelUpper = std::numeric_limits<double>::infinity();
            for (std::size_t i = first; i < next; ++i) {
                travelLower = std::max(travelLower, sums[spans.at(upper[i]).lowerBound]);
                travelUpper = std::min(travelUpper, sums[spans.at(lower[i]).upperBound + 1]);
            }
            segments.push_back(ZoneGrid::DividerSegment{
                axis, sums[b],
                ClosedRange<std::int64_t>{static_cast<std::int64_t>(first), static_cast<std::int64_t>(next - 1)},
                ClosedRange<double>{travelLower, travelUpper}});
            c = next;
        }
    }
    return segments;
}

Expected<void, ZoneGridError> resizeTracks(std::vector<double>& weights, std::int64_t index, double fraction) {
    if (index < 0 || index + 1 >= static_cast<std::int64_t>(weights.size())) {
        return unexpected(ZoneGridError::unknownZone(index));
    }
    if (!(fraction > 0 && fraction < 1)) return unexpected(ZoneGridError::invalidFraction());
    const auto i = static_cast<std::size_t>(index);
    const double total = weights[i] + weights[i + 1];
    const double first = fraction * total;
    const double second = (1 - fraction) * total;
    // Huge or tiny weights could overflow or underflow here; the grid must stay valid.
    if (!isUsableWeight(first) || !isUsableWeight(second)) return unexpected(ZoneGridError::nonPositiveWeight());
    weights[i] = first;
    weights[i + 1] = second;
    return {};
}

// Checks 3 to 6 of validation on a grid whose shape is valid: weights, contiguous numbers, rectangles.
std::optional<ZoneGridError> zoneError(const ZoneGrid& grid) {
    struct Extent {
        std::int64_t count = 0;
        std::size_t minRow = 0, maxRow = 0, minColumn = 0, maxColumn = 0;
    };
    std::size_t cellCount = 0;
    for (const auto& row : grid.cellZones) cellCount += row.size();
    // In a valid grid the numbers are 0 to k - 1 with k at most the number of cells, so a number
    // outside that range already breaks contiguity and the table below can be indexed by number.
    std::vector<Extent> extents(cellCount);
    std::size_t distinct = 0;
    std::int64_t largest = -1;
    for (std::size_t r = 0; r < grid.cellZones.size(); ++r) {
        for (std::size_t c = 0; c < grid.cellZones[r].size(); ++c) {
            const std::int64_t zone = grid.cellZones[r][c];
            if (zone < 0 || static_cast<std::uint64_t>(zone) >= cellCount) {
                return ZoneGridError::zoneIndicesNotContiguous();
            }
            Extent& e = extents[static_cast<std::size_t>(zone)];
            if (e.count == 0) {
                ++distinct;
                e.minRow = e.maxRow = r;
                e.minColumn = e.maxColumn = c;
            } else {
                e.minRow = std::min(e.minRow, r);
                e.maxRow = std::max(e.maxRow, r);
                e.minColumn = std::min(e.minColumn, c);
                e.maxColumn = std::max(e.maxColumn, c);
            }
            ++e.count;
            largest = std::max(largest, zone);
        }
    }
    if (largest != static_cast<std::int64_t>(distinct) - 1) return ZoneGridError::zoneIndicesNotContiguous();
    for (std::size_t n = 0; n < distinct; ++n) {
        const Extent& e = extents[n];
        // The zone's cells all lie in its bounding block, so it fills the block exactly when the
        // block holds no more cells than the zone has.
        const auto area = static_cast<std::int64_t>((e.maxRow - e.minRow + 1) * (e.maxColumn - e.minColumn + 1));
        if (e.count != area) return ZoneGridError::zoneNotRectangular(static_cast<std::int64_t>(n));
    }
    return std::nullopt;
}

}  // namespace

std::string ZoneGridError::description() const {
    switch (kind) {
        case Case::zoneNotRectangular: return "zoneNotRectangular(" + std::to_string(zone) + ")";
        case Case::unknownZone: return "unknownZone(" + std::to_string(zone) + ")";
        case Case::emptyGrid: return "emptyGrid";
        case Case::shapeMismatch: return "shapeMismatch";
        case Case::nonPositiveWeight: return "nonPositiveWeight";
        case Case::zoneIndicesNotContiguous: return "zoneIndicesNotContiguous";
        case Case::mergeNotRectangular: return "mergeNotRectangular";
        case Case::invalidFraction: return "invalidFraction";
        case Case::unknownDivider: return "unknownDivider";
    }
    return "unknown";
}

std::optional<ZoneGridError> ZoneGrid::shapeError() const {
    if (rowWeights.empty() || columnWeights.empty()) return ZoneGridError::emptyGrid();
    if (cellZones.size() != rowWeights.size()) return ZoneGridError::shapeMismatch();
    for (const auto& row : cellZones) {
        if (row.size() != columnWeights.size()) return ZoneGridError::shapeMismatch();
    }
    for (double w : rowWeights) {
        if (!isUsableWeight(w)) return ZoneGridError::nonPositiveWeight();
    }
    for (double w : columnWeights) {
        if (!isUsableWeight(w)) return ZoneGridError::nonPositiveWeight();
    }
    return std::nullopt;
}

std::optional<ZoneGridError> ZoneGrid::validationError() const {
    if (auto error = shapeError()) return error;
    return zoneError(*this);
}

Expected<ZoneGrid, ZoneGridError> ZoneGrid::make(std::vector<double> rowWeights, std::vector<double> columnWeights,
                                                 std::vector<std::vector<std::int64_t>> cellZones) {
    ZoneGrid grid;
    grid.rowWeights = std::move(rowWeights);
    grid.columnWeights = std::move(columnWeights);
    grid.cellZones = std::move(cellZones);
    if (auto error = grid.shapeError()) return unexpected(*error);
    renumber(grid.cellZones);
    if (auto error = zoneError(grid)) return unexpected(*error);
    return grid;
}

ZoneGrid ZoneGrid::uniform(std::int64_t rows, std::int64_t columns) {
    rows = std::max<std::int64_t>(rows, 1);
    columns = std::max<std::int64_t>(columns, 1);
    ZoneGrid grid;
    grid.rowWeights.assign(static_cast<std::size_t>(rows), 1.0);
    grid.columnWeights.assign(static_cast<std::size_t>(columns), 1.0);
    grid.cellZones.resize(static_cast<std::size_t>(rows));
    for (std::int64_t r = 0; r < rows; ++r) {
        auto& row = grid.cellZones[static_cast<std::size_t>(r)];
        row.reserve(static_cast<std::size_t>(columns));
        for (std::int64_t c = 0; c < columns; ++c) row.push_back(r * columns + c);
    }
    return grid;
}

std::int64_t ZoneGrid::zoneCount() const {
    std::int64_t largest = -1;
    for (const auto& row : cellZones) {
        for (std::int64_t zone : row) largest = std::max(largest, zone);
    }
    if (largest == std::numeric_limits<std::int64_t>::max()) return largest;
    return largest + 1;
}

std::optional<ZoneGrid::CellBounds> ZoneGrid::cellBounds(std::int64_t zone) const {
    std::optional<CellBounds> bounds;
    for (std::size_t r = 0; r < cellZones.size(); ++r) {
        const auto row = static_cast<std::int64_t>(r);
        for (std::size_t c = 0; c < cellZones[r].size(); ++c) {
            if (cellZones[r][c] != zone) continue;
            const auto column = static_cast<std::int64_t>(c);
            if (!bounds) {
                bounds = CellBounds{{row, row}, {column, column}};
                continue;
            }
            bounds->rows.upperBound = row;  // rows are walked in order
            bounds->columns.lowerBound = std::min(bounds->columns.lowerBound, column);
            bounds->columns.upperBound = std::max(bounds->columns.upperBound, column);
        }
    }
    return bounds;
}

Expected<std::int64_t, ZoneGridError> ZoneGrid::merge(const std::set<std::int64_t>& zones) {
    if (auto error = shapeError()) return unexpected(*error);
    if (zones.empty()) return unexpected(ZoneGridError::mergeNotRectangular());

    // The bounding block of every chosen zone, found in one pass.
    std::unordered_map<std::int64_t, CellBounds> blocks;
    for (std::size_t r = 0; r < cellZones.size(); ++r) {
        for (std::size_t c = 0; c < cellZones[r].size(); ++c) {
            const std::int64_t zone = cellZones[r][c];
            if (!zones.contains(zone)) continue;
            const auto row = static_cast<std::int64_t>(r);
            const auto column = static_cast<std::int64_t>(c);
            const auto [it, inserted] = blocks.try_emplace(zone, CellBounds{{row, row}, {column, column}});
            if (inserted) continue;
            it->second.rows.upperBound = row;
            it->second.columns.lowerBound = std::min(it->second.columns.lowerBound, column);
            it->second.columns.upperBound = std::max(it->second.columns.upperBound, column);
        }
    }
    std::optional<CellBounds> block;
    for (std::int64_t zone : zones) {
        const auto it = blocks.find(zone);
        if (it == blocks.end()) return unexpected(ZoneGridError::unknownZone(zone));
        if (!block) {
            block = it->second;
            continue;
        }
        block->rows.lowerBound = std::min(block->rows.lowerBound, it->second.rows.lowerBound);
        block->rows.upperBound = std::max(block->rows.upperBound, it->second.rows.upperBound);
        block->columns.lowerBound = std::min(block->columns.lowerBound, it->second.columns.lowerBound);
        block->columns.upperBound = std::max(block->columns.upperBound, it->second.columns.upperBound);
    }
    for (auto r = block->rows.lowerBound; r <= block->rows.upperBound; ++r) {
        for (auto c = block->columns.lowerBound; c <= block->columns.upperBound; ++c) {
            if (!zones.contains(cellZones[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])) {
                return unexpected(ZoneGridError::mergeNotRectangular());
            }
        }
    }

    ZoneGrid merged = *this;
    const std::int64_t target = *zones.begin();
    for (auto r = block->rows.lowerBound; r <= block->rows.upperBound; ++r) {
        for (auto c = block->columns.lowerBound; c <= block->columns.upperBound; ++c) {
            merged.cellZones[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = target;
        }
    }
    collapse(merged);
    // The merged zone's first cell in reading order, found before renumbering changes the numbers.
    const auto first = merged.cellBounds(target);
    const auto firstRow = static_cast<std::size_t>(first->rows.lowerBound);
    const auto& row = merged.cellZones[firstRow];
    const auto firstColumn = static_cast<std::size_t>(std::find(row.begin(), row.end(), target) - row.begin());
    renumber(merged.cellZones);
    const std::int64_t result = merged.cellZones[firstRow][firstColumn];
    *this = std::move(merged);
    return result;
}

Expected<std::int64_t, ZoneGridError> ZoneGrid::split(std::int64_t zone, SplitAxis axis, double fraction) {
    if (auto error = shapeError()) return unexpected(*error);
    if (!(fraction > 0 && fraction < 1)) return unexpected(ZoneGridError::invalidFraction());
    if (!cellBounds(zone)) return unexpected(ZoneGridError::unknownZone(zone));

    // Numbering the copy in reading order first frees a new number without any risk of overflow
    // (the final renumbering gives the same result whatever numbers the zones carried).
    ZoneGrid work = *this;
    std::int64_t target = 0;
    for (std::size_t r = 0; r < cellZones.size(); ++r) {
        const auto it = std::find(cellZones[r].begin(), cellZones[r].end(), zone);
        if (it == cellZones[r].end()) continue;
        renumber(work.cellZones);
        target = work.cellZones[r][static_cast<std::size_t>(it - cellZones[r].begin())];
        break;
    }
    const std::int64_t newNumber = work.zoneCount();

    const bool vertical = axis == SplitAxis::vertical;
    if (vertical) transpose(work);
    const CellBounds before = *work.cellBounds(target);
    double start = 0;
    double extent = 0;
    for (std::int64_t r = 0; r < work.rowCount(); ++r) {
        const double w = work.rowWeights[static_cast<std::size_t>(r)];
        if (r < before.rows.lowerBound) start += w;
        else if (r <= before.rows.upperBound) extent += w;
    }
    const auto k = static_cast<std::int64_t>(cutRows(work, start + fraction * extent));
    const CellBounds after = *work.cellBounds(target);
    // A cut on the zone's own near or far edge would move the whole zone or nothing.
    if (k <= after.rows.lowerBound || k > after.rows.upperBound) return unexpected(ZoneGridError::invalidFraction());
    for (auto r = k; r <= after.rows.upperBound; ++r) {
        auto& row = work.cellZones[static_cast<std::size_t>(r)];
        for (auto c = after.columns.lowerBound; c <= after.columns.upperBound; ++c) {
            auto& cell = row[static_cast<std::size_t>(c)];
            if (cell == target) cell = newNumber;
        }
    }
    if (vertical) transpose(work);
    renumber(work.cellZones);
    const auto crossStart = static_cast<std::size_t>(after.columns.lowerBound);
    const auto cut = static_cast<std::size_t>(k);
    const std::int64_t result = vertical ? work.cellZones[crossStart][cut] : work.cellZones[cut][crossStart];
    *this = std::move(work);
    return result;
}

std::vector<ZoneGrid::DividerSegment> ZoneGrid::dividers() const {
    if (shapeError()) return {};
    std::vector<DividerSegment> segments = rowDividers(*this, SplitAxis::horizontal);
    ZoneGrid transposed = *this;
    transpose(transposed);
    std::vector<DividerSegment> vertical = rowDividers(transposed, SplitAxis::vertical);
    segments.insert(segments.end(), vertical.begin(), vertical.end());
    return segments;
}

Expected<void, ZoneGridError> ZoneGrid::moveDivider(const DividerSegment& segment, double position) {
    if (auto error = shapeError()) return unexpected(*error);
    ZoneGrid work = *this;
    const bool vertical = segment.axis == SplitAxis::vertical;
    if (vertical) transpose(work);

    std::optional<DividerSegment> found;
    for (const DividerSegment& candidate : rowDividers(work, segment.axis)) {
        if (candidate.tracks == segment.tracks && std::abs(candidate.position - segment.position) <= kEpsilon) {
            found = candidate;
            break;
        }
    }
    if (!found) return unexpected(ZoneGridError::unknownDivider());
    if (!(found->travel.lowerBound + kEpsilon < position && position < found->travel.upperBound - kEpsilon)) {
        return unexpected(ZoneGridError::invalidFraction());
    }
    if (std::abs(position - found->position) <= kEpsilon) return {};

    const std::size_t k = cutRows(work, found->position);
    const std::vector<std::int64_t> before = work.cellZones[k - 1];
    const std::vector<std::int64_t> after = work.cellZones[k];
    const std::size_t newIndex = cutRows(work, position);
    const std::size_t oldIndex = cutRows(work, found->position);
    const auto firstCross = static_cast<std::size_t>(found->tracks.lowerBound);
    const auto lastCross = static_cast<std::size_t>(found->tracks.upperBound);
    // The zones on the side the divider moves towards give up the cells it passes over.
    const auto fill = [&](std::size_t from, std::size_t to, const std::vector<std::int64_t>& source) {
        for (std::size_t t = from; t < to; ++t) {
            for (std::size_t c = firstCross; c <= lastCross; ++c) work.cellZones[t][c] = source[c];
        }
    };
    if (newIndex < oldIndex) fill(newIndex, oldIndex, after);
    else if (newIndex > oldIndex) fill(oldIndex, newIndex, before);

    if (vertical) transpose(work);
    collapse(work);
    *this = std::move(work);
    return {};
}

Expected<void, ZoneGridError> ZoneGrid::resizeRows(std::int64_t index, double fraction) {
    if (auto error = shapeError()) return unexpected(*error);
    return resizeTracks(rowWeights, index, fraction);
}

Expected<void, ZoneGridError> ZoneGrid::resizeColumns(std::int64_t index, double fraction) {
    if (auto error = shapeError()) return unexpected(*error);
    return resizeTracks(columnWeights, index, fraction);
}

json::Json ZoneGrid::toJSON() const {
    json::Json cells = json::Json::array();
    cells.get_ref<json::Json::array_t&>().reserve(cellZones.size());
    for (const auto& row : cellZones) cells.push_back(json::Json(row));
    // Members are moved in: an initializer list would copy them.
    json::Json out = json::Json::object();
    out["rowWeights"] = json::fromDoubleArray(rowWeights, "rowWeights");
    out["columnWeights"] = json::fromDoubleArray(columnWeights, "columnWeights");
    out["cellZones"] = std::move(cells);
    return out;
}

ZoneGrid ZoneGrid::fromJSON(const json::Json& value) {
    ZoneGrid grid;
    grid.rowWeights = json::asDoubleArray(json::require(value, "rowWeights"), "rowWeights");
    grid.columnWeights = json::asDoubleArray(json::require(value, "columnWeights"), "columnWeights");
    const json::Json& cells = json::asArray(json::require(value, "cellZones"), "cellZones");
    grid.cellZones.reserve(cells.size());
    for (const json::Json& row : cells) grid.cellZones.push_back(json::asInt64Array(row, "cellZones"));
    if (!grid.validationError()) collapse(grid);
    return grid;
}

}  // namespace tessary

namespace {
std::size_t hashDouble(double v) { return std::hash<double>{}(v == 0 ? 0.0 : v); }
}  // namespace

std::size_t std::hash<tessary::ZoneGrid>::operator()(const tessary::ZoneGrid& grid) const noexcept {
    std::size_t seed = grid.rowWeights.size();
    for (double w : grid.rowWeights) tessary::hashCombine(seed, hashDouble(w));
    tessary::hashCombine(seed, grid.columnWeights.size());
    for (double w : grid.columnWeights) tessary::hashCombine(seed, hashDouble(w));
    tessary::hashCombine(seed, grid.cellZones.size());
    for (const auto& row : grid.cellZones) {
        tessary::hashCombine(seed, row.size());
        for (std::int64_t zone : row) tessary::hashCombine(seed, std::hash<std::int64_t>{}(zone));
    }
    return seed;
}

std::size_t std::hash<tessary::ZoneGrid::DividerSegment>::operator()(
    const tessary::ZoneGrid::DividerSegment& segment) const noexcept {
    std::size_t seed = std::hash<int>{}(static_cast<int>(segment.axis));
    tessary::hashCombine(seed, hashDouble(segment.position));
    tessary::hashCombine(seed, std::hash<std::int64_t>{}(segment.tracks.lowerBound));
    tessary::hashCombine(seed, std::hash<std::int64_t>{}(segment.tracks.upperBound));
    tessary::hashCombine(seed, hashDouble(segment.travel.lowerBound));
    tessary::hashCombine(seed, hashDouble(segment.travel.upperBound));
    return seed;
}
