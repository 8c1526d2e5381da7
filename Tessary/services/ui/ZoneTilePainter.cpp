#include "Tessary/services/ui/ZoneTilePainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "Tessary/services/OverlayModel.h"
#include "Tessary/services/ui/OverlayDrawing.h"
#include "Tessary/services/ui/OverlayShapes.h"
#include "Tessary/services/ui/ZoneOverlayView.h"

namespace tessary {

using namespace overlayshape;
using namespace overlaydrawing;

void ZoneTilePainter::paintTile(QPainter& painter, const Zone& zone, const QRectF& r, bool active, const QFont& base) const {
    const QColor color = overlayColor(preferences_);
    const double fillOpacity = active ? preferences_.highlightOpacity() : preferences_.zoneOpacity();
    QPainterPath shape;
    shape.addRoundedRect(r, cornerRadius, cornerRadius);

    // The shadow falls outside the tile only: under a translucent tint it would muddy the window below.
    {
        painter.save();
        QPainterPath outside;
        outside.setFillRule(Qt::OddEvenFill);
        const double around = 2 * ZoneOverlayView::tileReach;
        outside.addRect(r.adjusted(-around, -around, around, around));
        outside.addPath(shape);
        painter.setClipPath(outside, Qt::IntersectClip);
        if (active) {
            drawShadow(drawn_.shadows, painter, r, 24, withAlpha(color, color.alphaF() * 0.35), QPointF(0, 10));
        } else {
            drawShadow(drawn_.shadows, painter, r, 6, QColor(0, 0, 0, 20), QPointF(0, 2));
        }
        painter.restore();
    }

    painter.setPen(Qt::NoPen);
    QColor fill = withAlpha(color, color.alphaF() * fillOpacity);
    // A frosted backing: without a blur of what lies below, a faint white veil under the tint. One
    // fill of the two colours composed is the same as the two fills, at half the cost.
    if (frosted_) fill = composedOver(fill, QColor(255, 255, 255, 26));
    painter.setBrush(fill);
    painter.drawPath(shape);

    // Border inside the edge; the ring outside it while active.
    const double borderWidth = active ? 1.5 : 1.0;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, active ? 0.95f : 0.55f), borderWidth));
    const double half = borderWidth / 2;
    painter.drawRoundedRect(r.adjusted(half, half, -half, -half), cornerRadius - half, cornerRadius - half);
    if (active) {
        painter.setPen(QPen(withAlpha(color, color.alphaF() * 0.9), 2));
        painter.drawRoundedRect(r.adjusted(-2, -2, 2, 2), cornerRadius + 2, cornerRadius + 2);
    }

    if (preferences_.showZoneNumbers()) {
        const double s = overlaytext::badgeFontSize(Rect(0, 0, r.width(), r.height()));
        const QFont font = sizedFont(base, s, QFont::Bold);
        const QString number = QString::fromStdString(overlaytext::zoneNumber(zone.index));
        const QFontMetricsF metrics(font);
        const double width = std::max(1.9 * s, metrics.horizontalAdvance(number) + s);
        const double height = std::max(1.9 * s, metrics.height());
        const QRectF badge(r.center().x() - width / 2, r.center().y() - height / 2, width, height);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(1, 1, 1, active ? 0.22f : 0.14f));
        painter.drawRoundedRect(badge, height / 2, height / 2);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.45f), 1));
        painter.drawRoundedRect(badge.adjusted(0.5, 0.5, -0.5, -0.5), height / 2 - 0.5, height / 2 - 0.5);
        painter.drawImage(badge.topLeft(),
                          badgeText(drawn_.badges, number, font, badge.size(), painter.device()->devicePixelRatioF()));
    }

    // White on a dark chip reads at 4.5:1 over any desktop and zone colour; on the zone's own
    // tint over a light desktop it read at 2:1.
    paintSizeLabel(painter, zone, r, base, [&](const QRectF& chip) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.55f));
        painter.drawRoundedRect(chip, chip.height() / 2, chip.height() / 2);
    });
}

void ZoneTilePainter::paintSizeLabel(QPainter& painter, const Zone& zone, const QRectF& r, const QFont& base,
                                     const std::function<void(const QRectF& chip)>& paintChip) const {
    if (!overlaytext::showsSizeLabel(Rect(0, 0, r.width(), r.height()))) return;
    const QString label = QString::fromStdString(overlaytext::sizeLabel(zone.rect));
    const QFont font = sizedFont(base, sizeLabelFontSize, QFont::Normal);
    const QRectF text = sizeLabelText(r, label, font);
    paintChip(sizeLabelChip(text));
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(text, Qt::AlignCenter, label);
}

void ZoneTilePainter::paintOutline(QPainter& painter, const Zone& zone, const QRectF& r, bool active,
                                   const QFont& font) const {
    // Opaque and without antialiasing: without a compositor a pixel shows exactly as painted.
    QColor color = overlayColor(preferences_);
    color.setAlphaF(1);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The shape's own rectangles are filled, so that it shows no pixel left unpainted.
    for (const QRect& part : outlineRegion(r, active)) painter.fillRect(part, color);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, active ? 2.0 : 1.0));
    const double inset = (active ? activeBand : outlineInset) - 1.5;
    painter.drawRoundedRect(r.adjusted(inset, inset, -inset, -inset), std::max(0.0, cornerRadius - inset),
                            std::max(0.0, cornerRadius - inset));
    if (preferences_.showZoneNumbers()) {
        const QColor badge = active ? color : color.darker(140);
        for (const QRect& part : badgeRegion(r)) painter.fillRect(part, badge);
        painter.setPen(Qt::white);
        painter.setFont(sizedFont(font, overlaytext::badgeFontSize(Rect(0, 0, r.width(), r.height())), QFont::Bold));
        painter.drawText(outlineBadge(r), Qt::AlignCenter, QString::fromStdString(overlaytext::zoneNumber(zone.index)));
    }
    // The chip opaque, as the hint's capsule is in this mode, over the rectangles of its own shape.
    paintSizeLabel(painter, zone, r, font, [&](const QRectF& chip) {
        for (const QRect& part : sizeLabelRegion(chip)) painter.fillRect(part, QColor(28, 28, 32));
    });
    painter.setRenderHint(QPainter::Antialiasing, true);
}

void ZoneTilePainter::paintHint(QPainter& painter, const QRectF& capsule, const QString& title, const QString& advice,
                                bool compositing, const QFont& font) const {
    painter.save();
    paintHintContent(painter, capsule, title, advice, compositing, font);
    painter.restore();
}

void ZoneTilePainter::paintHintContent(QPainter& painter, const QRectF& c, const QString& title, const QString& advice,
                                       bool compositing, const QFont& font) const {
    if (!compositing) painter.setRenderHint(QPainter::Antialiasing, false);
    const double radius = c.height() / 2;
    painter.setPen(Qt::NoPen);
    if (compositing) {
        painter.setBrush(QColor(28, 28, 32, 205));
        painter.drawRoundedRect(c, radius, radius);
    } else {
        // The shape's own rectangles, so that it shows no pixel left unpainted.
        for (const QRect& part : capsuleRegion(c)) painter.fillRect(part, QColor(28, 28, 32));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.25f), 0.5));
    painter.drawRoundedRect(c.adjusted(0.25, 0.25, -0.25, -0.25), radius, radius);

    double x = c.left() + hintSidePadding;
    QColor dot = overlayColor(preferences_);
    if (!compositing) dot.setAlphaF(1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(dot);
    painter.drawEllipse(QRectF(x, c.center().y() - hintDot / 2, hintDot, hintDot));
    x += hintDot + hintSpacing;

    const QFont titleFont = sizedFont(font, hintFontSize, QFont::DemiBold);
    painter.setFont(titleFont);
    painter.setPen(QColor(255, 255, 255));
    const double titleWidth = QFontMetricsF(titleFont).horizontalAdvance(title);
    painter.drawText(QRectF(x, c.top(), titleWidth + 1, c.height()), Qt::AlignLeft | Qt::AlignVCenter, title);
    x += titleWidth;
    if (advice.isEmpty()) return;

    const QFont adviceFont = sizedFont(font, hintFontSize, QFont::Normal);
    const QFontMetricsF metrics(adviceFont);
    painter.setFont(adviceFont);
    painter.setPen(QColor::fromRgbF(1, 1, 1, compositing ? 0.62f : 0.8f));
    const QString separator = QStringLiteral("\u00b7");
    x += hintSpacing;
    painter.drawText(QRectF(x, c.top(), metrics.horizontalAdvance(separator) + 1, c.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, separator);
    x += metrics.horizontalAdvance(separator) + hintSpacing;
    painter.drawText(QRectF(x, c.top(), metrics.horizontalAdvance(advice) + 1, c.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, advice);
}

}  // namespace tessary
