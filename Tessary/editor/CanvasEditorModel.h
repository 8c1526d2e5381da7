#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Signal.h"
#include "Tessary/editor/DestructiveConfirmation.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "TessaryCore/Geometry.h"

namespace tessary {

// The canvas editor's surface without its widget: the canvas's reference size fitted into the
// offered size, the zones it draws, what a point hits, the move and resize drags and the delete
// command. Every drag step goes through the editor model's setZoneFrame, which clamps and saves.
//
// Nothing is editable unless the fit's scale is positive and finite: an offered size of 16 points
// or less, or a stored zero reference size, would turn drags into divisions by zero or negative
// numbers, and one non-finite rectangle would make every later save of the library fail.
//
// A drag lives from a press to its release; a new press, cancelDrag() or a change of the selected
// layout ends it, so a lost release never makes the next drag move an old zone.
class CanvasEditorModel final {
public:
    struct Fit {
        double scale = 0;
        Rect canvas;  // the reference size scaled and centred, editor points

        bool isEditable() const { return scale > 0 && std::isfinite(scale) && canvas.isFinite(); }
    };

    struct ZoneView {
        std::int64_t index = 0;
        Rect frame;   // editor points
        Rect handle;  // the resize handle's area at the bottom-right corner
        bool selected = false;
        double badgeFontSize = 11;

        friend bool operator==(const ZoneView&, const ZoneView&) = default;
    };

    enum class Target { margin, background, zone, handle };
    struct Hit {
        Target target = Target::margin;
        std::int64_t index = -1;

        friend bool operator==(const Hit&, const Hit&) = default;
    };

    static constexpr double inset = 8;
    // The handle is a 14-point circle with 3 points around it.
    static constexpr double handleSize = 14 + 2 * 3;

    CanvasEditorModel(LayoutEditorModel& model, Confirm confirm);
    CanvasEditorModel(const CanvasEditorModel&) = delete;
    CanvasEditorModel& operator=(const CanvasEditorModel&) = delete;

    void setSize(Size offered);

    // Nothing unless the selected layout is a canvas.
    std::optional<Fit> fit() const;
    // Empty unless the fit is editable.
    std::vector<ZoneView> zoneViews() const;
    // The topmost thing under the point: a later zone lies over an earlier one, and a zone's handle
    // over the zone.
    Hit hit(Point p) const;

    // The pointer: a press and release within 1 point is a click (a zone toggles, the canvas
    // background empties the selection, the margin and handles do nothing); otherwise each move
    // moves or resizes the zone under the press, from its rectangle when the drag began.
    void press(Point p);
    void moveTo(Point p);
    void release(Point p);
    void cancelDrag();
    // The rectangles the dragged zones had when the drag began, reference points.
    const std::map<std::int64_t, Rect>& dragStart() const { return dragStart_; }

    // Asks before deleting the selected zones; nothing with none selected.
    void confirmDeleteSelectedZones();
    void deleteSelectedZones() { deleteSelectedZones(model_); }
    // The same for a host without a surface (the editor's command row); the editor model outlives
    // every answer.
    static void confirmDeleteSelectedZones(LayoutEditorModel& model, const Confirm& confirm);
    static void deleteSelectedZones(LayoutEditorModel& model);

    // Told after anything the view draws may have changed.
    std::function<void()> onChange;

private:
    void click(const Hit& hit);
    void dragZone(std::int64_t index, Point translation, bool resize);
    void changed() const;
    // Keeps a copy of the current layout; whether it differs from the one kept before.
    bool takeShownLayout();

    LayoutEditorModel& model_;
    Confirm confirm_;
    Size offered_;
    bool pressed_ = false;
    bool dragging_ = false;
    Point pressPoint_;
    Hit pressHit_;
    std::map<std::int64_t, Rect> dragStart_;
    // Lets an answer that comes after this model is gone do nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // The layout last seen: a library change that leaves it as it was redraws nothing.
    std::optional<ZoneLayout> shown_;
    Subscription librarySubscription_;
    Subscription editorSubscription_;
};

}  // namespace tessary
