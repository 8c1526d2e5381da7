#pragma once

#include <QHash>
#include <QRect>
#include <QWidget>

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

#include "Platform/X11/X11OverlaySurface.h"
#include "Tessary/services/OverlayModel.h"
#include "Tessary/services/Preferences.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

class ZoneOverlayView;

// The overlay window of one display: an override-redirect, input-transparent, always-on-top
// window with an alpha channel that covers the display's whole frame and shows what a
// ZoneOverlayView of its own model draws. The window manager never sees it, so it is never
// focused, decorated, listed or moved; it is created once and shown again and again.
//
// It paints itself on screen (Qt::WA_PaintOnScreen, no paint engine), so Qt's backing store
// never paints over it: its pixels live in the X server. The view (never
// shown) draws each tile once per state and the hint once per text; the server keeps them, composes
// every tile inactive into one image that is the window's background (the server paints it as the
// window is shown, so a show sends no pixels), and a highlight change is a few requests: the server
// composes the changed tiles' areas from the kept tiles and copies them into the window. Without a
// compositor the window is shaped to what the view draws, and a highlight change reshapes only the
// changed tiles' areas; with one it is unshaped and translucent. Off X11 (in tests) nothing is
// painted, and the window's mask is the view's shape.
//
// Hidden, it keeps everything for the next show; releaseBuffers() then gives back the kept tiles
// and hints (client and server), keeping only the background image in the server.
class ZoneOverlayPanel final : public QWidget {
    Q_OBJECT

public:
    ZoneOverlayPanel(const DisplayInfo& display, Preferences& preferences);
    ~ZoneOverlayPanel() override;

    OverlayModel& model() { return model_; }
    const OverlayModel& model() const { return model_; }
    ZoneOverlayView& view() { return *view_; }
    const DisplayInfo& display() const { return display_; }

    // Stores the display and moves the window over its frame.
    void configure(const DisplayInfo& display);

    // A screen as Qt reports it: its geometry in logical pixels and its device pixel ratio.
    struct ScreenGeometry {
        QRect logical;
        double devicePixelRatio = 1;
    };
    struct Placement {
        QRect logical;
        double devicePixelRatio = 1;
    };
    // Where a frame in points (the desktop's pixels) lies in Qt's logical coordinates. Qt keeps a
    // screen's origin in device pixels and divides its size by the ratio, so a frame is placed
    // relative to the screen that holds its centre; without one, the first screen's ratio is used.
    static Placement placement(const Rect& frame, const std::vector<ScreenGeometry>& screens);

    // On screen, in front of every window, or off it. After the first show the X window is mapped
    // and unmapped directly, Qt still taking it as shown: Qt's own show waits for the server to
    // map it (a round trip after the map, with its properties written again), which delays both
    // panels' MapNotify by milliseconds on a drag's threshold. Off X11 they are Qt's show and hide.
    // Shown in three steps, each taken for every panel before the next: present(), map() (the
    // map of a window withdrawn with nothing to show, which costs the server next to nothing),
    // and reveal(), which raises it and gives it its size, shape and pixels and sends it all.
    // Every panel's MapNotify then comes before the server's milliseconds of sizing, shaping and
    // painting.
    void present();
    void map();
    void reveal();
    void withdraw();
    bool isOnScreen() const { return onScreen_; }
    // Whether its last show sent its pixels itself (a show after the first), rather than when Qt
    // passes on the server's exposure.
    bool paintedByShow() const { return paintedByShow_; }
    // Frees the drawn tiles and hints of a hidden panel; the next highlight draws what it needs anew.
    void releaseBuffers();
    // Whether it keeps drawn tiles (client or server side), for the tests.
    bool hasTiles() const;
    // Whether its pixels are kept and drawn by the X server (false off X11).
    bool drawsInServer() const { return surface_ && surface_->valid(); }

    // Painted by the X server from what it keeps, not by Qt.
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void showEvent(QShowEvent* event) override;
    // What the server exposed: copied in from the kept images.
    void paintEvent(QPaintEvent* event) override;

private:
    using Image = X11OverlaySurface::Image;

    void repaint(const QRegion& region, bool redrawn);
    bool ensureSurface();
    // Every tile inactive, composed in the server: what the window shows where nothing is
    // highlighted. With a compositor it is the window's background, which the server paints.
    void ensureBackground();
    // The area (logical pixels): the composed image's pixels, and what is highlighted there.
    void paintWindow(const QRect& area);
    bool isExposed() const;
    // Paints the areas (logical pixels): copied from the composed or a lit image, composed from the
    // kept tiles where several zones are lit or the hint lies.
    void paintAreas(const QRegion& areas);
    // The areas a change of highlight repaints, by the plan kept for that change.
    void paintChange(const QRegion& areas);
    // What painting the areas takes in the current highlight and hint, as the server's copies and
    // compositions of the kept images. Kept per change: a sweep goes back and forth between a few,
    // and working one out (region arithmetic, a walk over every zone) is most of a change's CPU.
    struct PaintStep {
        // Copied from (fromX, fromY) of this image, or when null, `layers` composed in the scratch
        // image and copied from there.
        const Image* image = nullptr;
        int fromX = 0, fromY = 0;
        X11OverlaySurface::Rectangle to;
        std::vector<X11OverlaySurface::Layer> layers;
    };
    struct PaintPlan {
        QRegion areas;
        std::vector<std::int64_t> highlighted;
        QString hint;
        std::vector<PaintStep> steps;
    };
    PaintPlan makePaintPlan(const QRegion& areas);
    // For an exposure or a show: kept per areas, highlight and hint.
    const PaintPlan& paintPlan(const QRegion& areas);
    void runPaintPlan(const PaintPlan& plan);
    // A change from one of the view's highlight states to another (its numbers), and the plans
    // kept under it: looked up on every notice that crosses zones.
    struct Change {
        std::uint64_t before = 0, after = 0;
        bool operator==(const Change&) const = default;
    };
    struct ChangeHash {
        std::size_t operator()(const Change& change) const {
            return std::hash<std::uint64_t>()(change.before * 0x9E3779B97F4A7C15ull ^ change.after);
        }
    };
    // Whenever an image a plan draws from is dropped or replaced.
    void dropPaintPlans();
    // Without a compositor: the window's shape follows the highlight. Only what changes is sent,
    // so that the server repaints beneath no more than what the window stops covering.
    void reshapeHighlight();
    // A reshape from one highlight and hint to another, kept as the rectangles it sends: a sweep
    // goes back and forth between a few.
    struct ShapePlan {
        std::vector<bool> after;
        QRegion hintAfter;
        std::vector<xcb_rectangle_t> hatchingOut, restOut, in;
    };
    const ShapePlan& makeShapePlan(const Change& change);
    void setWholeShape();
    // 0: inactive, 1: highlighted, 2: what highlighting adds, 3: its hatching, 4: the rest of it.
    const std::vector<xcb_rectangle_t>& tileShape(std::size_t zone, int which);
    struct Tile {
        std::unique_ptr<Image> image;
        QPoint at;  // device pixels
    };
    const Tile& tile(std::size_t zone, bool active);
    const Image& litImage(std::size_t zone);
    // The hint as the server keeps it, and where it goes (logical pixels); null while none shows.
    const Image* hint(QRect& area);
    X11OverlaySurface::Rectangle devicePixels(const QRect& logical) const;
    QRegion litAreas() const;

    OverlayModel model_;
    DisplayInfo display_;
    std::unique_ptr<ZoneOverlayView> view_;
    std::unique_ptr<X11OverlaySurface> surface_;
    std::unique_ptr<Image> background_;
    bool backgroundStale_ = true;
    bool onScreen_ = false;
    bool mapPending_ = false;
    bool paintedByShow_ = false;
    // Device pixels per logical pixel, as the view draws.
    double ratio_ = 1;
    bool shapeStale_ = true;
    // Per zone (in model order): the inactive and the active tile, as the server keeps them.
    std::vector<std::array<Tile, 2>> tiles_;
    // Per zone: its area with it highlighted and every other zone not, composed when first needed.
    std::vector<std::unique_ptr<Image>> litImages_;
    QHash<QString, std::shared_ptr<Image>> hints_;
    // Where a changed area is composed before it is copied into the window.
    std::unique_ptr<Image> scratch_;
    std::vector<X11OverlaySurface::Layer> layers_;
    std::vector<PaintPlan> paintPlans_;
    std::unordered_map<Change, PaintPlan, ChangeHash> changePaintPlans_;
    std::vector<xcb_rectangle_t> rectangles_;
    // Without a compositor, per zone: its shapes as tileShape() numbers them, in device pixels,
    // made when first needed.
    std::vector<std::array<std::vector<xcb_rectangle_t>, 5>> tileShapes_;
    // What the window's shape shows: each zone highlighted or not, and the hint.
    std::vector<bool> shapedActive_;
    // The view's number for what the shape shows.
    std::uint64_t shapedState_ = 0;
    std::unordered_map<Change, ShapePlan, ChangeHash> shapePlans_;
    // What the last reshape took out: whose it was (a zone, or none for the hint) and where.
    struct Cut {
        std::size_t zone;
        QRect bounds;
    };
    std::vector<Cut> cuts_;
    QRegion shapedHint_;
};

}  // namespace tessary
