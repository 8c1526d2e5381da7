#pragma once

#include <QHash>
#include <QImage>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "Platform/Signal.h"
#include "Tessary/services/OverlayModel.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/services/ui/ZoneTilePainter.h"

namespace tessary {

// Draws one overlay panel's model: every zone as a rounded, tinted, bordered tile with its number
// and, on large zones, its size; highlighted zones as active; and, while a zone is highlighted,
// a hint capsule near the bottom saying where the window will go. Colours, opacities and the zone
// numbers come from the preferences and are followed live.
//
// The model's zones are in points; the widget lays them out in logical pixels, dividing by
// `pointsPerPixel` (the display's device pixel ratio). Only what changed is repainted: the tiles
// whose highlight flipped (with their ring and shadow) and the hint.
//
// Painting is copying. Each tile is drawn once per state into an image of its own (inactive when
// first needed, active when first highlighted), and every tile drawn inactive is kept composed in
// one image of the whole widget from the second show after releaseCache() on. A show copies that
// image; a highlight change clears the tiles' surroundings and copies the tiles that reach into
// them, each in its state. Every copy is clipped to one rectangle, which Qt's raster engine does on
// the calling thread: filling shapes taller than about a hundred rows it splits over its thread
// pool, and a drag would wake that pool on every change. The images are made again after a change
// of the zones, the size or a drawing setting; releaseCache() frees them (the overlay controller
// does so when the overlay has been idle a while).
//
// Without a compositor the window's transparent pixels would show black, so in that mode the
// widget draws only opaque outlines, badges, size labels on chips, the hint and, over a highlighted
// zone, a hatching of thin bars; shape() is then exactly what is drawn, and the window that hosts
// the view (the overlay panel) sets it as its X shape, so everything else under it stays visible.
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
    QRectF hintRect() const { return hint_.capsule; }
    // Where windows may go on the display (its work area, in widget coordinates): the hint sits
    // near its bottom, clear of the zones' size labels and of the panels below it. Empty: the
    // whole widget.
    void setHintArea(const QRectF& area);
    // What the window shows without a compositor, in widget coordinates: every pixel drawn, and
    // nothing else. Empty while compositing (the window is not shaped then); never empty without a
    // compositor (with nothing to draw it lies outside the widget). Made when asked for.
    const QRegion& shape();

    // For a window that keeps its pixels elsewhere and draws them itself (the overlay panel, whose
    // pixels the X server keeps): the view, never shown, lays out and draws the pieces, and tells
    // of every region to repaint; `redrawn` when every drawing changed (zones, size, settings, mode).
    std::function<void(const QRegion& region, bool redrawn)> onRepaint;
    // Lays the view out for this size at once, shown or not.
    void resizeTo(QSize size);
    // A tile drawn alone in its state, and where it goes (logical pixels).
    struct TileImage {
        QImage image;
        QPoint at;
    };
    // The tile drawn now (or as kept), handed over: the view keeps no copy.
    TileImage takeTileImage(std::size_t zone, bool active);
    // Where a tile's drawing in a state lies, within the widget.
    QRect tileArea(const Zone& zone, bool active) const;
    // The hint as drawn, where it goes and the text it shows (one drawing per text); null while no
    // hint is shown.
    const QImage* currentHint(QRect& area, QString& key);
    // The text the hint shows now (one drawing per text); empty while none shows.
    const QString& hintKey() const { return hint_.key; }
    // Without a compositor: what a zone shows of itself in a state (its outline, hatching, badge and
    // size chip), and what the hint shows.
    const QRegion& tileShape(std::size_t zone, bool active);
    // What a zone shows highlighted and not otherwise (its highlighted shape covers its other one).
    const QRegion& tileShapeGain(std::size_t zone);
    // The part of that gain that is the hatching's bars.
    const QRegion& tileHatchingGain(std::size_t zone);
    const QRegion& hintShape();

    // The regions asked to repaint since the last call (tests check that a highlight change
    // repaints only its tiles). Recorded from the first call on: a drag does no region work for it.
    QRegion takeRequestedRepaint();

    // A number for what is drawn now (the highlight and the note), the same whenever they come
    // back until the next redraw of everything, and never given to anything else: what a window
    // works out for a change from one to another can be kept under the pair.
    std::uint64_t highlightState() const { return state_; }
    // The one before the latest change of highlight.
    std::uint64_t previousHighlightState() const { return previousState_; }

    // How far the drawing of a tile reaches beyond its rectangle (ring and shadow), in logical pixels.
    static constexpr double tileReach = 38;

    // Frees the images of the tiles and the outlines' shapes; the next paint makes them again.
    void releaseCache();
    bool hasCache() const { return !inactiveTiles_.isNull(); }
    // Tiles drawn into images of their own (each state counts), for the tests.
    std::size_t cachedTileCount() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Hint {
        QRectF capsule;
        QString title;
        QString advice;
        // The text as one string: what its drawing is kept under.
        QString key;
    };

    void modelChanged(const OverlayModelChange& change);
    void preferencesChanged(PreferenceSetting setting);
    void repaint(const QRegion& region, bool redrawn = false);
    void repaintAll();
    Hint layoutHint() const;
    QRectF tileRect(const Zone& zone) const;
    // The tile in its state as the mode draws it: tinted with a compositor, outlined without one.
    void paintZone(class QPainter& painter, const Zone& zone, bool active) const;
    // The hint drawn once per text (the colours change only with a repaint of everything).
    const QImage& hintImage(const Hint& hint);
    static QRect hintArea(const Hint& hint);
    void ensureZoneShapes();
    void ensureInactiveTiles();
    // Made when first asked.
    const TileImage& tileImage(std::size_t zone, bool active);
    // Clears the rectangle and copies every tile that reaches into it, each in its state; with
    // `drawUncached`, a tile not drawn into its image yet is drawn straight instead.
    void composeTiles(class QPainter& painter, const QRect& area, bool drawUncached = false);
    void dropTileImages();

    OverlayModel& model_;
    Preferences& preferences_;
    bool showsHint_;
    double pointsPerPixel_ = 1;
    QRectF hintArea_;
    bool compositing_ = true;
    // Laid out at every change of the highlight, zones, size or settings, and kept until the next.
    Hint hint_;
    // A change of highlight from one set to another: the region it repaints, the hint after it and
    // the state it leads to. Kept under its key (see changeKey()): a sweep goes back and forth
    // between a few highlights, and each notice that crosses zones looks its change up.
    struct KeptChange {
        QRegion region;
        Hint hint;
        std::uint64_t after = 0;
    };
    // The state before (0 for none), the highlight after and the note, as bytes.
    const std::string& changeKey(std::uint64_t before, std::span<const std::int64_t> after);
    // The number of the highlight and note drawn now, given when first met.
    std::uint64_t stateOf(std::span<const std::int64_t> highlight);
    std::unordered_map<std::string, KeptChange> keptChanges_;
    std::unordered_map<std::string, std::uint64_t> states_;
    std::string key_;
    std::uint64_t state_ = 0;
    std::uint64_t previousState_ = 0;
    std::uint64_t lastState_ = 0;
    QRegion requested_;
    bool recordsRepaints_ = false;
    // Asked to repaint and not painted yet.
    QRegion unpainted_;
    QHash<QString, QImage> hintImages_;
    mutable QHash<QString, double> hintWidths_;
    // Keeps its badge numbers and shadow patches through releaseCache().
    ZoneTilePainter painter_;
    QImage inactiveTiles_;
    bool inactiveTilesStale_ = true;
    // Per zone (in model order): the inactive and the active image.
    std::vector<std::array<TileImage, 2>> tileImages_;
    QRegion shape_;
    bool shapeStale_ = true;
    // The hint's shape for the rectangles it was lately made for, the current one first: a capsule
    // follows the width of its text, so a sweep over zones goes back and forth between a few.
    std::vector<std::pair<QRectF, QRegion>> hintShapes_;
    // Painted whole since the last releaseCache(): the next whole paint keeps the image.
    bool shownSinceRelease_ = false;
    // Without a compositor: each zone's outline inactive, highlighted, the difference and the
    // difference's hatching, and every zone's inactive one.
    std::vector<std::array<QRegion, 4>> zoneShapes_;
    QRegion inactiveShape_;
    bool zoneShapesStale_ = true;
    std::vector<Rect> scratch_;
    Subscription preferencesSubscription_;
};

}  // namespace tessary
