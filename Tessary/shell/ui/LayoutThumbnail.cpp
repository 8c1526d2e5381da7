#include "Tessary/shell/ui/LayoutThumbnail.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <optional>
#include <vector>

#include "Tessary/shell/LayoutThumbnailModel.h"
#include "Tessary/shell/ui/LeafAccessible.h"

namespace tessary {

namespace {

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

// The 1.6 : 1 picture centred in a box.
QRectF pictureIn(const QRectF& box) {
    const Size fitted = LayoutThumbnailModel::fittedSize({box.width(), box.height()});
    return {box.left() + (box.width() - fitted.width) / 2, box.top() + (box.height() - fitted.height) / 2, fitted.width,
            fitted.height};
}

}  // namespace

// --- Accessibility ---------------------------------------------------------------------------------

namespace {

// One zone of a thumbnail: an interface of its own with no object behind it, valid while the
// thumbnail shows that many zones.
class ZoneAccessible final : public LeafAccessible<LayoutThumbnail> {
public:
    ZoneAccessible(LayoutThumbnail* thumbnail, int position) : LeafAccessible(thumbnail), position_(position) {}

    bool isValid() const override { return zone().has_value(); }

    QString text(QAccessible::Text kind) const override {
        const auto shown = zone();
        if (!shown) return {};
        if (kind == QAccessible::Name) return QObject::tr("Zone %1").arg(shown->index + 1);
        if (kind == QAccessible::Value) return shown->lit ? QObject::tr("selected") : QString();
        return {};
    }

    QRect rect() const override {
        const auto shown = zone();
        if (!shown) return {};
        const QRectF r(shown->rect.x(), shown->rect.y(), shown->rect.width(), shown->rect.height());
        return QRect(owner()->mapToGlobal(r.topLeft().toPoint()), r.size().toSize());
    }
    QAccessible::Role role() const override {
        return owner() && owner()->takesTaps() ? QAccessible::Button : QAccessible::Graphic;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        const auto shown = zone();
        if (!shown) {
            state.invalid = true;
            return state;
        }
        state.invisible = !owner()->isVisible();
        state.selectable = owner()->takesTaps();
        state.selected = shown->lit;
        return state;
    }

    QStringList actionNames() const override {
        return owner() && owner()->takesTaps() ? QStringList{pressAction()} : QStringList{};
    }
    void doAction(const QString& name) override {
        const auto shown = zone();
        if (name == pressAction() && shown && owner()->takesTaps()) owner()->tapZone(shown->index);
    }

private:
    std::optional<LayoutThumbnailModel::ThumbnailZone> zone() const {
        if (!owner()) return std::nullopt;
        const auto zones = owner()->shownZones();
        if (position_ >= static_cast<int>(zones.size())) return std::nullopt;
        return zones[static_cast<std::size_t>(position_)];
    }

    int position_;
};

// The thumbnail: its layout's name, and its zones as children.
class ThumbnailAccessible final : public QAccessibleWidget {
public:
    explicit ThumbnailAccessible(LayoutThumbnail* thumbnail)
        : QAccessibleWidget(thumbnail, thumbnail->takesTaps() ? QAccessible::Grouping : QAccessible::Graphic) {}
    // Asked each time: the interface can be made before the thumbnail takes taps.
    QAccessible::Role role() const override {
        return thumbnail()->takesTaps() ? QAccessible::Grouping : QAccessible::Graphic;
    }
    int childCount() const override {
        return thumbnail()->isAccessibilityHidden() ? 0 : static_cast<int>(thumbnail()->shownZones().size());
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (thumbnail()->isAccessibilityHidden()) state.invisible = true;
        return state;
    }
    QAccessibleInterface* child(int index) const override {
        if (index >= childCount()) return nullptr;
        return zones_.at(index, [&] { return new ZoneAccessible(thumbnail(), index); });
    }
    int indexOfChild(const QAccessibleInterface* child) const override { return zones_.indexOf(child); }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = thumbnail()->mapFromGlobal(QPoint(x, y));
        const auto index = LayoutThumbnailModel::zoneAt(thumbnail()->shownZones(), {double(local.x()), double(local.y())});
        if (index < 0) return nullptr;
        const auto zones = thumbnail()->shownZones();
        for (std::size_t i = 0; i < zones.size(); ++i) {
            if (zones[i].index == index) return child(static_cast<int>(i));
        }
        return nullptr;
    }

private:
    LayoutThumbnail* thumbnail() const { return static_cast<LayoutThumbnail*>(widget()); }
    mutable LeafChildren zones_;
};

QAccessibleInterface* thumbnailAccessible(const QString&, QObject* object) {
    auto* thumbnail = qobject_cast<LayoutThumbnail*>(object);
    return thumbnail ? new ThumbnailAccessible(thumbnail) : nullptr;
}

}  // namespace


LayoutThumbnail::LayoutThumbnail(ZoneLayout layout, QWidget* parent) : QWidget(parent), layout_(std::move(layout)) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    static const bool accessible = (QAccessible::installFactory(thumbnailAccessible), true);
    (void)accessible;
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

QRectF LayoutThumbnail::pictureRect() const { return pictureIn(rect()); }

void LayoutThumbnail::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, rect(), layout_, highlighted_, highlightedZones_, bool(onTapZone_), palette());
}

void LayoutThumbnail::paint(QPainter& painter, const QRectF& box, const ZoneLayout& layout, bool highlighted,
                            const std::set<std::int64_t>& highlightedZones, bool tappable, const QPalette& palette) {
    const QRectF picture = pictureIn(box);
    const QColor primary = palette.color(QPalette::WindowText);
    const QColor accent = palette.color(QPalette::Highlight);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath background;
    background.addRoundedRect(picture, 5, 5);
    painter.fillPath(background, withAlpha(primary, 0.09));

    painter.translate(picture.topLeft());
    const auto zones =
        LayoutThumbnailModel::zones(layout, {picture.width(), picture.height()}, highlighted, highlightedZones, tappable);
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
    painter.restore();
}

std::vector<LayoutThumbnailModel::ThumbnailZone> LayoutThumbnail::shownZones() const {
    const QRectF picture = pictureRect();
    auto zones = LayoutThumbnailModel::zones(layout_, {picture.width(), picture.height()}, highlighted_,
                                             highlightedZones_, bool(onTapZone_));
    for (auto& zone : zones) {
        zone.rect.origin.x += picture.left();
        zone.rect.origin.y += picture.top();
    }
    return zones;
}

void LayoutThumbnail::tapZone(std::int64_t index) {
    if (!onTapZone_) return;
    // The handler may rebuild whatever holds this thumbnail: copy it before calling.
    auto handler = onTapZone_;
    handler(index);
}

void LayoutThumbnail::mouseReleaseEvent(QMouseEvent* event) {
    if (!onTapZone_ || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    const std::int64_t index = LayoutThumbnailModel::zoneAt(shownZones(), {event->position().x(), event->position().y()});
    if (index >= 0) tapZone(index);
}

void LayoutThumbnail::updateAccessibility() {
    setAccessibleName(QString::fromStdString(layout_.name));
}

}  // namespace tessary
