#include "Tessary/services/ui/ZoneOverlayView.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <sys/mman.h>

#include <algorithm>
#include <cmath>

namespace tessary {

namespace {

constexpr double cornerRadius = 14;
constexpr double hintHeight = 34;
constexpr double hintBottomPadding = 56;
constexpr double hintSidePadding = 16;
constexpr double hintSpacing = 10;
constexpr double hintDot = 8;
constexpr double hintFontSize = 13;
constexpr double sizeLabelFontSize = 12;
constexpr double sizeLabelBottomPadding = 14;
// Without a compositor: the width of a tile's outline and how far inside the tile it reaches.
constexpr double outlineReach = 3;
constexpr double outlineInset = 6;
// Without a compositor, a highlighted tile: its band's width, and bars of hatching this thick, this
// far apart, across the rest.
constexpr double activeBand = 12;
constexpr int hatchBar = 2;
constexpr int hatchPitch = 10;

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
    return color;
}

QColor overlayColor(const Preferences& preferences) {
    const auto c = preferences.overlayColor();
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue),
                            static_cast<float>(c.alpha));
}

// Three box blurs of the alpha channel in both directions, close to a Gaussian of the radius.
void blurAlpha(QImage& image, double radius) {
    const double sigma = radius / 2;
    const int box = std::max(1, static_cast<int>((std::sqrt(4 * sigma * sigma + 1) - 1) / 2));
    const int w = image.width();
    const int h = image.height();
    std::vector<int> alpha(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) alpha[static_cast<std::size_t>(y * w + x)] = qAlpha(line[x]);
    }
    std::vector<int> buffer(alpha.size());
    auto pass = [&](bool horizontal) {
        const int lines = horizontal ? h : w;
        const int length = horizontal ? w : h;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> int& {
                const int x = horizontal ? i : l;
                const int y = horizontal ? l : i;
                return alpha[static_cast<std::size_t>(y * w + x)];
            };
            int sum = 0;
            for (int i = -box; i <= box; ++i) sum += (i >= 0 && i < length) ? at(i) : 0;
            for (int i = 0; i < length; ++i) {
                const int x = horizontal ? i : l;
                const int y = horizontal ? l : i;
                buffer[static_cast<std::size_t>(y * w + x)] = sum / (2 * box + 1);
                const int out = i - box;
                const int in = i + box + 1;
                if (out >= 0) sum -= at(out);
                if (in < length) sum += at(in);
            }
        }
        alpha.swap(buffer);
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = qRgba(0, 0, 0, alpha[static_cast<std::size_t>(y * w + x)]);
    }
}

// A blurred rounded square to stretch around a tile of any size: its corners are kept and its
// edges stretched. Made once per blur and colour and kept by the view that draws it, so a repaint
// never blurs; a few are kept at most, since every overlay colour the user tries makes new ones.
struct ShadowPatch {
    QImage image;
    int margin = 0;  // how far the shadow reaches beyond the shape
    int corner = 0;
};

ShadowPatch shadowPatch(QHash<QString, QImage>& cache, double blur, QColor color) {
    ShadowPatch patch;
    patch.margin = static_cast<int>(std::ceil(blur * 1.5));
    patch.corner = static_cast<int>(std::ceil(cornerRadius));
    const QString key = QString::number(blur) + '/' + QString::number(color.rgba(), 16);
    if (const auto found = cache.constFind(key); found != cache.constEnd()) {
        patch.image = *found;
        return patch;
    }

    const int side = 2 * (patch.margin + patch.corner) + 1;
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(patch.margin, patch.margin, 2 * patch.corner + 1, 2 * patch.corner + 1), cornerRadius,
                          cornerRadius);
    }
    blurAlpha(image, blur);
    QImage colored = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&colored);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(colored.rect(), color);
    }
    patch.image = colored;
    constexpr qsizetype kept = 8;
    if (cache.size() >= kept) cache.clear();
    cache.insert(key, colored);
    return patch;
}

void drawShadow(QHash<QString, QImage>& cache, QPainter& painter, const QRectF& shape, double blur, QColor color,
                QPointF offset) {
    const ShadowPatch patch = shadowPatch(cache, blur, color);
    const double m = patch.margin;
    const double k = patch.margin + patch.corner;  // a corner slice's side
    const QRectF target = shape.translated(offset).adjusted(-m, -m, m, m);
    const double side = patch.image.width();
    const double xs[] = {target.left(), target.left() + k, target.right() - k, target.right()};
    const double ys[] = {target.top(), target.top() + k, target.bottom() - k, target.bottom()};
    const double us[] = {0, k, side - k, side};
    if (xs[2] < xs[1] || ys[2] < ys[1]) {
        painter.drawImage(target, patch.image);
        return;
    }
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (row == 1 && col == 1) continue;  // under the tile: clipped away anyway
            painter.drawImage(QRectF(QPointF(xs[col], ys[row]), QPointF(xs[col + 1], ys[row + 1])), patch.image,
                              QRectF(QPointF(us[col], us[row]), QPointF(us[col + 1], us[row + 1])));
        }
    }
}

// An image whose pixels are mapped from the system on their own, so that releasing it gives the
// memory back at once: the allocator keeps a freed block of window size for reuse (and raises its
// threshold for mapping such blocks), which would leave the idle program's resident size high.
QImage mappedImage(QSize pixels) {
    struct Mapping {
        void* data;
        std::size_t bytes;
    };
    const std::size_t bytesPerLine = std::size_t(std::max(0, pixels.width())) * 4;
    const std::size_t bytes = bytesPerLine * std::size_t(std::max(0, pixels.height()));
    if (bytes == 0) return QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    void* data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) return QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    auto* mapping = new Mapping{data, bytes};
    return QImage(
        static_cast<uchar*>(data), pixels.width(), pixels.height(), qsizetype(bytesPerLine),
        QImage::Format_ARGB32_Premultiplied,
        [](void* info) {
            auto* owned = static_cast<Mapping*>(info);
            ::munmap(owned->data, owned->bytes);
            delete owned;
        },
        mapping);
}

// `top` drawn over `bottom`, as one colour.
QColor composedOver(const QColor& top, const QColor& bottom) {
    const double a = top.alphaF() + bottom.alphaF() * (1 - top.alphaF());
    if (a <= 0) return QColor(0, 0, 0, 0);
    auto channel = [&](double t, double b) { return (t * top.alphaF() + b * bottom.alphaF() * (1 - top.alphaF())) / a; };
    return QColor::fromRgbF(float(channel(top.redF(), bottom.redF())), float(channel(top.greenF(), bottom.greenF())),
                            float(channel(top.blueF(), bottom.blueF())), float(a));
}

// A badge's number with its shadow, drawn once per number, size and pixel ratio: glyphs this large
// are drawn as outlines, which costs more than all the rest of a tile.
const QImage& badgeText(QHash<QString, QImage>& cache, const QString& number, const QFont& font, QSizeF size,
                        double ratio) {
    const QString key = number + QLatin1Char('|') + QString::number(font.pixelSize()) + QLatin1Char('|') +
                        QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height()) +
                        QLatin1Char('|') + QString::number(ratio);
    if (const auto found = cache.constFind(key); found != cache.constEnd()) return *found;
    if (cache.size() >= 256) cache.clear();
    QImage image((QSizeF(size.width(), size.height() + 1) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    const QRectF area(QPointF(0, 0), size);
    painter.setPen(QColor::fromRgbF(0, 0, 0, 0.35f));
    painter.drawText(area.translated(0, 1), Qt::AlignCenter, number);
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(area, Qt::AlignCenter, number);
    painter.end();
    return *cache.insert(key, image);
}

QFont sizedFont(const QFont& base, double pixelSize, QFont::Weight weight) {
    QFont font(base);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    font.setWeight(weight);
    return font;
}

}  // namespace

ZoneOverlayView::ZoneOverlayView(OverlayModel& model, Preferences& preferences, bool showsHint, bool frosted,
                                 QWidget* parent)
    : QWidget(parent), model_(model), preferences_(preferences), showsHint_(showsHint), frosted_(frosted) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    model_.onChange = [this](const OverlayModelChange& change) { modelChanged(change); };
    preferencesSubscription_ = preferences_.observe([this](PreferenceSetting s) { preferencesChanged(s); });
}

ZoneOverlayView::~ZoneOverlayView() { model_.onChange = nullptr; }

void ZoneOverlayView::setPointsPerPixel(double ratio) {
    const double sane = std::isfinite(ratio) && ratio > 0 ? ratio : 1.0;
    if (sane == pointsPerPixel_) return;
    pointsPerPixel_ = sane;
    repaintAll();
}

void ZoneOverlayView::setCompositing(bool compositing) {
    if (compositing == compositing_) return;
    compositing_ = compositing;
    repaintAll();
}

QRegion ZoneOverlayView::takeRequestedRepaint() { return std::exchange(requested_, QRegion()); }

void ZoneOverlayView::repaint(const QRegion& region, bool redrawn) {
    requested_ += region;
    shapeStale_ = true;
    if (onRepaint) {
        onRepaint(region, redrawn);
        return;
    }
    unpainted_ += region;
    update(region);
}

void ZoneOverlayView::repaintAll() {
    keptChanges_.clear();
    dropTileImages();
    zoneShapesStale_ = true;
    hint_ = layoutHint();
    repaint(QRegion(rect()), true);
}

void ZoneOverlayView::resizeTo(QSize size) {
    if (size == this->size() && !testAttribute(Qt::WA_PendingResizeEvent)) return;
    resize(size);
    // A hidden widget is told of its new size only when shown; this one is laid out now.
    setAttribute(Qt::WA_PendingResizeEvent, false);
    repaintAll();
}

void ZoneOverlayView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    repaintAll();
}

void ZoneOverlayView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The badges, labels and the hint are measured and drawn once per font.
    if (event->type() == QEvent::FontChange) repaintAll();
}

void ZoneOverlayView::modelChanged(const OverlayModelChange& change) {
    if (change.zonesChanged) {
        repaintAll();
        return;
    }
    // A sweep goes back and forth between a few highlights: each change's region and hint are
    // worked out once (what they follow otherwise goes through repaintAll()).
    for (const KeptChange& kept : keptChanges_) {
        if (std::ranges::equal(kept.before, change.previousHighlight) && std::ranges::equal(kept.after, change.highlight) &&
            kept.note == model_.note()) {
            hint_ = kept.hint;
            repaint(kept.region);
            return;
        }
    }
    QRegion region;
    scratch_.clear();
    // A tile's ring and shadow reach out further than an outline does.
    const double reach = compositing_ ? tileReach : outlineReach + 3;
    model_.appendRepaintRects(change, reach * pointsPerPixel_, scratch_);
    for (const Rect& r : scratch_) {
        region += QRectF(r.minX() / pointsPerPixel_, r.minY() / pointsPerPixel_, r.width() / pointsPerPixel_,
                         r.height() / pointsPerPixel_)
                      .toAlignedRect();
    }
    const QRectF previousHint = hint_.capsule;
    hint_ = layoutHint();
    if (previousHint != hint_.capsule || !hint_.capsule.isEmpty()) {
        // The hint's text follows every change of the highlight.
        region += previousHint.adjusted(-1, -1, 1, 1).toAlignedRect();
        region += hint_.capsule.adjusted(-1, -1, 1, 1).toAlignedRect();
    }
    region &= rect();
    if (keptChanges_.size() >= 16) keptChanges_.clear();
    keptChanges_.push_back({{change.previousHighlight.begin(), change.previousHighlight.end()},
                            {change.highlight.begin(), change.highlight.end()},
                            model_.note(),
                            region,
                            hint_});
    repaint(region);
}

void ZoneOverlayView::preferencesChanged(PreferenceSetting setting) {
    switch (setting) {
    case PreferenceSetting::overlayColor:
    case PreferenceSetting::zoneOpacity:
    case PreferenceSetting::highlightOpacity:
    case PreferenceSetting::showZoneNumbers:
    case PreferenceSetting::spanModifier:
        repaintAll();
        break;
    default:
        break;
    }
}

QRectF ZoneOverlayView::tileRect(const Zone& zone) const {
    // A rectangle of negative size is laid out at its minimum corner, at size 0.
    const Rect& r = zone.rect;
    return QRectF(r.minX() / pointsPerPixel_, r.minY() / pointsPerPixel_, std::max(0.0, r.width()) / pointsPerPixel_,
                  std::max(0.0, r.height()) / pointsPerPixel_);
}

ZoneOverlayView::Hint ZoneOverlayView::layoutHint() const {
    Hint hint;
    const auto& highlighted = model_.highlighted();
    if (!showsHint_ || highlighted.empty()) return hint;
    hint.title = QString::fromStdString(overlaytext::hintTitle(highlighted));
    // A note (the dragged window does not fit) says more than the advice.
    hint.advice = QString::fromStdString(model_.note().empty()
                                             ? overlaytext::hintSpanAdvice(preferences_.spanModifier(), highlighted.size())
                                             : model_.note());
    // Measured once per text: shaping it is most of what a highlight change costs otherwise.
    hint.key = hint.title + QLatin1Char('\n') + hint.advice;
    const QString& key = hint.key;
    auto known = hintWidths_.constFind(key);
    if (known == hintWidths_.constEnd()) {
        const QFontMetricsF titleMetrics(sizedFont(font(), hintFontSize, QFont::DemiBold));
        const QFontMetricsF adviceMetrics(sizedFont(font(), hintFontSize, QFont::Normal));
        double measured = hintSidePadding + hintDot + hintSpacing + titleMetrics.horizontalAdvance(hint.title);
        if (!hint.advice.isEmpty()) {
            measured += hintSpacing + adviceMetrics.horizontalAdvance(QStringLiteral("\u00b7")) + hintSpacing +
                        adviceMetrics.horizontalAdvance(hint.advice);
        }
        if (hintWidths_.size() >= 64) hintWidths_.clear();
        known = hintWidths_.insert(key, std::ceil(measured + hintSidePadding));
    }
    const double width = *known;
    hint.capsule = QRectF((this->width() - width) / 2, this->height() - hintBottomPadding - hintHeight, width, hintHeight);
    return hint;
}

namespace {

// Without a compositor: the band along a tile's edge (wide and reaching out a little while the
// tile is highlighted), its badge, the hatching of a highlighted tile and the hint, as filled
// shapes. The window is shaped to exactly these, so every pixel it shows is painted opaque.
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

// A highlighted tile's hatching without a compositor: thin bars across the inside of the band,
// with the windows beneath showing between them.
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

QRegion regionOf(const QPainterPath& path) { return QRegion(path.toFillPolygon().toPolygon(), path.fillRule()); }

// What a tile shows of itself without a compositor, besides its badge. Highlighted, it covers all
// it shows otherwise, so that the window's shape can be every zone's inactive outline plus the
// highlighted ones.
QRegion outlineRegion(const QRectF& r, bool active) {
    const QRegion inactive = regionOf(outlineBand(r, false));
    return active ? inactive + regionOf(outlineBand(r, true)) + hatching(r) : inactive;
}

QRegion badgeRegion(const QRectF& r) { return QRegion(outlineBadge(r).toAlignedRect(), QRegion::Ellipse); }

QRegion capsuleRegion(const QRectF& capsule) {
    QPainterPath path;
    path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    return regionOf(path);
}

// Qt's raster engine splits a fill of more than about a hundred spans (one or a few per row) over
// its thread pool, which wakes a thread per core; filling a few rows at a time stays below that.
template <class Paint>
void inBands(QPainter& painter, const QRect& area, int rows, const Paint& paint) {
    for (int y = area.top(); y <= area.bottom(); y += rows) {
        painter.setClipRect(QRect(area.left(), y, area.width(), std::min(rows, area.bottom() + 1 - y)));
        paint();
    }
}

}  // namespace

void ZoneOverlayView::ensureZoneShapes() {
    // A zone's outlines change only with the zones, the size and the settings; made once, with
    // the union of every zone drawn inactive. A highlighted zone's outline covers its inactive
    // one, so a highlight adds the highlighted zones to that union and nothing more.
    if (!zoneShapesStale_ && zoneShapes_.size() == model_.zones().size()) return;
    zoneShapes_.clear();
    inactiveShape_ = QRegion();
    for (const Zone& zone : model_.zones()) {
        const QRectF r = tileRect(zone);
        const QRegion badge = preferences_.showZoneNumbers() ? badgeRegion(r) : QRegion();
        const QRegion inactive = outlineRegion(r, false) + badge;
        const QRegion active = outlineRegion(r, true) + badge;
        const QRegion gain = active - inactive;
        zoneShapes_.push_back({inactive, active, gain, gain & hatching(r)});
        inactiveShape_ += zoneShapes_.back()[0];
    }
    zoneShapesStale_ = false;
}

const QRegion& ZoneOverlayView::shape() {
    if (!shapeStale_) return shape_;
    shapeStale_ = false;
    if (compositing_) {
        shape_ = QRegion();
        return shape_;
    }
    ensureZoneShapes();
    QRegion region = inactiveShape_;
    for (std::size_t i = 0; i < model_.zones().size(); ++i) {
        if (model_.isHighlighted(model_.zones()[i].index)) region += zoneShapes_[i][1];
    }
    region += hintShape();
    region &= rect();
    // An empty shape would mean no shape at all: keep a region outside the window instead.
    if (region.isEmpty()) region = QRegion(-1, -1, 1, 1);
    shape_ = region;
    return shape_;
}

const QRegion& ZoneOverlayView::tileShape(std::size_t zone, bool active) {
    ensureZoneShapes();
    return zoneShapes_.at(zone)[active ? 1 : 0];
}

const QRegion& ZoneOverlayView::tileShapeGain(std::size_t zone) {
    ensureZoneShapes();
    return zoneShapes_.at(zone)[2];
}

const QRegion& ZoneOverlayView::tileHatchingGain(std::size_t zone) {
    ensureZoneShapes();
    return zoneShapes_.at(zone)[3];
}

const QRegion& ZoneOverlayView::hintShape() {
    const QRectF& capsule = hint_.capsule;
    const auto found = std::find_if(hintShapes_.begin(), hintShapes_.end(), [&](const auto& kept) { return kept.first == capsule; });
    if (found == hintShapes_.end()) {
        if (hintShapes_.size() >= 8) hintShapes_.pop_back();
        hintShapes_.insert(hintShapes_.begin(), {capsule, capsule.isEmpty() ? QRegion() : capsuleRegion(capsule)});
    } else if (found != hintShapes_.begin()) {
        std::rotate(hintShapes_.begin(), found, found + 1);
    }
    return hintShapes_.front().second;
}

ZoneOverlayView::TileImage ZoneOverlayView::takeTileImage(std::size_t zone, bool active) {
    tileImage(zone, active);
    return std::exchange(tileImages_[zone][active ? 1 : 0], TileImage{});
}

const QImage* ZoneOverlayView::currentHint(QRect& area, QString& key) {
    if (hint_.capsule.isEmpty()) return nullptr;
    const Hint& hint = hint_;
    area = hintArea(hint);
    key = hint.key;
    return &hintImage(hint);
}

void ZoneOverlayView::dropTileImages() {
    inactiveTilesStale_ = true;
    tileImages_.clear();
    hintImages_.clear();
    hintWidths_.clear();
}

const QImage& ZoneOverlayView::hintImage(const Hint& hint) {
    const QString& key = hint.key;
    if (const auto found = hintImages_.constFind(key); found != hintImages_.constEnd()) return *found;
    if (hintImages_.size() >= 32) hintImages_.clear();
    const QRect area = hintArea(hint);
    const double ratio = devicePixelRatioF();
    QImage image((QSizeF(area.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(-area.topLeft());
    inBands(painter, area, 4, [&] { paintHint(painter, hint); });
    return *hintImages_.insert(key, image);
}

QRect ZoneOverlayView::hintArea(const Hint& hint) { return hint.capsule.adjusted(-1, -1, 1, 1).toAlignedRect(); }

void ZoneOverlayView::releaseCache() {
    std::vector<KeptChange>().swap(keptChanges_);
    inactiveTiles_ = QImage();
    dropTileImages();
    shownSinceRelease_ = false;
    // The outlines' regions (hundreds of kilobytes of rectangles) are made again from the zones
    // at the next showing.
    std::vector<std::array<QRegion, 4>>().swap(zoneShapes_);
    inactiveShape_ = QRegion();
    zoneShapesStale_ = true;
    shape_ = QRegion();
    shapeStale_ = true;
    std::vector<std::pair<QRectF, QRegion>>().swap(hintShapes_);
}

std::size_t ZoneOverlayView::cachedTileCount() const {
    std::size_t count = 0;
    for (const auto& states : tileImages_) {
        for (const auto& tile : states) count += tile.image.isNull() ? 0 : 1;
    }
    return count;
}

QRect ZoneOverlayView::tileArea(const Zone& zone, bool active) const {
    // How far a tile's drawing reaches beyond it: shadow and ring, or the outline's pen.
    const double reach = compositing_ ? (active ? tileReach : 12) : (active ? outlineReach + 2 : 2);
    return tileRect(zone).adjusted(-reach, -reach, reach, reach).toAlignedRect() & rect();
}

const ZoneOverlayView::TileImage& ZoneOverlayView::tileImage(std::size_t index, bool active) {
    if (tileImages_.size() != model_.zones().size()) tileImages_.assign(model_.zones().size(), {});
    TileImage& tile = tileImages_[index][active ? 1 : 0];
    if (!tile.image.isNull()) return tile;
    const Zone& zone = model_.zones()[index];
    const QRect area = tileArea(zone, active);
    const double ratio = devicePixelRatioF();
    tile.at = area.topLeft();
    tile.image = mappedImage((QSizeF(std::max(1, area.width()), std::max(1, area.height())) * ratio).toSize());
    tile.image.setDevicePixelRatio(ratio);
    tile.image.fill(Qt::transparent);
    if (area.isEmpty()) return tile;
    QPainter painter(&tile.image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(-area.topLeft());
    if (compositing_) {
        paintTile(painter, zone, active);
    } else {
        paintOutline(painter, zone, active);
    }
    return tile;
}

void ZoneOverlayView::ensureInactiveTiles() {
    const double ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (!inactiveTilesStale_ && inactiveTiles_.size() == pixels) return;
    inactiveTiles_ = mappedImage(pixels);
    inactiveTiles_.setDevicePixelRatio(ratio);
    inactiveTiles_.fill(Qt::transparent);
    // Drawn as the first show drew the window, so that every show looks the same to the pixel.
    QPainter painter(&inactiveTiles_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const Zone& zone : model_.zones()) {
        if (compositing_) {
            paintTile(painter, zone, false);
        } else {
            paintOutline(painter, zone, false);
        }
    }
    inactiveTilesStale_ = false;
}

void ZoneOverlayView::composeTiles(QPainter& painter, const QRect& area, bool drawUncached) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(area, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (std::size_t i = 0; i < model_.zones().size(); ++i) {
        const Zone& zone = model_.zones()[i];
        const bool active = model_.isHighlighted(zone.index);
        if (!tileArea(zone, active).intersects(area)) continue;
        const bool cached = i < tileImages_.size() && !tileImages_[i][active ? 1 : 0].image.isNull();
        if (drawUncached && !cached) {
            if (compositing_) {
                paintTile(painter, zone, active);
            } else {
                paintOutline(painter, zone, active);
            }
            continue;
        }
        const TileImage& tile = tileImage(i, active);
        painter.drawImage(tile.at, tile.image);
    }
}

void ZoneOverlayView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // The rectangles asked for, rather than the event's region: without a compositor Qt cuts that
    // to the window's shape, thousands of rectangles (each bar of a hatching), and every clip set
    // below is cut against it again. Anything Qt repaints on its own (an expose) is added whole.
    QRegion dirty = std::exchange(unpainted_, QRegion()) & event->region().boundingRect();
    if (!(event->region() - dirty).isEmpty()) dirty += event->region().boundingRect();
    dirty &= rect();
    const double ratio = devicePixelRatioF();
    const bool cached = !inactiveTilesStale_ && inactiveTiles_.size() == (QSizeF(size()) * ratio).toSize();
    const bool whole = dirty.contains(rect());
    // The composed image is made at a show (a whole repaint), and only from the second show after
    // the pixels were given back: the first show after an idle while pays for a fresh window buffer
    // already, and most drags come alone.
    const bool composed = cached || (whole && shownSinceRelease_);
    if (composed) ensureInactiveTiles();
    if (whole) shownSinceRelease_ = true;
    QRegion lit;
    for (const Zone& zone : model_.zones()) {
        if (model_.isHighlighted(zone.index)) lit += tileArea(zone, true);
    }
    // Away from highlighted tiles the window shows every tile inactive: a copy of the composed
    // image, where there is one; around them, the tiles composed each in its state.
    const QRegion copied = composed ? dirty - lit : QRegion();
    const QRegion live = dirty - copied;
    // A copy in Source mode is a copy of rows where the window's buffer has the image's very format
    // (on X11 with an alpha channel it has); elsewhere the engine would fill it span by span over
    // its thread pool, and the image is blended over cleared pixels instead, to the same effect.
    const QPaintDevice* buffer = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    const bool sameFormat = buffer && buffer->devType() == QInternal::Image &&
                            static_cast<const QImage*>(buffer)->format() == inactiveTiles_.format();
    // One rectangle at a time: a copy clipped to a rectangle is a plain copy on this thread.
    for (const QRect& area : copied) {
        painter.setClipRect(area);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        if (!sameFormat) {
            painter.fillRect(area, Qt::transparent);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        painter.drawImage(QPointF(0, 0), inactiveTiles_);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    for (const QRect& area : live) {
        painter.setClipRect(area);
        // At that first show, tiles without an image yet are drawn straight into the window.
        composeTiles(painter, area, whole && !composed);
    }
    if (!hint_.capsule.isEmpty()) {
        const Hint& hint = hint_;
        const QRect where = hintArea(hint);
        const QImage& image = hintImage(hint);
        for (const QRect& area : dirty) {
            if (!area.intersects(where)) continue;
            painter.setClipRect(area & where);
            painter.drawImage(where.topLeft(), image);
        }
    }
}

void ZoneOverlayView::paintTile(QPainter& painter, const Zone& zone, bool active) const {
    const QRectF r = tileRect(zone);
    const QColor color = overlayColor(preferences_);
    const double fillOpacity = active ? preferences_.highlightOpacity() : preferences_.zoneOpacity();
    QPainterPath shape;
    shape.addRoundedRect(r, cornerRadius, cornerRadius);

    // The shadow falls outside the tile only: under a translucent tint it would muddy the window below.
    {
        painter.save();
        QPainterPath outside;
        outside.setFillRule(Qt::OddEvenFill);
        outside.addRect(r.adjusted(-2 * tileReach, -2 * tileReach, 2 * tileReach, 2 * tileReach));
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

    const QColor white(255, 255, 255);
    if (preferences_.showZoneNumbers()) {
        const double s = overlaytext::badgeFontSize(Rect(0, 0, r.width(), r.height()));
        const QFont font = sizedFont(this->font(), s, QFont::Bold);
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

    if (overlaytext::showsSizeLabel(Rect(0, 0, r.width(), r.height()))) {
        const QString label = QString::fromStdString(overlaytext::sizeLabel(zone.rect));
        painter.setFont(sizedFont(font(), sizeLabelFontSize, QFont::Normal));
        const QRectF area = r.adjusted(0, 0, 0, -sizeLabelBottomPadding);
        // White on a dark chip reads at 4.5:1 over any desktop and zone colour; on the zone's own
        // tint over a light desktop it read at 2:1.
        const QRectF text = painter.boundingRect(area, Qt::AlignHCenter | Qt::AlignBottom, label);
        const QRectF chip = text.adjusted(-6, -1, 6, 1);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.55f));
        painter.drawRoundedRect(chip, chip.height() / 2, chip.height() / 2);
        painter.setPen(white);
        painter.drawText(area, Qt::AlignHCenter | Qt::AlignBottom, label);
    }
}

void ZoneOverlayView::paintOutline(QPainter& painter, const Zone& zone, bool active) const {
    // Opaque and without antialiasing: without a compositor a pixel shows exactly as painted.
    const QRectF r = tileRect(zone);
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
        painter.setFont(sizedFont(font(), overlaytext::badgeFontSize(Rect(0, 0, r.width(), r.height())), QFont::Bold));
        painter.drawText(outlineBadge(r), Qt::AlignCenter, QString::fromStdString(overlaytext::zoneNumber(zone.index)));
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
}

void ZoneOverlayView::paintHint(QPainter& painter, const Hint& hint) const {
    painter.save();
    paintHintContent(painter, hint);
    painter.restore();
}

void ZoneOverlayView::paintHintContent(QPainter& painter, const Hint& hint) const {
    if (!compositing_) painter.setRenderHint(QPainter::Antialiasing, false);
    const QRectF& c = hint.capsule;
    const double radius = c.height() / 2;
    painter.setPen(Qt::NoPen);
    if (compositing_) {
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
    if (!compositing_) dot.setAlphaF(1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(dot);
    painter.drawEllipse(QRectF(x, c.center().y() - hintDot / 2, hintDot, hintDot));
    x += hintDot + hintSpacing;

    const QFont titleFont = sizedFont(font(), hintFontSize, QFont::DemiBold);
    painter.setFont(titleFont);
    painter.setPen(QColor(255, 255, 255));
    const double titleWidth = QFontMetricsF(titleFont).horizontalAdvance(hint.title);
    painter.drawText(QRectF(x, c.top(), titleWidth + 1, c.height()), Qt::AlignLeft | Qt::AlignVCenter, hint.title);
    x += titleWidth;
    if (hint.advice.isEmpty()) return;

    const QFont adviceFont = sizedFont(font(), hintFontSize, QFont::Normal);
    const QFontMetricsF metrics(adviceFont);
    painter.setFont(adviceFont);
    painter.setPen(QColor::fromRgbF(1, 1, 1, compositing_ ? 0.62f : 0.8f));
    const QString separator = QStringLiteral("\u00b7");
    x += hintSpacing;
    painter.drawText(QRectF(x, c.top(), metrics.horizontalAdvance(separator) + 1, c.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, separator);
    x += metrics.horizontalAdvance(separator) + hintSpacing;
    painter.drawText(QRectF(x, c.top(), metrics.horizontalAdvance(hint.advice) + 1, c.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, hint.advice);
}

}  // namespace tessary
