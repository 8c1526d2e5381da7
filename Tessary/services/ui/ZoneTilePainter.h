#pragma once

#include <QFont>
#include <QHash>
#include <QImage>
#include <QRectF>
#include <QString>

#include <functional>

#include "Tessary/services/Preferences.h"
#include "TessaryCore/Zone.h"

class QPainter;

namespace tessary {

// Draws the overlay's pieces in the user's colours, read from the preferences at every call: a zone
// as a rounded, tinted, bordered tile with its number and, on large zones, its size (with a
// compositor); the same zone as opaque outlines, badge and size chip over the shapes of
// OverlayShapes (without one); and the hint capsule. Whoever keeps the drawings (the overlay view) decides when to draw again.
class ZoneTilePainter {
public:
    ZoneTilePainter(const Preferences& preferences, bool frosted) : preferences_(preferences), frosted_(frosted) {}

    // `tile`: the zone's rectangle in the painter's logical pixels.
    void paintTile(QPainter& painter, const Zone& zone, const QRectF& tile, bool active, const QFont& font) const;
    void paintOutline(QPainter& painter, const Zone& zone, const QRectF& tile, bool active, const QFont& font) const;
    // The painter's state is kept.
    void paintHint(QPainter& painter, const QRectF& capsule, const QString& title, const QString& advice,
                   bool compositing, const QFont& font) const;

private:
    // The label of a zone large enough for one: its chip drawn by `paintChip`, then its text.
    void paintSizeLabel(QPainter& painter, const Zone& zone, const QRectF& tile, const QFont& base,
                        const std::function<void(const QRectF& chip)>& paintChip) const;
    void paintHintContent(QPainter& painter, const QRectF& capsule, const QString& title, const QString& advice,
                          bool compositing, const QFont& font) const;

    const Preferences& preferences_;
    bool frosted_;
    // Badge numbers and shadow patches, drawn once. Kept by the view's painter, not the process: a
    // preview in a window draws its own sizes, which go with it when the window's contents do; the
    // overlay's outlive the view's released images, so that its cold show draws no glyph outlines.
    struct DrawnPieces {
        QHash<QString, QImage> badges;
        QHash<QString, QImage> shadows;
    };
    mutable DrawnPieces drawn_;
};

}  // namespace tessary
