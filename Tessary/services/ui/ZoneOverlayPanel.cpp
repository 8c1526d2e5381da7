#include "Tessary/services/ui/ZoneOverlayPanel.h"

#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QPaintEvent>
#include <QWindow>

#include <climits>
#include <cmath>
#include <optional>

#include "Tessary/services/ui/ZoneOverlayView.h"

namespace tessary {

namespace {

// After its first show Qt takes the window for shown even while it is withdrawn (it is unmapped
// directly): for screen readers it is there only while it is on the screen.
class OverlayAccessible final : public QAccessibleWidget {
public:
    explicit OverlayAccessible(ZoneOverlayPanel* panel) : QAccessibleWidget(panel) {}
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (!static_cast<const ZoneOverlayPanel*>(widget())->isOnScreen()) state.invisible = true;
        return state;
    }
};

QAccessibleInterface* overlayAccessible(const QString&, QObject* object) {
    auto* panel = qobject_cast<ZoneOverlayPanel*>(object);
    return panel ? new OverlayAccessible(panel) : nullptr;
}

// What Qt tells readers when it shows or hides a widget, for a show or hide Qt does not see.
void tellReaders(ZoneOverlayPanel& panel, QAccessible::Event shownOrHidden) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(&panel, shownOrHidden);
    QAccessible::updateAccessibility(&event);
}

}  // namespace

ZoneOverlayPanel::ZoneOverlayPanel(const DisplayInfo& display, Preferences& preferences)
    : QWidget(nullptr, Qt::Window | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                           Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
      display_(display),
      view_(std::make_unique<ZoneOverlayView>(model_, preferences, /*showsHint=*/true, /*frosted=*/true)) {
    // An alpha channel: Qt gives the window a visual of depth 32.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Tessary zones"));
    static const bool accessible = (QAccessible::installFactory(overlayAccessible), true);
    (void)accessible;
    view_->onRepaint = [this](const QRegion& region, bool redrawn) { repaint(region, redrawn); };
    configure(display);
}

ZoneOverlayPanel::~ZoneOverlayPanel() { view_->onRepaint = nullptr; }

void ZoneOverlayPanel::configure(const DisplayInfo& display) {
    display_ = display;
    std::vector<ScreenGeometry> screens;
    for (QScreen* screen : QGuiApplication::screens()) {
        screens.push_back({screen->geometry(), screen->devicePixelRatio()});
    }
    const Placement where = placement(display.frame, screens);
    view_->setPointsPerPixel(where.devicePixelRatio);
    if (geometry() != where.logical) setGeometry(where.logical);
    view_->resizeTo(where.logical.size());
    const double ratio = where.devicePixelRatio;
    const Rect area = display.workArea.intersection(display.frame);
    view_->setHintArea(area.isNull() ? QRectF()
                                     : QRectF((area.minX() - display.frame.minX()) / ratio,
                                              (area.minY() - display.frame.minY()) / ratio, area.width() / ratio,
                                              area.height() / ratio));
    // Asked once: a hidden widget finds its screen anew on every call.
    ratio_ = view_->devicePixelRatioF();
}

bool ZoneOverlayPanel::ensureSurface() {
    if (!surface_) {
        // The offscreen platform answers as an X11 one, without a connection.
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11 || !x11->connection()) return false;
        surface_ = std::make_unique<X11OverlaySurface>(x11->connection(), xcb_window_t(winId()));
    }
    return surface_->valid();
}

bool ZoneOverlayPanel::hasTiles() const {
    if (view_->cachedTileCount() > 0 || !hints_.isEmpty()) return true;
    for (const auto& states : tiles_) {
        for (const Tile& tile : states) {
            if (tile.image) return true;
        }
    }
    return false;
}

void ZoneOverlayPanel::present() {
    if (onScreen_) return;
    onScreen_ = true;
    paintedByShow_ = false;
    if (!isVisible() || !drawsInServer()) {
        // Raised before it is mapped: a compositor then draws it once, in its place on top.
        raise();
        show();
        return;
    }
    // Withdrawn, the window was left with nothing to map (see withdraw()).
    mapPending_ = true;
}

void ZoneOverlayPanel::map() {
    if (mapPending_) surface_->map();
}

void ZoneOverlayPanel::reveal() {
    if (!mapPending_) return;
    mapPending_ = false;
    const auto whole = devicePixels(rect());
    // Raised and given its size, still with nothing to show: what that costs the server (the
    // window's pixels allocated and filled) comes after every panel's MapNotify.
    surface_->raise(whole.width, whole.height);
    ensureBackground();
    const bool compositing = view_->isCompositing();
    // With a compositor the window is unshaped: the server paints what that exposes from the
    // background. Without one it is shaped quietly and painted here.
    if (compositing) surface_->setBackground(*background_, false);
    setWholeShape();
    if (!compositing) paintWindow(rect());
    surface_->flush();
    paintedByShow_ = true;
    // After the pixels: a reader is told once the drag's zones are on the screen.
    tellReaders(*this, QAccessible::ObjectShow);
}

void ZoneOverlayPanel::withdraw() {
    if (!onScreen_) return;
    onScreen_ = false;
    mapPending_ = false;
    if (isVisible() && drawsInServer()) {
        surface_->unmap();
        // Mapping a window of depth 32 makes the server allocate and fill a buffer of its size
        // (X Composite, even with no compositing manager): a hidden panel is 1x1 pixel with
        // nothing to show, so that its next map costs next to nothing; reveal() restores both.
        surface_->removeBackground();
        surface_->shape(X11OverlaySurface::ShapeOperation::set, {});
        surface_->resize(1, 1);
        shapeStale_ = true;
        surface_->flush();
        tellReaders(*this, QAccessible::ObjectHide);
    } else {
        hide();
    }
}

void ZoneOverlayPanel::releaseBuffers() {
    if (onScreen_) return;
    view_->releaseCache();
    tiles_.clear();
    litImages_.clear();
    hints_.clear();
    scratch_.reset();
    dropPaintPlans();
    // The outlines' rectangles are made again from the view's shapes when next needed; what the
    // X server's shape holds now (shapedActive_, shapedHint_) stays true.
    std::vector<std::array<std::vector<xcb_rectangle_t>, 5>>().swap(tileShapes_);
    std::unordered_map<Change, ShapePlan, ChangeHash>().swap(shapePlans_);
    std::vector<xcb_rectangle_t>().swap(rectangles_);
    if (drawsInServer()) surface_->flush();
}

X11OverlaySurface::Rectangle ZoneOverlayPanel::devicePixels(const QRect& logical) const {
    const double ratio = ratio_;
    const QRect r = ratio == 1 ? logical : QRectF(QPointF(logical.topLeft()) * ratio, QSizeF(logical.size()) * ratio).toAlignedRect();
    return {r.x(), r.y(), r.width(), r.height()};
}

const ZoneOverlayPanel::Tile& ZoneOverlayPanel::tile(std::size_t zone, bool active) {
    if (tiles_.size() != model_.zones().size()) {
        tiles_.clear();
        tiles_.resize(model_.zones().size());
        dropPaintPlans();
    }
    Tile& tile = tiles_[zone][active ? 1 : 0];
    if (!tile.image) {
        // Drawn by the view, handed to the server and dropped here: the server keeps the pixels.
        const ZoneOverlayView::TileImage drawn = view_->takeTileImage(zone, active);
        const QImage& image = drawn.image;
        tile.image = surface_->upload({image.constBits(), image.width(), image.height(), int(image.bytesPerLine())});
        const auto at = devicePixels(QRect(drawn.at, QSize(1, 1)));
        tile.at = QPoint(at.x, at.y);
    }
    return tile;
}

const ZoneOverlayPanel::Image* ZoneOverlayPanel::hint(QRect& area) {
    QString key;
    const QImage* image = view_->currentHint(area, key);
    if (!image) return nullptr;
    // A few texts at a time (every span of zones has its own).
    if (hints_.size() >= 32 && !hints_.contains(key)) {
        hints_.clear();
        dropPaintPlans();
    }
    auto& kept = hints_[key];
    if (!kept) {
        kept = surface_->upload({image->constBits(), image->width(), image->height(), int(image->bytesPerLine())});
    }
    return kept.get();
}

QRegion ZoneOverlayPanel::litAreas() const {
    QRegion lit;
    for (const Zone& zone : model_.zones()) {
        if (model_.isHighlighted(zone.index)) lit += view_->tileArea(zone, true);
    }
    const QRectF hintRect = view_->hintRect();
    if (!hintRect.isEmpty()) lit += hintRect.adjusted(-1, -1, 1, 1).toAlignedRect();
    return lit;
}

void ZoneOverlayPanel::ensureBackground() {
    if (background_ && !backgroundStale_) return;
    const auto whole = devicePixels(rect());
    auto background = surface_->create(whole.width, whole.height);
    layers_.clear();
    for (std::size_t i = 0; i < model_.zones().size(); ++i) {
        const Tile& inactive = tile(i, false);
        layers_.push_back({inactive.image.get(), inactive.at.x(), inactive.at.y()});
    }
    surface_->compose(*background, 0, 0, whole, layers_);
    // A new image each time: the server may read a background's pixels at any time.
    background_ = std::move(background);
    backgroundStale_ = false;
    dropPaintPlans();
    // Without a compositor the window is shaped, and the server would fill its background for
    // tens of milliseconds: it gets none, and its parts are copied in as they are exposed.
    if (view_->isCompositing()) {
        surface_->setBackground(*background_, false);
    } else {
        surface_->removeBackground();
    }
}

bool ZoneOverlayPanel::isExposed() const { return windowHandle() && windowHandle()->isExposed(); }

void ZoneOverlayPanel::paintWindow(const QRect& area) {
    ensureBackground();
    const auto to = devicePixels(area);
    surface_->copyToWindow(*background_, to.x, to.y, to);
    paintAreas(litAreas() & area);
}

const ZoneOverlayPanel::Image& ZoneOverlayPanel::litImage(std::size_t zone) {
    if (litImages_.size() != model_.zones().size()) {
        litImages_.clear();
        litImages_.resize(model_.zones().size());
        dropPaintPlans();
    }
    auto& lit = litImages_[zone];
    if (!lit) {
        // The zone highlighted among the others, each inactive: what its area shows while it is
        // the only zone highlighted, composed once.
        const QRect area = view_->tileArea(model_.zones()[zone], true);
        const auto at = devicePixels(area);
        lit = surface_->create(at.width, at.height);
        layers_.clear();
        for (std::size_t i = 0; i < model_.zones().size(); ++i) {
            const bool active = i == zone;
            if (!view_->tileArea(model_.zones()[i], active).intersects(area)) continue;
            const Tile& drawn = tile(i, active);
            layers_.push_back({drawn.image.get(), drawn.at.x(), drawn.at.y()});
        }
        surface_->compose(*lit, 0, 0, at, layers_);
    }
    return *lit;
}

void ZoneOverlayPanel::paintAreas(const QRegion& areas) {
    ensureBackground();
    runPaintPlan(paintPlan(areas));
}

void ZoneOverlayPanel::paintChange(const QRegion& areas) {
    ensureBackground();
    const Change change{view_->previousHighlightState(), view_->highlightState()};
    auto kept = changePaintPlans_.find(change);
    if (kept == changePaintPlans_.end()) {
        PaintPlan plan = makePaintPlan(areas);
        // Made after what it draws from, which may have dropped the plans kept.
        if (changePaintPlans_.size() >= 16) changePaintPlans_.clear();
        kept = changePaintPlans_.insert_or_assign(change, std::move(plan)).first;
    }
    runPaintPlan(kept->second);
}

void ZoneOverlayPanel::runPaintPlan(const PaintPlan& plan) {
    for (const PaintStep& step : plan.steps) {
        if (step.image) {
            surface_->copyToWindow(*step.image, step.fromX, step.fromY, step.to);
        } else {
            surface_->compose(*scratch_, 0, 0, step.to, step.layers);
            surface_->copyToWindow(*scratch_, 0, 0, step.to);
        }
    }
}

void ZoneOverlayPanel::dropPaintPlans() {
    paintPlans_.clear();
    changePaintPlans_.clear();
}

const ZoneOverlayPanel::PaintPlan& ZoneOverlayPanel::paintPlan(const QRegion& areas) {
    const auto& highlighted = model_.highlighted();
    const QString& hintKey = view_->hintKey();
    for (const PaintPlan& plan : paintPlans_) {
        if (plan.areas == areas && plan.highlighted == highlighted && plan.hint == hintKey) return plan;
    }
    PaintPlan plan = makePaintPlan(areas);
    // Made after what it draws from, which may have dropped the plans kept.
    if (paintPlans_.size() >= 16) paintPlans_.clear();
    paintPlans_.push_back(std::move(plan));
    return paintPlans_.back();
}

ZoneOverlayPanel::PaintPlan ZoneOverlayPanel::makePaintPlan(const QRegion& areas) {
    PaintPlan plan{areas, model_.highlighted(), view_->hintKey(), {}};
    const auto& zones = model_.zones();
    // Copied: where nothing is highlighted, from the background (what the tiles compose to); in
    // the area of the one zone highlighted, from its lit image. Composed: under the hint, and where
    // several highlighted zones are.
    std::optional<std::size_t> single;
    QRegion lit;
    for (std::size_t i = 0; i < zones.size(); ++i) {
        if (!model_.isHighlighted(zones[i].index)) continue;
        single = lit.isEmpty() ? std::optional<std::size_t>(i) : std::nullopt;
        lit += view_->tileArea(zones[i], true);
    }
    QRect hintArea;
    const Image* hintImage = hint(hintArea);
    QRegion copied = areas;
    QRegion composed;
    if (hintImage) {
        composed += areas & hintArea;
        copied -= hintArea;
    }
    if (!single && !lit.isEmpty()) {
        composed += copied & lit;
        copied -= lit;
    }
    const QRect singleArea = single ? view_->tileArea(zones[*single], true) : QRect();
    for (const QRect& area : copied) {
        const QRect inLit = area & singleArea;
        if (inLit.isEmpty()) {
            const auto to = devicePixels(area);
            plan.steps.push_back({background_.get(), to.x, to.y, to, {}});
            continue;
        }
        const Image& image = litImage(*single);
        const auto origin = devicePixels(singleArea);
        const auto to = devicePixels(inLit);
        plan.steps.push_back({&image, to.x - origin.x, to.y - origin.y, to, {}});
        for (const QRect& rest : QRegion(area) - singleArea) {
            const auto restTo = devicePixels(rest);
            plan.steps.push_back({background_.get(), restTo.x, restTo.y, restTo, {}});
        }
    }
    for (const QRect& area : composed) {
        const auto to = devicePixels(area);
        if (!scratch_ || scratch_->width() < to.width || scratch_->height() < to.height) {
            const int width = std::max(to.width, scratch_ ? scratch_->width() : 0);
            const int height = std::max(to.height, scratch_ ? scratch_->height() : 0);
            // Only ever larger, so the plans kept stay right.
            scratch_ = surface_->create(width, height);
        }
        PaintStep step{nullptr, 0, 0, to, {}};
        for (std::size_t i = 0; i < zones.size(); ++i) {
            const bool active = model_.isHighlighted(zones[i].index);
            if (!view_->tileArea(zones[i], active).intersects(area)) continue;
            const Tile& drawn = tile(i, active);
            step.layers.push_back({drawn.image.get(), drawn.at.x(), drawn.at.y()});
        }
        if (hintImage && hintArea.intersects(area)) {
            const auto at = devicePixels(hintArea);
            step.layers.push_back({hintImage, at.x, at.y});
        }
        plan.steps.push_back(std::move(step));
    }
    return plan;
}

namespace {

// A region's rectangles in device pixels. A region cuts a tall strip wherever anything beside it
// starts or ends (a tile's band beside every bar of its hatching); the pieces are joined again, so
// a reshape sends a quarter to a third of the rectangles (the server takes them unsorted).
void appendRectangles(const QRegion& region, double ratio, std::vector<xcb_rectangle_t>& out) {
    // The rectangles that end where the current row of the region begins, left to right.
    std::vector<std::size_t> above, below;
    int rowTop = INT_MIN;
    std::size_t next = 0;
    for (const QRect& logical : region) {
        const QRect r = ratio == 1 ? logical
                                   : QRectF(QPointF(logical.topLeft()) * ratio, QSizeF(logical.size()) * ratio).toAlignedRect();
        if (r.y() != rowTop) {
            rowTop = r.y();
            above.swap(below);
            below.clear();
            next = 0;
        }
        // Rows list their rectangles left to right: what continues one lies at or after the last.
        while (next < above.size() && out[above[next]].x < r.x()) ++next;
        if (next < above.size()) {
            xcb_rectangle_t& up = out[above[next]];
            if (up.x == r.x() && up.width == r.width() && up.y + up.height == r.y()) {
                up.height = std::uint16_t(up.height + r.height());
                below.push_back(above[next]);
                continue;
            }
        }
        below.push_back(out.size());
        out.push_back({std::int16_t(r.x()), std::int16_t(r.y()), std::uint16_t(r.width()), std::uint16_t(r.height())});
    }
}

}  // namespace

void ZoneOverlayPanel::setWholeShape() {
    shapeStale_ = false;
    if (view_->isCompositing()) {
        surface_->removeShape();
        return;
    }
    rectangles_.clear();
    appendRectangles(view_->shape(), ratio_, rectangles_);
    surface_->shape(X11OverlaySurface::ShapeOperation::set, rectangles_);
    shapedActive_.assign(model_.zones().size(), false);
    for (std::size_t i = 0; i < model_.zones().size(); ++i) shapedActive_[i] = model_.isHighlighted(model_.zones()[i].index);
    shapedHint_ = view_->hintShape();
    shapedState_ = view_->highlightState();
}

const std::vector<xcb_rectangle_t>& ZoneOverlayPanel::tileShape(std::size_t zone, int which) {
    if (tileShapes_.size() != model_.zones().size()) {
        tileShapes_.clear();
        tileShapes_.resize(model_.zones().size());
        shapePlans_.clear();
    }
    auto& rectangles = tileShapes_[zone][std::size_t(which)];
    if (rectangles.empty()) {
        switch (which) {
        case 0:
        case 1: appendRectangles(view_->tileShape(zone, which == 1), ratio_, rectangles); break;
        case 2: appendRectangles(view_->tileShapeGain(zone), ratio_, rectangles); break;
        case 3: appendRectangles(view_->tileHatchingGain(zone), ratio_, rectangles); break;
        default: appendRectangles(view_->tileShapeGain(zone) - view_->tileHatchingGain(zone), ratio_, rectangles); break;
        }
    }
    return rectangles;
}

void ZoneOverlayPanel::reshapeHighlight() {
    if (shapedActive_.size() != model_.zones().size()) return setWholeShape();
    const Change change{shapedState_, view_->highlightState()};
    const auto kept = shapePlans_.find(change);
    const ShapePlan* plan = kept != shapePlans_.end() ? &kept->second : &makeShapePlan(change);
    // The bars first: see makeShapePlan().
    if (!plan->hatchingOut.empty()) surface_->shape(X11OverlaySurface::ShapeOperation::subtract, plan->hatchingOut);
    if (!plan->restOut.empty()) surface_->shape(X11OverlaySurface::ShapeOperation::subtract, plan->restOut);
    if (!plan->in.empty()) surface_->shape(X11OverlaySurface::ShapeOperation::add, plan->in);
    shapedActive_ = plan->after;
    shapedHint_ = plan->hintAfter;
    shapedState_ = change.after;
}

const ZoneOverlayPanel::ShapePlan& ZoneOverlayPanel::makeShapePlan(const Change& change) {
    const auto& zones = model_.zones();
    std::vector<bool> active(zones.size());
    for (std::size_t i = 0; i < zones.size(); ++i) active[i] = model_.isHighlighted(zones[i].index);
    const QRegion& hintShape = view_->hintShape();
    ShapePlan plan{active, hintShape, {}, {}, {}};
    auto append = [](std::vector<xcb_rectangle_t>& to, const std::vector<xcb_rectangle_t>& shape) {
        to.insert(to.end(), shape.begin(), shape.end());
    };
    // Out: what the zones that went dark showed only while highlighted, and the old hint. A
    // zone's highlighted shape covers its other one, so nothing else of theirs goes.
    //
    // The server paints what a cut uncovers beneath rectangle by rectangle of the uncovered region,
    // each against every rectangle of the clip of the window beneath (thousands for the root).
    // Uncovered together, the band's tall strips are cut at every bar of the hatching beside them,
    // several times the rectangles: the bars go first, the rest after them in a request of its own.
    const bool hintChanged = hintShape != shapedHint_;
    constexpr std::size_t theHint = std::size_t(-1);
    cuts_.clear();
    for (std::size_t i = 0; i < zones.size(); ++i) {
        if (shapedActive_[i] && !active[i]) {
            append(plan.hatchingOut, tileShape(i, 3));
            append(plan.restOut, tileShape(i, 4));
            cuts_.push_back({i, view_->tileShapeGain(i).boundingRect()});
        }
    }
    if (hintChanged) {
        appendRectangles(shapedHint_ - hintShape, ratio_, plan.restOut);
        cuts_.push_back({theHint, shapedHint_.boundingRect()});
    }
    // In: what the zones lit now add, the whole of anything else that reaches where something went
    // out (overlapping zones, the hint over a tile), and the new hint.
    auto cutElsewhere = [this](std::size_t zone, const QRect& bounds) {
        for (const Cut& cut : cuts_) {
            if (cut.zone != zone && cut.bounds.intersects(bounds)) return true;
        }
        return false;
    };
    for (std::size_t i = 0; i < zones.size(); ++i) {
        if (cutElsewhere(i, view_->tileShape(i, active[i]).boundingRect())) {
            append(plan.in, tileShape(i, active[i] ? 1 : 0));
        } else if (active[i] && !shapedActive_[i]) {
            append(plan.in, tileShape(i, 2));
        }
    }
    if (hintChanged || cutElsewhere(theHint, hintShape.boundingRect())) appendRectangles(hintShape, ratio_, plan.in);
    if (shapePlans_.size() >= 16) shapePlans_.clear();
    return shapePlans_.insert_or_assign(change, std::move(plan)).first->second;
}

void ZoneOverlayPanel::repaint(const QRegion& region, bool redrawn) {
    if (redrawn) {
        tiles_.clear();
        litImages_.clear();
        tileShapes_.clear();
        shapePlans_.clear();
        hints_.clear();
        dropPaintPlans();
        backgroundStale_ = true;
        shapeStale_ = true;
    }
    if (!ensureSurface()) {
        // Off X11 nothing is painted; the window's mask is still what the X server would shape it to.
        if (windowHandle()) windowHandle()->setMask(view_->shape());
        return;
    }
    if (redrawn) {
        // Made at the next show; a panel on screen is made again now.
        if (!onScreen_) return;
        ensureBackground();
        setWholeShape();
        if (isExposed()) paintWindow(rect());
    } else {
        // A hidden panel is shaped and painted whole at its next show: reshaping it now would
        // put milliseconds of the server's region work (thousands of rectangles) before that
        // show's map. On screen, reshaped first: the server keeps no pixels outside the shape.
        if (!onScreen_) {
            shapeStale_ = true;
        } else {
            if (!shapeStale_ && !view_->isCompositing()) reshapeHighlight();
            if (isExposed()) paintChange(region);
        }
    }
    surface_->flush();
}

void ZoneOverlayPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Before the window is mapped, which paints its background at once.
    if (!ensureSurface()) {
        if (windowHandle()) windowHandle()->setMask(view_->shape());
        return;
    }
    ensureBackground();
    if (shapeStale_) setWholeShape();
    surface_->flush();
}

void ZoneOverlayPanel::paintEvent(QPaintEvent* event) {
    if (!drawsInServer()) return;
    if (view_->isCompositing()) {
        // The server painted what was exposed from the background; what is highlighted is ours.
        paintAreas(litAreas() & event->region().boundingRect());
    } else {
        paintWindow(event->region().boundingRect());
    }
    surface_->flush();
}

ZoneOverlayPanel::Placement ZoneOverlayPanel::placement(const Rect& frame, const std::vector<ScreenGeometry>& screens) {
    const Rect f = frame.standardized();
    auto sane = [](double ratio) { return std::isfinite(ratio) && ratio > 0 ? ratio : 1.0; };
    auto rounded = [](double left, double top, double right, double bottom) {
        const auto l = static_cast<int>(std::lround(left));
        const auto t = static_cast<int>(std::lround(top));
        return QRect(QPoint(l, t), QSize(static_cast<int>(std::lround(right)) - l, static_cast<int>(std::lround(bottom)) - t));
    };
    if (!f.isFinite() || f.isNull()) return {QRect(), 1};
    const double cx = f.midX();
    const double cy = f.midY();
    for (const auto& screen : screens) {
        const double ratio = sane(screen.devicePixelRatio);
        const double ox = screen.logical.x();
        const double oy = screen.logical.y();
        const double nativeWidth = screen.logical.width() * ratio;
        const double nativeHeight = screen.logical.height() * ratio;
        if (cx >= ox && cx < ox + nativeWidth && cy >= oy && cy < oy + nativeHeight) {
            return {rounded(ox + (f.minX() - ox) / ratio, oy + (f.minY() - oy) / ratio, ox + (f.maxX() - ox) / ratio,
                            oy + (f.maxY() - oy) / ratio),
                    ratio};
        }
    }
    const double ratio = screens.empty() ? 1.0 : sane(screens.front().devicePixelRatio);
    return {rounded(f.minX() / ratio, f.minY() / ratio, f.maxX() / ratio, f.maxY() / ratio), ratio};
}

}  // namespace tessary
