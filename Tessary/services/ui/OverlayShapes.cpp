#include "Tessary/services/ui/OverlayShapes.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QPolygon>

#include <algorithm>

#include "Tessary/services/OverlayModel.h"

namespace tessary::overlayshape {

namespace {

// The band along a tile's edge, wide and reaching out a little while the tile is highlighted.
QPainterPath outlineBand(const QRectF& r, bool active) {
    const double reach = active ? outlineReach : 0;
    const double inset = active ? activeBand : outlineInset;
    QPainterPath band;
    band.setFillRule(Qt::OddEvenFill);
    band.addRoundedRect(r.adjusted(-reach, -reach, reach, reach), cornerRadius + reach, cornerRadius + reach);
    if (r.width() > 2 * inset && r.height() > 2 * inset) {
        const double radius = std::max(0.0, cornerRadius - inset);
        band.addRoundedRect(r.adjusted(inset, inset, -inset, -inset), radius, radius);
    }
    return band;
}

QRegion regionOf(const QPainterPath& path) { return QRegion(path.toFillPolygon().toPolygon(), path.fillRule()); }

}  // namespace

QRegion hatching(const QRectF& r) {
    const QRect inner = r.adjusted(activeBand + hatchPitch / 2, activeBand + hatchPitch / 2, -activeBand - hatchPitch / 2,
                                   -activeBand - hatchPitch / 2)
                            .toAlignedRect();
    QRegion bars;
    if (inner.width() <= 0) return bars;
    for (int y = inner.top(); y + hatchBar <= inner.bottom() + 1; y += hatchPitch) {
        bars += QRect(inner.left(), y, inner.width(), hatchBar);
    }
    return bars;
}

QRectF outlineBadge(const QRectF& r) {
    const double s = overlaytext::badgeFontSize(Rect(0, 0, r.width(), r.height()));
    return QRectF(r.center().x() - 0.95 * s, r.center().y() - 0.95 * s, 1.9 * s, 1.9 * s);
}

QRegion outlineRegion(const QRectF& r, bool active) {
    const QRegion inactive = regionOf(outlineBand(r, false));
    return active ? inactive + regionOf(outlineBand(r, true)) + hatching(r) : inactive;
}

QRegion badgeRegion(const QRectF& r) { return QRegion(outlineBadge(r).toAlignedRect(), QRegion::Ellipse); }

QRectF sizeLabelText(const QRectF& tile, const QString& label, const QFont& font) {
    const QRectF area = tile.adjusted(0, 0, 0, -sizeLabelBottomPadding);
    return QFontMetricsF(font).boundingRect(area, Qt::AlignHCenter | Qt::AlignBottom, label);
}

QRectF sizeLabelChip(const QRectF& text) { return text.adjusted(-6, -1, 6, 1); }

QRegion sizeLabelRegion(const QRectF& chip) {
    const QRect r = chip.toAlignedRect();
    return QRegion(r.adjusted(2, 0, -2, 0)) + QRegion(r.adjusted(1, 1, -1, -1)) + QRegion(r.adjusted(0, 2, 0, -2));
}

QRegion capsuleRegion(const QRectF& capsule) {
    QPainterPath path;
    path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    return regionOf(path);
}

}  // namespace tessary::overlayshape
