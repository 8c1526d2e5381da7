#include "Tessary/editor/ui/GridEditorView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <vector>

#include "Tessary/editor/ui/EditorPainting.h"

namespace tessary {

using namespace editorpainting;

GridEditorView::GridEditorView(LayoutEditorModel& model, QWidget* parent) : QWidget(parent), surface_(model) {
    setMouseTracking(true);
    // A click on the zones takes the keys from a text field: none of them edits a name meant for zones.
    setFocusPolicy(Qt::ClickFocus);
    surface_.onRepaint = [this](const std::vector<Rect>& rects) {
        QRegion region;
        // One pixel more for the antialiased edges of fractional frames.
        for (const Rect& r : rects) region += toQt(r).toAlignedRect().adjusted(-1, -1, 1, 1);
        update(region);
    };
}

void GridEditorView::resizeEvent(QResizeEvent*) {
    surface_.setSize({static_cast<double>(width()), static_cast<double>(height())});
}

void GridEditorView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const auto& cell : surface_.cells()) {
        if (event->region().intersects(toQt(cell.frame).toAlignedRect().adjusted(-1, -1, 1, 1))) paintCell(painter, cell);
    }
}

void GridEditorView::paintCell(QPainter& painter, const GridEditorModel::Cell& cell) const {
    const QColor tint = accent(*this);
    const QRectF frame = toQt(cell.frame);
    // A cell too small for a label (a grid of thousands of zones made elsewhere) is a plain
    // rectangle: a rounded tile and text for each would hold the program for seconds per paint.
    if (frame.width() < minimumTileSide || frame.height() < minimumTileSide) {
        painter.fillRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), withAlpha(tint, cell.selected ? 0.6 : 0.25));
        return;
    }
    if (cell.selected) {
        paintTile(painter, frame, withAlpha(tint, 0.6), Qt::white, 3);
    } else {
        paintTile(painter, frame, withAlpha(tint, 0.25), tint, 1);
    }

    const ZoneSizeLabel& label = cell.label;
    const QFont number = fontOfSize(label.numberFontSize, true);
    const QFont size = fontOfSize(label.sizeFontSize, false);
    const QFont percent = fontOfSize(label.percentFontSize, false);
    constexpr double lineSpacing = 1;
    double height = lineHeight(number);
    if (!label.sizeLine.empty()) height += lineSpacing + lineHeight(size);
    if (!label.percentLine.empty()) height += lineSpacing + lineHeight(percent);
    const double maxWidth = std::max(frame.width() - 8, 0.0);
    double y = frame.center().y() - height / 2;
    std::vector<LabelLine> lines;
    QRectF block;
    const auto line = [&](const std::string& text, const QFont& font) {
        if (text.empty()) return;
        const double h = lineHeight(font);
        lines.push_back(fitLabelLine(QString::fromStdString(text), font, maxWidth, {frame.center().x(), y + h / 2}));
        block |= lines.back().box;
        y += h + lineSpacing;
    };
    line(label.number, number);
    line(label.sizeLine, size);
    line(label.percentLine, percent);
    // The label never reaches beyond its cell.
    painter.save();
    painter.setClipRect(frame);
    paintLabelChip(painter, block);
    for (const LabelLine& each : lines) paintLabelLine(painter, each);
    painter.restore();
}

void GridEditorView::updateCursor(Point p) {
    const auto segment = surface_.segment(p);
    if (!segment) {
        unsetCursor();
    } else {
        // A column divider (vertical line) moves left and right.
        setCursor(segment->axis == ZoneGrid::SplitAxis::vertical ? Qt::SplitHCursor : Qt::SplitVCursor);
    }
}

void GridEditorView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    surface_.press(pointOf(event));
}

void GridEditorView::mouseMoveEvent(QMouseEvent* event) {
    const Point p = pointOf(event);
    if (!(event->buttons() & Qt::LeftButton)) {
        surface_.cancelDrag();
        updateCursor(p);
        return;
    }
    surface_.moveTo(p, event->modifiers().testFlag(Qt::AltModifier));
}

void GridEditorView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    surface_.release(pointOf(event));
    updateCursor(pointOf(event));
}

void GridEditorView::hideEvent(QHideEvent*) { surface_.cancelDrag(); }

}  // namespace tessary
