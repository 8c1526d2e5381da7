#include "Tessary/editor/ui/CanvasEditorView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "Tessary/editor/ui/EditorPainting.h"
#include "Tessary/editor/ui/EditorConfirmation.h"

namespace tessary {

using namespace editorpainting;

namespace {

constexpr double handleDiameter = 14;
constexpr double minimumTileSide = 12;

}  // namespace

CanvasEditorView::CanvasEditorView(LayoutEditorModel& model, QWidget* parent)
    : QWidget(parent),
      surface_(model, alertConfirmation()) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    surface_.onChange = [this] { update(); };
}

void CanvasEditorView::resizeEvent(QResizeEvent*) {
    surface_.setSize({static_cast<double>(width()), static_cast<double>(height())});
}

void CanvasEditorView::paintEvent(QPaintEvent*) {
    const auto fit = surface_.fit();
    if (!fit || !fit->isEditable()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(toQt(fit->canvas), withAlpha(palette().color(QPalette::WindowText), 0.1));

    const QColor tint = accent(*this);
    for (const auto& zone : surface_.zoneViews()) {
        const QRectF frame = toQt(zone.frame);
        // A zone too small for its badge and handle (a canvas of thousands made elsewhere) is a
        // plain rectangle: tiles, text and handles for each would hold the program for seconds.
        if (frame.width() < minimumTileSide || frame.height() < minimumTileSide) {
            painter.fillRect(frame, withAlpha(tint, zone.selected ? 0.55 : 0.3));
            continue;
        }
        paintTile(painter, frame, withAlpha(tint, zone.selected ? 0.55 : 0.3), tint, zone.selected ? 2.5 : 1);
        const LabelLine number =
            fitLabelLine(QString::number(zone.index + 1), fontOfSize(zone.badgeFontSize, true), frame.width(), frame.center());
        paintLabelChip(painter, number.box);
        paintLabelLine(painter, number);

        const QRectF handle = toQt(zone.handle);
        const QRectF circle(handle.center().x() - handleDiameter / 2, handle.center().y() - handleDiameter / 2,
                            handleDiameter, handleDiameter);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(circle);
        painter.setPen(QPen(tint, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(circle.adjusted(1, 1, -1, -1));
    }
}

void CanvasEditorView::updateCursor(Point p) {
    if (surface_.hit(p).target == CanvasEditorModel::Target::handle) {
        setCursor(Qt::CrossCursor);
    } else {
        unsetCursor();
    }
}

void CanvasEditorView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    surface_.press(pointOf(event));
}

void CanvasEditorView::mouseMoveEvent(QMouseEvent* event) {
    const Point p = pointOf(event);
    if (!(event->buttons() & Qt::LeftButton)) {
        surface_.cancelDrag();
        updateCursor(p);
        return;
    }
    surface_.moveTo(p);
}

void CanvasEditorView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    surface_.release(pointOf(event));
    updateCursor(pointOf(event));
}

void CanvasEditorView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        surface_.confirmDeleteSelectedZones();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CanvasEditorView::leaveEvent(QEvent*) { unsetCursor(); }

void CanvasEditorView::hideEvent(QHideEvent*) { surface_.cancelDrag(); }

}  // namespace tessary
