#pragma once

#include <QWidget>

#include "Tessary/editor/CanvasEditorModel.h"
#include "Tessary/editor/LayoutEditorModel.h"

namespace tessary {

// The canvas editor's widget over CanvasEditorModel: the canvas fitted into the widget, each zone
// with its number and a resize handle at its bottom-right corner. Clicks select, dragging a zone
// moves it, dragging its handle resizes it, and Delete or Backspace (with keyboard focus) asks
// before deleting the selected zones.
//
// The crosshair over a handle is this widget's own cursor, set while the pointer is over one and
// taken off as it leaves, never pushed on the application's cursor stack, where one missed leave
// would keep it for the rest of the program.
class CanvasEditorView final : public QWidget {
    Q_OBJECT

public:
    explicit CanvasEditorView(LayoutEditorModel& model, QWidget* parent = nullptr);

    const CanvasEditorModel& surface() const { return surface_; }

    QSize sizeHint() const override { return {640, 400}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateCursor(Point p);

    CanvasEditorModel surface_;
};

}  // namespace tessary
