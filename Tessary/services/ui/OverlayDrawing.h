#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

#include <algorithm>

#include "Tessary/services/Preferences.h"

namespace tessary {

// The overlay's drawing pieces that cost the most to make (a blurred shadow, a badge's glyph
// outlines), made once and kept by whoever draws them, and the small colour and font helpers every
// piece shares.
namespace overlaydrawing {

QColor withAlpha(QColor color, double alpha);
// The user's overlay colour, with its own alpha.
QColor overlayColor(const Preferences& preferences);
// `top` drawn over `bottom`, as one colour.
QColor composedOver(const QColor& top, const QColor& bottom);
QFont sizedFont(const QFont& base, double pixelSize, QFont::Weight weight);

// An image whose pixels are mapped from the system on their own, so that releasing it gives the
// memory back at once: the allocator keeps a freed block of window size for reuse (and raises its
// threshold for mapping such blocks), which would leave the idle program's resident size high.
QImage mappedImage(QSize pixels);

// A blurred shadow of a rounded rectangle (`shape`, the tile's corner radius) moved by `offset`,
// stretched from a patch made once per blur and colour and kept in `cache` (a few at most, since
// every overlay colour the user tries makes new ones).
void drawShadow(QHash<QString, QImage>& cache, QPainter& painter, const QRectF& shape, double blur, QColor color,
                QPointF offset);

// A badge's number with its shadow, drawn once per number, size and pixel ratio: glyphs this large
// are drawn as outlines, which costs more than all the rest of a tile.
const QImage& badgeText(QHash<QString, QImage>& cache, const QString& number, const QFont& font, QSizeF size,
                        double ratio);

// Qt's raster engine splits a fill of more than about a hundred spans (one or a few per row) over
// its thread pool, which wakes a thread per core; filling a few rows at a time stays below that.
template <class Paint>
void inBands(QPainter& painter, const QRect& area, int rows, const Paint& paint) {
    for (int y = area.top(); y <= area.bottom(); y += rows) {
        painter.setClipRect(QRect(area.left(), y, area.width(), std::min(rows, area.bottom() + 1 - y)));
        paint();
    }
}

}  // namespace overlaydrawing

}  // namespace tessary
