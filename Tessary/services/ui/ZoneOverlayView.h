#pragma once

#include <QImage>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <vector>

#include "Platform/Signal.h"
#include "Tessary/services/OverlayModel.h"
#include "Tessary/shell/Preferences.h"

namespace tessary {

// Draws one overlay panel's model: every zone as a rounded, tinted, bordered tile with its number
// and, on large zones, its size; highlighted zones as active; and, while a zone is highlighted,
// a hint capsule near the bottom saying where the window will go. Colours, opacities and the zone
// numbers come from the preferences and are followed live.
//
// The model's zones are in points; the widget lays them out in logical pixels, dividing by
// `pointsPerPixel` (the display's device pixel ratio). Only what changed is repainted: the tiles
// whose highlight flipped (with their ring and shadow) and the hint. Every tile drawn inactive is
// kept in one image (outlines without a compositor), drawn at the second show after releaseCache()
// and again after a change of the zones, the size or a drawing setting: a show copies it, and only
// the surroundings of highlighted tiles and the hint are drawn live.
// releaseCache() frees it (the overlay controller does so when the overlay has been idle a while).
//
// Without a compositor the window's transparent pixels would show black, so in that mode the
// widget draws only opaque outlines, badges and the hint, and masks the window to them.
class ZoneOverlayView final : public QWidget {
    Q_OBJECT

public:
    ZoneOverlayView(OverlayModel& model, Preferences& preferences, bool showsHint, bool frosted,
                    QWidget* parent = nullptr);
    ~ZoneOverlayView() override;

    void setPointsPerPixel(double ratio);
    double pointsPerPixel() const { return pointsPerPixel_; }
    void setCompositing(bool compositing);
    bool isCompositing() const { return compositing_; }

    // The hint capsule's rectangle in widget coordinates; empty while no hint is shown.
    QRectF hintRect() const { return hintRect_; }
    // The regions asked to repaint since the last call (tests check that a highlight change
    // repaints only its tiles).
    QRegion takeRequestedRepaint();

    // How far the drawing of a tile reaches beyond its rectangle (ring and shadow), in logical pixels.
    static constexpr double tileReach = 38;

    // Frees the image of the inactive tiles; the next paint draws it again.
    void releaseCache();
    bool hasCache() const { return !inactiveTiles_.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Hint {
        QRectF capsule;
        QString title;
        QString advice;
    };

    void modelChanged(const OverlayModelChange& change);
    void preferencesChanged(PreferenceSetting setting);
    void repaint(const QRegion& region);
    void repaintAll();
    Hint layoutHint() const;
    QRectF tileRect(const Zone& zone) const;
    void paintTile(class QPainter& painter, const Zone& zone, bool active) const;
    void paintOutline(class QPainter& painter, const Zone& zone, bool active) const;
    void paintHint(class QPainter& painter, const Hint& hint) const;
    void paintHintContent(class QPainter& painter, const Hint& hint) const;
    void updateMask();
    void ensureInactiveTiles();
    // Clears the region and draws every tile that reaches into it, each in its state.
    void paintLive(class QPainter& painter, const QRegion& region) const;

    OverlayModel& model_;
    Preferences& preferences_;
    bool showsHint_;
    bool frosted_;
    double pointsPerPixel_ = 1;
    bool compositing_ = true;
    QRectF hintRect_;
    QRegion requested_;
    QImage inactiveTiles_;
    bool inactiveTilesStale_ = true;
    // Painted whole since the last releaseCache(): the next whole paint keeps the image.
    bool shownSinceRelease_ = false;
    // Without a compositor: each zone's inactive outline, as a region of the window's mask.
    std::vector<QRegion> inactiveMasks_;
    bool inactiveMasksStale_ = true;
    std::vector<Rect> scratch_;
    Subscription preferencesSubscription_;
};

}  // namespace tessary
