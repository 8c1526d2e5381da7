#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Signal.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "TessaryCore/Geometry.h"
#include "TessaryCore/Zone.h"
#include "TessaryCore/ZoneGrid.h"

namespace tessary {

// Where the dividers of a grid lie in the editor and how points convert to weight units. `inner`
// is the drawing area inset by the layout's padding; spacing is drawn unscaled.
struct DividerMetrics {
    ZoneGrid grid;
    double spacing = 0;
    Rect inner;

    // The invisible handle of a divider: centred on the gap between its two tracks, at least 12
    // points thick, as long as the tracks it spans (at least 1 point).
    Rect handleRect(const ZoneGrid::DividerSegment& segment) const;
    // A length along the axis (a horizontal divider's axis runs down the rows) in weight units.
    double weightUnits(double length, ZoneGrid::SplitAxis axis) const;
};

// What a grid cell says: its number and, with a reference work area, the zone's size on screen and
// its share of the work area.
struct ZoneSizeLabel {
    std::string number;
    double numberFontSize = 11;
    // Empty when not shown.
    std::string sizeLine;
    double sizeFontSize = 9;
    std::string percentLine;
    double percentFontSize = 8;

    // `zone` is in editor points; `onScreen` holds the layout's zones in `workArea`. A work area
    // without a positive, finite size shows the number alone (its percentages would be infinite).
    static ZoneSizeLabel make(const Zone& zone, const std::vector<Zone>& onScreen, const std::optional<Rect>& workArea);

    friend bool operator==(const ZoneSizeLabel&, const ZoneSizeLabel&) = default;
};

// The grid editor's surface without its widget: the cells it draws for the offered size, the
// divider handles, where a click goes, and the divider drag. A drag calls the editor model on every
// change, so the library is saved once per step. Each change reports the rectangles to repaint:
// the old and new frames of the cells that changed, nothing else.
//
// A drag lives from a press to its release: a new press always starts afresh, and cancelDrag()
// (a lost grab, the view hidden) or a change of the selected layout ends it, so a release that
// never came cannot make the next drag move an old divider, possibly of another layout.
class GridEditorModel final {
public:
    struct Cell {
        Zone zone;   // editor points
        Rect frame;  // never smaller than 1 x 1
        bool selected = false;
        ZoneSizeLabel label;

        friend bool operator==(const Cell&, const Cell&) = default;
    };

    // The drawing area's inset from the offered size.
    static constexpr double inset = 8;
    // The snapping distance of a divider drag, in points.
    static constexpr double snapTolerance = 5;

    explicit GridEditorModel(LayoutEditorModel& model);
    GridEditorModel(const GridEditorModel&) = delete;
    GridEditorModel& operator=(const GridEditorModel&) = delete;

    void setSize(Size offered);
    // The reference display's work area (screen points); nothing without a display.
    void setWorkArea(std::optional<Rect> workArea);

    // Empty unless the selected layout is a grid.
    const std::vector<Cell>& cells() const { return cells_; }
    const std::vector<ZoneGrid::DividerSegment>& dividers() const { return dividers_; }
    // One per divider, in the same order.
    const std::vector<Rect>& handles() const { return handles_; }
    const std::optional<DividerMetrics>& metrics() const { return metrics_; }
    // The divider whose handle holds the point; where two cross, the one whose centre line is
    // nearer across it (a tie goes to the row divider).
    std::optional<ZoneGrid::DividerSegment> segment(Point p) const;

    // A click: on a handle nothing, on a zone toggles it, elsewhere empties the selection.
    void click(Point p);
    // The pointer: a press and a release within 1 point is a click; otherwise each move drags the
    // divider found under the press, with the whole-line flag (Alt) as it is at that move.
    void press(Point p);
    void moveTo(Point p, bool wholeLine);
    void release(Point p);
    void cancelDrag();
    // The divider being dragged, at the position last applied.
    const std::optional<ZoneGrid::DividerSegment>& dragged() const { return dragged_; }

    // Told after each change with the editor rectangles that look different.
    std::function<void(const std::vector<Rect>&)> onRepaint;

private:
    void rebuild();
    void dragDivider(Point location, bool wholeLine);

    LayoutEditorModel& model_;
    Size offered_;
    std::optional<Rect> workArea_;
    std::vector<Cell> cells_;
    std::vector<ZoneGrid::DividerSegment> dividers_;
    std::vector<Rect> handles_;
    std::optional<DividerMetrics> metrics_;
    std::vector<Rect> repaint_;

    bool pressed_ = false;
    bool dragging_ = false;
    Point pressPoint_;
    std::optional<ZoneGrid::DividerSegment> dragged_;
    std::optional<UUID> layoutID_;
    // The layout the cells were built from: a library change that leaves it as it was (an
    // assignment, another layout, a sync of other documents) rebuilds nothing.
    std::optional<ZoneLayout> shown_;

    Subscription librarySubscription_;
    Subscription editorSubscription_;
};

}  // namespace tessary
