#include "Tessary/shell/ui/MenuRows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGridLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>

#include "Tessary/shell/ui/LayoutThumbnail.h"

namespace tessary {

namespace {

QFont scaledFont(QFont font, double pointSize, QFont::Weight weight) {
    font.setPixelSize(static_cast<int>(pointSize));
    font.setWeight(weight);
    return font;
}

// Calls a click handler from a copy: the handler may close the menu and delete the row.
void callDetached(const std::function<void()>& action) {
    if (!action) return;
    auto copy = action;
    copy();
}

QString plainToolTip(const QString& text) { return QStringLiteral("<qt>%1</qt>").arg(text.toHtmlEscaped()); }

}  // namespace

MiddleElidedLabel::MiddleElidedLabel(QString text, QWidget* parent) : QLabel(parent), fullText_(std::move(text)) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    refit();
}

QSize MiddleElidedLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void MiddleElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refit();
}

void MiddleElidedLabel::refit() {
    const int available = width() > 0 ? width() : 10000;
    setText(fontMetrics().elidedText(fullText_, Qt::ElideMiddle, available));
}

namespace {

// A tile is a button named after its layout, marked selected when it is the display's layout.
class TileAccessible final : public QAccessibleWidget {
public:
    explicit TileAccessible(LayoutTile* tile) : QAccessibleWidget(tile, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.selectable = true;
        state.selected = static_cast<LayoutTile*>(widget())->isSelected();
        return state;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) static_cast<LayoutTile*>(widget())->click();
    }
};

QAccessibleInterface* tileAccessible(const QString&, QObject* object) {
    auto* tile = qobject_cast<LayoutTile*>(object);
    return tile ? new TileAccessible(tile) : nullptr;
}

}  // namespace

LayoutTile::LayoutTile(const ZoneLayout& layout, bool selected, std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), selected_(selected) {
    static const bool accessible = (QAccessible::installFactory(tileAccessible), true);
    (void)accessible;
    const QString name = QString::fromStdString(layout.name);
    setToolTip(plainToolTip(name));
    setAccessibleName(name);
    setCheckable(false);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(3, 3, 3, 3);
    thumbnail_ = new LayoutThumbnail(layout, this);
    thumbnail_->setHighlighted(selected);
    thumbnail_->setThumbnailWidth(tileWidth - 6);
    // Clicks land on the tile, padding included, not on the picture.
    thumbnail_->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->addWidget(thumbnail_);
    setFixedSize(tileWidth, thumbnail_->height() + 6);
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { callDetached(action); });
}

void LayoutTile::paintEvent(QPaintEvent*) {
    QColor colour = palette().color(selected_ ? QPalette::Highlight : QPalette::WindowText);
    if (!selected_) colour.setAlphaF(hovering_ ? 0.3f : 0.0f);
    if (colour.alpha() == 0) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    painter.strokePath(path, QPen(colour, 2));
}

void LayoutTile::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void LayoutTile::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void DisplayLayoutsRow::mousePressEvent(QMouseEvent* event) { event->accept(); }

void DisplayLayoutsRow::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

int DisplayLayoutsRow::columnsThatFit(int width, int columnWidth, int spacing) {
    return std::max(1, (width + spacing) / (columnWidth + spacing));
}

DisplayLayoutsRow::DisplayLayoutsRow(QString title, std::optional<QString> currentName, std::vector<ZoneLayout> layouts,
                                     std::optional<UUID> selectedID, std::function<void(const ZoneLayout&)> select,
                                     int hostWidth, QWidget* parent)
    : QWidget(parent) {
    // At least the host's width, and the whole width of a wider menu: a click on the menu beside
    // the row would choose the row's action and close the menu.
    setMinimumWidth(hostWidth);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(11, 6, 11, 6);
    stack->setSpacing(5);

    const QString header = currentName ? title + QStringLiteral(" \u00B7 ") + *currentName : title;
    header_ = new MiddleElidedLabel(header, this);
    header_->setFont(scaledFont(font(), 11, QFont::DemiBold));
    header_->setForegroundRole(QPalette::PlaceholderText);
    stack->addWidget(header_);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(2);
    grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    columns_ = columnsThatFit(hostWidth - 22);
    int position = 0;
    for (const ZoneLayout& layout : layouts) {
        const bool selected = selectedID && layout.id == *selectedID;
        auto* tile = new LayoutTile(layout, selected, [select, layout] {
            if (select) select(layout);
        }, this);
        tiles_.push_back(tile);
        grid->addWidget(tile, position / columns_, position % columns_);
        ++position;
    }
    if (!layouts.empty()) stack->addLayout(grid);
    else delete grid;
}

TwoLineMenuRow::TwoLineMenuRow(QString title, QString subtitle, std::function<void()> action, int hostWidth,
                               QWidget* parent)
    : QAbstractButton(parent), title_(std::move(title)), subtitle_(std::move(subtitle)), hostWidth_(hostWidth) {
    setAccessibleName(title_);
    setAccessibleDescription(subtitle_);
    setMinimumWidth(hostWidth);  // and the menu's whole width, as a display's row
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { callDetached(action); });
}

QSize TwoLineMenuRow::sizeHint() const {
    const QFontMetrics titleMetrics(scaledFont(font(), 13, QFont::Normal));
    const QFontMetrics subtitleMetrics(scaledFont(font(), 11, QFont::Normal));
    return {hostWidth_, titleMetrics.height() + 2 + subtitleMetrics.height() + 10};
}

void TwoLineMenuRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF inset = QRectF(rect()).adjusted(5, 0, -5, 0);
    if (hovering_) {
        QPainterPath path;
        path.addRoundedRect(inset, 6, 6);
        painter.fillPath(path, palette().color(QPalette::Highlight));
    }
    QColor ink = hovering_ ? QColor(Qt::white) : palette().color(QPalette::WindowText);
    const QRectF text = inset.adjusted(10, 5, -10, -5);
    const QFont titleFont = scaledFont(font(), 13, QFont::Normal);
    const QFont subtitleFont = scaledFont(font(), 11, QFont::Normal);
    const QFontMetricsF titleMetrics(titleFont);
    painter.setFont(titleFont);
    painter.setPen(ink);
    painter.drawText(QRectF(text.left(), text.top(), text.width(), titleMetrics.height()), Qt::AlignLeft | Qt::TextSingleLine,
                     titleMetrics.elidedText(title_, Qt::ElideRight, text.width()));
    ink.setAlphaF(ink.alphaF() * 0.75f);
    painter.setFont(subtitleFont);
    painter.setPen(ink);
    const QFontMetricsF subtitleMetrics(subtitleFont);
    painter.drawText(QRectF(text.left(), text.top() + titleMetrics.height() + 2, text.width(), subtitleMetrics.height()),
                     Qt::AlignLeft | Qt::TextSingleLine, subtitleMetrics.elidedText(subtitle_, Qt::ElideRight, text.width()));
}

void TwoLineMenuRow::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TwoLineMenuRow::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace tessary
