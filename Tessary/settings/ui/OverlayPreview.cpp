#include "Tessary/settings/ui/OverlayPreview.h"

#include <QLabel>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>

#include "Tessary/services/ui/ZoneOverlayView.h"
#include "Tessary/settings/ZonesPaneModel.h"

namespace tessary {

OverlayPreview::OverlayPreview(Preferences& preferences, QWidget* parent)
    : QWidget(parent), view_(new ZoneOverlayView(model_, preferences, false, true, this)) {
    setAccessibleName(tr("Preview of three zones, the second one highlighted"));
    // The view clears what it paints over to transparent, as an overlay window must; inside this
    // window that would punch through the gradient, so it draws into an image of its own instead.
    view_->setCompositing(true);
    view_->hide();
    preferencesSubscription_ = preferences.observe([this](PreferenceSetting) { update(); });
}

void OverlayPreview::layout(QSize size) {
    model_.setZones(previewZones(Size{static_cast<double>(size.width()), static_cast<double>(size.height())}));
    const std::int64_t highlighted[] = {previewHighlightedZone};
    model_.setHighlighted(highlighted);
}

void OverlayPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    view_->resize(event->size());
    layout(event->size());
    update();
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    setMask(QRegion(rounded.toFillPolygon().toPolygon()));
}

void OverlayPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
    gradient.setColorAt(0, QColor::fromRgbF(0.87f, 0.85f, 0.95f));
    gradient.setColorAt(1, QColor::fromRgbF(0.56f, 0.51f, 1.0f));
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(rounded, gradient);
    QImage zones(size() * devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
    zones.setDevicePixelRatio(devicePixelRatioF());
    zones.fill(Qt::transparent);
    view_->render(&zones, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.drawImage(QPoint(0, 0), zones);
}

}  // namespace tessary
