#pragma once

#include <QWidget>

#include <optional>

#include "Tessary/editor/GridEditorModel.h"
#include "Tessary/editor/LayoutEditorModel.h"

namespace tessary {

// The grid editor's widget over GridEditorModel: the selected grid's zones as tinted cells with
// their numbers and sizes, and invisible divider handles that show the split cursors. Clicks
// select zones; dragging a handle moves its divider, the whole line while Alt is held. Alt is read
// from every motion event, not at the press: window managers such as openbox take Alt+button
// for their own window moves, so a user presses Alt once the drag is under way.
//
// Only the cells a change touched are repainted. A drag ends at the release, at a motion that
// arrives without the button (the release went elsewhere), and when the widget is hidden.
class GridEditorView final : public QWidget {
    Q_OBJECT

public:
    // Cells narrower or lower than this are drawn plain, without their tile's border and label.
    static constexpr double minimumTileSide = 12;

    explicit GridEditorView(LayoutEditorModel& model, QWidget* parent = nullptr);

    // The reference display's work area for the size labels; nothing without a display.
    void setWorkArea(std::optional<Rect> workArea) { surface_.setWorkArea(workArea); }
    const GridEditorModel& surface() const { return surface_; }

    QSize sizeHint() const override { return {640, 400}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void paintCell(class QPainter& painter, const GridEditorModel::Cell& cell) const;
    void updateCursor(Point p);

    GridEditorModel surface_;
};

}  // namespace tessary
