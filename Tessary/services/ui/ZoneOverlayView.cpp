#include "Tessary/services/ui/ZoneOverlayView.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "Tessary/services/ui/OverlayDrawing.h"
#include "Tessary/services/ui/OverlayShapes.h"

namespace tessary {

using namespace overlayshape;
using overlaydrawing::mappedImage;
using overlaydrawing::sizedFont;

ZoneOverlayView::ZoneOverlayView(OverlayModel& model, Preferences& preferences, bool showsHint, bool frosted,
                                 QWidget* parent)
    : QWidget(parent), model_(model), preferences_(preferences), showsHint_(showsHint), painter_(preferences, frosted) {
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

void ZoneOverlayView::setHintArea(const QRectF& area) {
    if (area == hintArea_) return;
    hintArea_ = area;
    repaintAll();
}

void ZoneOverlayView::setCompositing(bool compositing) {
    if (compositing == compositing_) return;
    compositing_ = compositing;
    repaintAll();
}

QRegion ZoneOverlayView::takeRequestedRepaint() {
    recordsRepaints_ = true;
    return std::exchange(requested_, QRegion());
}

void ZoneOverlayView::repaint(const QRegion& region, bool redrawn) {
    if (recordsRepaints_) requested_ += region;
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
    states_.clear();
    dropTileImages();
    zoneShapesStale_ = true;
    hint_ = layoutHint();
    previousState_ = state_ = stateOf(model_.highlighted());
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
    previousState_ = state_;
    if (const auto kept = keptChanges_.find(changeKey(previousState_, change.highlight));
        kept != keptChanges_.end()) {
        hint_ = kept->second.hint;
        state_ = kept->second.after;
        repaint(kept->second.region);
        return;
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
    state_ = stateOf(change.highlight);
    if (keptChanges_.size() >= 16) keptChanges_.clear();
    keptChanges_.insert_or_assign(changeKey(previousState_, change.highlight), KeptChange{region, hint_, state_});
    repaint(region);
}

const std::string& ZoneOverlayView::changeKey(std::uint64_t before, std::span<const std::int64_t> after) {
    key_.clear();
    const std::size_t count = after.size();
    key_.append(reinterpret_cast<const char*>(&before), sizeof before);
    key_.append(reinterpret_cast<const char*>(&count), sizeof count);
    key_.append(reinterpret_cast<const char*>(after.data()), after.size_bytes());
    key_ += model_.note();
    return key_;
}

std::uint64_t ZoneOverlayView::stateOf(std::span<const std::int64_t> highlight) {
    const std::string& key = changeKey(0, highlight);
    if (const auto known = states_.find(key); known != states_.end()) return known->second;
    if (states_.size() >= 64) states_.clear();
    return states_.emplace(key, ++lastState_).first->second;
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
    const QRectF area = hintArea_.isEmpty() ? QRectF(rect()) : hintArea_;
    hint.capsule = QRectF(area.left() + (area.width() - width) / 2, area.bottom() - hintBottomPadding - hintHeight,
                          width, hintHeight);
    return hint;
}

void ZoneOverlayView::ensureZoneShapes() {
    // A zone's outlines change only with the zones, the size and the settings; made once, with
    // the union of every zone drawn inactive. A highlighted zone's outline covers its inactive
    // one, so a highlight adds the highlighted zones to that union and nothing more.
    if (!zoneShapesStale_ && zoneShapes_.size() == model_.zones().size()) return;
    zoneShapes_.clear();
    inactiveShape_ = QRegion();
    const QFont labelFont = sizedFont(font(), sizeLabelFontSize, QFont::Normal);
    for (const Zone& zone : model_.zones()) {
        const QRectF r = tileRect(zone);
        QRegion marks = preferences_.showZoneNumbers() ? badgeRegion(r) : QRegion();
        // The size label's chip shows in both states: a highlight neither adds nor takes it.
        if (overlaytext::showsSizeLabel(Rect(0, 0, r.width(), r.height()))) {
            marks += sizeLabelRegion(
                sizeLabelChip(sizeLabelText(r, QString::fromStdString(overlaytext::sizeLabel(zone.rect)), labelFont)));
        }
        const QRegion inactive = outlineRegion(r, false) + marks;
        const QRegion active = outlineRegion(r, true) + marks;
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
    overlaydrawing::inBands(painter, area, 4,
                            [&] { painter_.paintHint(painter, hint.capsule, hint.title, hint.advice, compositing_, font()); });
    return *hintImages_.insert(key, image);
}

QRect ZoneOverlayView::hintArea(const Hint& hint) { return hint.capsule.adjusted(-1, -1, 1, 1).toAlignedRect(); }

void ZoneOverlayView::releaseCache() {
    std::unordered_map<std::string, KeptChange>().swap(keptChanges_);
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
    paintZone(painter, zone, active);
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
        paintZone(painter, zone, false);
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
            paintZone(painter, zone, active);
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

void ZoneOverlayView::paintZone(QPainter& painter, const Zone& zone, bool active) const {
    if (compositing_) {
        painter_.paintTile(painter, zone, tileRect(zone), active, font());
    } else {
        painter_.paintOutline(painter, zone, tileRect(zone), active, font());
    }
}

}  // namespace tessary
