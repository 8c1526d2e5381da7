#include "Tessary/shell/ui/LayoutThumbnail.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "Tessary/shell/LayoutThumbnailModel.h"

namespace tessary {

namespace {

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

}  // namespace

LayoutThumbnail::LayoutThumbnail(ZoneLayout layout, QWidget* parent) : QWidget(parent), layout_(std::move(layout)) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    updateAccessibility();
}

void LayoutThumbnail::setLayout(ZoneLayout layout) {
    layout_ = std::move(layout);
    updateAccessibility();
    update();
}

void LayoutThumbnail::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    update();
}

void LayoutThumbnail::setHighlightedZones(std::set<std::int64_t> zones) {
    if (highlightedZones_ == zones) return;
    highlightedZones_ = std::move(zones);
    update();
}

void LayoutThumbnail::setOnTapZone(std::function<void(std::int64_t)> handler) {
    onTapZone_ = std::move(handler);
    setCursor(onTapZone_ ? Qt::PointingHandCursor : Qt::ArrowCursor);
    updateAccessibility();
    update();
}

void LayoutThumbnail::setThumbnailWidth(int width) {
    setFixedSize(width, heightForWidth(width));
}

int LayoutThumbnail::heightForWidth(int width) const {
    return static_cast<int>(std::lround(width / LayoutThumbnailModel::aspectRatio));
}

QSize LayoutThumbnail::sizeHint() const { return {64, heightForWidth(64)}; }

QRectF LayoutThumbnail::pictureRect() const {
    const Size fitted = LayoutThumbnailModel::fittedSize({double(width()), double(height())});
    return {(width() - fitted.width) / 2, (height() - fitted.height) / 2, fitted.width, fitted.height};
}

void LayoutThumbnail::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF picture = pictureRect();
    const QColor primary = palette().color(QPalette::WindowText);
    const QColor accent = palette().color(QPalette::Highlight);

    QPainterPath background;
    background.addRoundedRect(picture, 5, 5);
    painter.fillPath(background, withAlpha(primary, 0.09));

    painter.translate(picture.topLeft());
    const auto zones = LayoutThumbnailModel::zones(layout_, {picture.width(), picture.height()}, highlighted_,
                                                   highlightedZones_, bool(onTapZone_));
    for (const auto& zone : zones) {
        const Rect r = zone.rect;
        const QRectF rect(r.origin.x, r.origin.y, std::max(r.size.width, 0.0), std::max(r.size.height, 0.0));
        QPainterPath path;
        path.addRoundedRect(rect, 2.5, 2.5);
        painter.fillPath(path, withAlpha(accent, zone.lit ? 0.9 : 0.45));
        // The border lies inside the zone: inset by half the pen.
        const double width = zone.picked ? 1.5 : 0.5;
        QPainterPath border;
        border.addRoundedRect(rect.adjusted(width / 2, width / 2, -width / 2, -width / 2), 2.5, 2.5);
        painter.strokePath(border, QPen(zone.picked ? QColor(Qt::white) : withAlpha(accent, 0.9), width));
    }
}

void LayoutThumbnail::mouseReleaseEvent(QMouseEvent* event) {
    if (!onTapZone_ || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    const QRectF picture = pictureRect();
    const auto zones = LayoutThumbnailModel::zones(layout_, {picture.width(), picture.height()}, highlighted_,
                                                   highlightedZones_, true);
    const QPointF p = event->position() - picture.topLeft();
    const std::int64_t index = LayoutThumbnailModel::zoneAt(zones, {p.x(), p.y()});
    if (index >= 0) {
        // The handler may rebuild whatever holds this thumbnail: copy it before calling.
        auto handler = onTapZone_;
        handler(index);
    }
}

void LayoutThumbnail::updateAccessibility() {
    setAccessibleName(QString::fromStdString(layout_.name));
}

}  // namespace tessary
