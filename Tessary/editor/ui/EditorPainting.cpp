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

void paintLabelLine(QPainter& painter, const QString& text, QFont font, double maxWidth, const QPointF& centre) {
    if (text.isEmpty()) return;
    const double size = font.pixelSize();
    const double width = QFontMetricsF(font).horizontalAdvance(text);
    if (width > maxWidth && width > 0) {
        font.setPixelSize(std::max(1, static_cast<int>(size * std::max(0.5, std::max(maxWidth, 0.0) / width))));
    }
    const QFontMetricsF metrics(font);
    const QRectF box(centre.x() - maxWidth / 2, centre.y() - metrics.height() / 2, std::max(maxWidth, 0.0), metrics.height());
    painter.setFont(font);
    // A soft shadow: the text in translucent black around its place.
    painter.setPen(QColor(0, 0, 0, 40));
    for (const QPointF offset : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)}) {
        painter.drawText(box.translated(offset), Qt::AlignCenter | Qt::TextSingleLine, text);
    }
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
}

}  // namespace tessary::editorpainting
