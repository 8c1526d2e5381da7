#include "Tessary/services/ui/ZoneOverlayPanel.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <cmath>

#include "Tessary/services/ui/ZoneOverlayView.h"

namespace tessary {

ZoneOverlayPanel::ZoneOverlayPanel(const DisplayInfo& display, Preferences& preferences)
    : QWidget(nullptr, Qt::Window | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                           Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
      display_(display),
      view_(new ZoneOverlayView(model_, preferences, /*showsHint=*/true, /*frosted=*/true, this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Tessary zones"));
    // Without a compositor the X server shows the window's pixels as they are, transparent ones
    // black: the window itself is shaped (X Shape, bounding) to what the view draws. A mask on the
    // view would only clip its painting; the server never sees it. The shape goes to the native
    // window alone (QWindow::setMask), not to the widget: a widget mask would cut every paint
    // event to it, thousands of rectangles (each bar of a hatching), which makes each clip a
    // complex one that Qt's raster engine fills span by span over its thread pool.
    view_->onShapeChanged = [this](const QRegion& shape) {
        winId();
        if (QWindow* window = windowHandle()) window->setMask(shape);
    };
    configure(display);
}

// The view refers to the model, a member: it goes first, before the members do (QWidget would
// delete its children only after them).
ZoneOverlayPanel::~ZoneOverlayPanel() { delete view_; }

void ZoneOverlayPanel::configure(const DisplayInfo& display) {
    display_ = display;
    std::vector<ScreenGeometry> screens;
    for (QScreen* screen : QGuiApplication::screens()) {
        screens.push_back({screen->geometry(), screen->devicePixelRatio()});
    }
    const Placement where = placement(display.frame, screens);
    view_->setPointsPerPixel(where.devicePixelRatio);
    if (geometry() != where.logical) setGeometry(where.logical);
}

void ZoneOverlayPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    view_->setGeometry(rect());
}

void ZoneOverlayPanel::releaseBuffers() {
    if (isVisible()) return;
    view_->releaseCache();
    // Shrinking the backing store to nothing frees its image: on xcb the shared-memory segment
    // and the server-side pixmap. The widget repaint manager resizes a store that differs from
    // the window before it paints, and repaints all of it then, so the next show draws into a
    // fresh buffer of the right size. The native window stays (no new X window per drag).
    QBackingStore* store = backingStore();
    if (store && !store->size().isEmpty()) store->resize(QSize(0, 0));
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
