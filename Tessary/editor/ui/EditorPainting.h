#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include "TessaryCore/Geometry.h"

class QMouseEvent;
class QPainter;
class QWidget;

namespace tessary::editorpainting {

// The accent colour: the palette's highlight, as selections everywhere else use it.
QColor accent(const QWidget& widget);
QColor withAlpha(QColor color, double alpha);
QRectF toQt(const Rect& rect);
// Where a mouse event happened, in the widget's logical pixels.
Point pointOf(const QMouseEvent* event);
// The system font at a size in points of the editor (logical pixels), bold or not.
QFont fontOfSize(double points, bool bold);

// A zone tile: a rounded rectangle (radius 6) filled with `fill`, its border drawn inside the shape.
void paintTile(QPainter& painter, const QRectF& rect, const QColor& fill, const QColor& border, double borderWidth);

// One line of a zone's label: its font shrunk to fit `maxWidth` down to half its size, and the box the
// text takes, centred on `centre`.
struct LabelLine {
    QString text;
    QFont font;
    QRectF box;
};
LabelLine fitLabelLine(const QString& text, QFont font, double maxWidth, const QPointF& centre);

// A dark translucent chip around label text. White on the tile's own tint read at 2:1 wherever the
// palette's accent is light; on the chip it reads at 4.5:1 or more on any tile.
void paintLabelChip(QPainter& painter, const QRectF& around);
// The line's text in white, on one line.
void paintLabelLine(QPainter& painter, const LabelLine& line);

// The height one line of text takes at that font.
double lineHeight(const QFont& font);

}  // namespace tessary::editorpainting
