#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TessaryCore/ClosedRange.h"
#include "TessaryCore/Expected.h"
#include "TessaryCore/JSONCoding.h"

namespace tessary {

// Why a grid could not be built or edited. Two errors are equal when they are the same case with
// the same number; the cases without a number carry 0.
struct ZoneGridError {
    enum class Case {
        zoneNotRectangular,
        unknownZone,
        emptyGrid,
        shapeMismatch,
        nonPositiveWeight,
        zoneIndicesNotContiguous,
        mergeNotRectangular,
        invalidFraction,
        unknownDivider,
    };

    Case kind = Case::emptyGrid;
    std::int64_t zone = 0;

    static ZoneGridError zoneNotRectangular(std::int64_t n) { return {Case::zoneNotRectangular, n}; }
    static ZoneGridError unknownZone(std::int64_t n) { return {Case::unknownZone, n}; }
    static ZoneGridError emptyGrid() { return {Case::emptyGrid, 0}; }
    static ZoneGridError shapeMismatch() { return {Case::shapeMismatch, 0}; }
    static ZoneGridError nonPositiveWeight() { return {Case::nonPositiveWeight, 0}; }
    static ZoneGridError zoneIndicesNotContiguous() { return {Case::zoneIndicesNotContiguous, 0}; }
    static ZoneGridError mergeNotRectangular() { return {Case::mergeNotRectangular, 0}; }
    static ZoneGridError invalidFraction() { return {Case::invalidFraction, 0}; }
    static ZoneGridError unknownDivider() { return {Case::unknownDivider, 0}; }

    // The text the editor shows: the case name, with the zone number in parentheses for the two
    // cases that carry one ("unknownZone(9)").
    std::string description() const;

    friend bool operator==(const ZoneGridError&, const ZoneGridError&) = default;
};

// The body of a grid layout: weighted rows and columns whose cells are grouped into numbered zones,
// each zone a filled rectangle of cells. Positions along an axis are in cumulative-weight units.
//
// A grid read from a file may break the rules (it is kept as stored so that nothing the user made is
// lost); the geometry copes with it, and the edits refuse a grid whose shape or weights are invalid.
struct ZoneGrid {
    enum class SplitAxis {
        horizontal,  // a line between rows: splits a zone into a top and a bottom part
        vertical,    // a line between columns: splits a zone into a left and a right part
    };

    // One draggable run of a boundary between two tracks.
    struct DividerSegment {
        SplitAxis axis = SplitAxis::horizontal;
        double position = 0;
        // Columns for a horizontal segment, rows for a vertical one.
        ClosedRange<std::int64_t> tracks;
        ClosedRange<double> travel;

        friend bool operator==(const DividerSegment&, const DividerSegment&) = default;
    };

    // The block of rows and columns that holds every cell of one zone.
    struct CellBounds {
        ClosedRange<std::int64_t> rows;
        ClosedRange<std::int64_t> columns;

        friend bool operator==(const CellBounds&, const CellBounds&) = default;
    };

    std::vector<double> rowWeights;
    std::vector<double> columnWeights;
    // Row-major: cellZones[r][c] is the zone that owns the cell in row r, column c.
    std::vector<std::vector<std::int64_t>> cellZones;

    // Validates, renumbers the zones in reading order and validates the rest. Identical neighbouring
    // tracks are kept.
    static Expected<ZoneGrid, ZoneGridError> make(std::vector<double> rowWeights, std::vector<double> columnWeights,
                                                  std::vector<std::vector<std::int64_t>> cellZones);
    // rows x columns single-cell zones with unit weights; both counts at least 1.
    static ZoneGrid uniform(std::int64_t rows, std::int64_t columns);

    std::int64_t rowCount() const { return static_cast<std::int64_t>(rowWeights.size()); }
    std::int64_t columnCount() const { return static_cast<std::int64_t>(columnWeights.size()); }
    // The largest zone number in the cells plus one; 0 when there are no cells (or only negative
    // numbers). Saturates rather than overflow on a stored number at the top of the range.
    std::int64_t zoneCount() const;
    std::optional<CellBounds> cellBounds(std::int64_t zone) const;

    // The first rule the grid breaks, without renumbering; nothing for a valid grid.
    std::optional<ZoneGridError> validationError() const;
    // Only the rules on the number of tracks, the shape of the cell table and the weights: what
    // every edit needs before it can index cells by track.
    std::optional<ZoneGridError> shapeError() const;

    // Merges the zones into one rectangular zone; gives its number after renumbering.
    Expected<std::int64_t, ZoneGridError> merge(const std::set<std::int64_t>& zones);
    // Splits zone n at a fraction of its extent; gives the number of the new part (the bottom or
    // right one) after renumbering. A cut that would fall on the zone's own edge is refused.
    Expected<std::int64_t, ZoneGridError> split(std::int64_t zone, SplitAxis axis, double fraction);
    // Every horizontal segment, then every vertical one; nothing on a grid of invalid shape or weights.
    std::vector<DividerSegment> dividers() const;
    Expected<void, ZoneGridError> moveDivider(const DividerSegment& segment, double position);
    // Shares the combined weight of track i and track i + 1 as fraction : 1 - fraction.
    Expected<void, ZoneGridError> resizeRows(std::int64_t index, double fraction);
    Expected<void, ZoneGridError> resizeColumns(std::int64_t index, double fraction);

    // Writes the fields as they are; a non-finite weight is an EncodingError.
    json::Json toJSON() const;
    // A valid grid has its identical neighbouring tracks collapsed; one that breaks the rules is
    // kept exactly as stored.
    static ZoneGrid fromJSON(const json::Json& value);

    friend bool operator==(const ZoneGrid&, const ZoneGrid&) = default;
};

}  // namespace tessary

template <>
struct std::hash<tessary::ZoneGrid> {
    std::size_t operator()(const tessary::ZoneGrid& grid) const noexcept;
};

template <>
struct std::hash<tessary::ZoneGrid::DividerSegment> {
    std::size_t operator()(const tessary::ZoneGrid::DividerSegment& segment) const noexcept;
};
