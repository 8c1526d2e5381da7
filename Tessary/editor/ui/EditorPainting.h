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

// One line of white text centred on `centre`, on one line, shrunk to fit `maxWidth` down to half its
// size, over a soft black shadow.
void paintLabelLine(QPainter& painter, const QString& text, QFont font, double maxWidth, const QPointF& centre);

// The height one line of text takes at that font.
double lineHeight(const QFont& font);

}  // namespace tessary::editorpainting
