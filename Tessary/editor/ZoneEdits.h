#pragma once

// The edits the layout editor makes to a layout's body, as transforms of a grid or a canvas. Each
// either changes the body or refuses with a ZoneEditError and leaves it as it was. A refused
// number that is not finite matters beyond this edit: one NaN stored in the library would make
// every later save of "layouts.json" fail, so no transform ever writes one.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "TessaryCore/Expected.h"
#include "TessaryCore/Geometry.h"
#include "TessaryCore/ZoneCanvas.h"
#include "TessaryCore/ZoneGrid.h"

namespace tessary {

// Why an edit of a layout's zones was refused: a grid rule, or a number that is not finite.
class ZoneEditError {
public:
    // A number that is not finite (what a default-made error means, as Expected needs one).
    ZoneEditError() = default;
    // Grid transforms hand their grid errors on unchanged.
    ZoneEditError(ZoneGridError grid) : grid_(grid) {}
    static ZoneEditError nonFiniteNumber() { return ZoneEditError(); }

    const std::optional<ZoneGridError>& gridError() const { return grid_; }
    // The text the editor shows in place of its help line: the grid error's case name
    // ("mergeNotRectangular", "unknownZone(3)"), or "nonFiniteNumber".
    std::string description() const;

    friend bool operator==(const ZoneEditError&, const ZoneEditError&) = default;

private:
    std::optional<ZoneGridError> grid_;
};

namespace ZoneEdits {

// The share of an axis that each track beside a dragged divider keeps at least.
inline constexpr double dividerMargin = 0.04;

// Moves the dragged segment (and, with wholeLine, every run of the same line) towards `target`,
// both in cumulative-weight units: clamped so the tracks beside it keep dividerMargin of the axis,
// then snapped to another segment of the same axis within `tolerance` when that one lies inside the
// clamp. Gives the position applied, or nothing when the grid was left alone (the segment is gone
// or has no room). A grid error from moving any run refuses the whole move.
Expected<std::optional<double>, ZoneEditError> moveDivider(ZoneGrid& grid, const ZoneGrid::DividerSegment& segment,
                                                           double target, double tolerance, bool wholeLine);

// The smallest zone a canvas keeps, in reference points, whatever its reference size.
inline constexpr double minimumZoneWidth = 80;
inline constexpr double minimumZoneHeight = 60;

// Rectangle `index` becomes `frame` made whole: a negative width or height taken by its magnitude
// with the given origin kept, the size within the minimum and the reference size, the origin moved
// in so that the zone lies inside the reference size (else at 0). An index that names no zone
// changes nothing.
Expected<void, ZoneEditError> setZoneFrame(ZoneCanvas& canvas, std::int64_t index, const Rect& frame);

// Appends a zone 0.4 of the reference size, centred and then 40 points further right and down for
// each zone already there (five steps, then from the centre again), passed through setZoneFrame's
// clamp so that it lies on the canvas at no less than the minimum size.
Expected<void, ZoneEditError> addZone(ZoneCanvas& canvas);

// Keeps, in order, the rectangles whose index is not in the set; unknown indices are ignored.
void deleteZones(ZoneCanvas& canvas, const std::set<std::int64_t>& indices);

}  // namespace ZoneEdits

}  // namespace tessary
