#include "Tessary/editor/ui/EditorPainting.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <algorithm>

namespace tessary::editorpainting {

QColor accent(const QWidget& widget) { return widget.palette().color(QPalette::Highlight); }

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
    return color;
}

QRectF toQt(const Rect& rect) { return QRectF(rect.x(), rect.y(), rect.width(), rect.height()); }

Point pointOf(const QMouseEvent* event) { return {event->position().x(), event->position().y()}; }

void paintTile(QPainter& painter, const QRectF& rect, const QColor& fill, const QColor& border, double borderWidth) {
    constexpr double radius = 6;
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    painter.fillPath(shape, fill);
    // Inside the shape: inset by half the line so the whole stroke stays within the tile.
    const double half = borderWidth / 2;
    const QRectF inner = rect.adjusted(half, half, -half, -half);
    if (inner.width() <= 0 || inner.height() <= 0) return;
    QPainterPath stroke;
    stroke.addRoundedRect(inner, std::max(radius - half, 0.0), std::max(radius - half, 0.0));
    painter.strokePath(stroke, QPen(border, borderWidth));
}

QFont fontOfSize(double points, bool bold) {
    QFont font;
    font.setPixelSize(std::max(1, static_cast<int>(points + 0.5)));
    font.setBold(bold);
    return font;
}

double lineHeight(const QFont& font) { return QFontMetricsF(font).height(); }

LabelLine fitLabelLine(const QString& text, QFont font, double maxWidth, const QPointF& centre) {
    maxWidth = std::max(maxWidth, 0.0);
    const double width = QFontMetricsF(font).horizontalAdvance(text);
    if (width > maxWidth && width > 0) {
        font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * std::max(0.5, maxWidth / width))));
    }
    const QFontMetricsF metrics(font);
    const double shown = std::min(metrics.horizontalAdvance(text), maxWidth);
    return {text, font, QRectF(centre.x() - shown / 2, centre.y() - metrics.height() / 2, shown, metrics.height())};
}

void paintLabelChip(QPainter& painter, const QRectF& around) {
    if (around.isEmpty()) return;
    const QRectF chip = around.adjusted(-6, -1, 6, 1);
    const double radius = std::min(chip.height() / 2, 8.0);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.55f));
    painter.drawRoundedRect(chip, radius, radius);
    painter.restore();
}

void paintLabelLine(QPainter& painter, const LabelLine& line) {
    if (line.text.isEmpty()) return;
    painter.setFont(line.font);
    painter.setPen(Qt::white);
    // Centred on the box, which is narrower than the text only when even half the size is too wide.
    const QRectF wide = line.box.adjusted(-line.box.width(), 0, line.box.width(), 0);
    painter.drawText(wide, Qt::AlignCenter | Qt::TextSingleLine, line.text);
}

}  // namespace tessary::editorpainting
