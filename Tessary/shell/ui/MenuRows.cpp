#include "Tessary/shell/ui/MenuRows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "Tessary/shell/ui/LayoutTileList.h"

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

// The menu a hosted row sits in, and the item that hosts it there.
HostedRowAction* hostOf(const QWidget* row) {
    const auto* menu = qobject_cast<const QMenu*>(row->parentWidget());
    if (!menu) return nullptr;
    for (QAction* action : menu->actions()) {
        auto* host = qobject_cast<HostedRowAction*>(action);
        if (host && host->row() == row) return host;
    }
    return nullptr;
}

QMenu* menuOf(const QAction* action) {
    for (QObject* object : action->associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(object)) return menu;
    }
    return nullptr;
}

// A hosted row's menu item: named by its label, described as its row is, with the row as its child
// and a press action where the row is a button.
class HostedItemAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit HostedItemAccessible(HostedRowAction* host) : host_(host) {}

    bool isValid() const override { return host_ && menuOf(host_); }
    QObject* object() const override { return host_; }
    QWindow* window() const override {
        QMenu* menu = host_ ? menuOf(host_) : nullptr;
        return menu ? menu->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        QMenu* menu = host_ ? menuOf(host_) : nullptr;
        return menu ? QAccessible::queryAccessibleInterface(menu) : nullptr;
    }
    QAccessibleInterface* child(int index) const override {
        return index == 0 && row() ? QAccessible::queryAccessibleInterface(row()) : nullptr;
    }
    int childCount() const override { return row() ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && row() && child->object() == row() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        QAccessibleInterface* only = child(0);
        return only && only->rect().contains(x, y) ? only : nullptr;
    }
    QString text(QAccessible::Text kind) const override {
        if (!host_) return {};
        if (kind == QAccessible::Name) return host_->label();
        if (kind == QAccessible::Description && row()) return row()->accessibleDescription();
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        QMenu* menu = host_ ? menuOf(host_) : nullptr;
        if (!menu) return {};
        const QRect place = menu->actionGeometry(host_);
        return {menu->mapToGlobal(place.topLeft()), place.size()};
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override {
        QAccessible::State state;
        QMenu* menu = host_ ? menuOf(host_) : nullptr;
        if (!menu) {
            state.invalid = true;
            return state;
        }
        state.invisible = !menu->isVisible() || !host_->isVisible();
        state.focusable = true;
        state.focused = menu->activeAction() == host_;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return button() ? QStringList{pressAction()} : QStringList{}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && button()) button()->click();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QWidget* row() const { return host_ ? host_->row() : nullptr; }
    QAbstractButton* button() const { return qobject_cast<QAbstractButton*>(row()); }

    QPointer<HostedRowAction> host_;
};

// A hosted row: its menu item is its parent. A display's row groups its header and its tiles; a
// two-line row is a button.
class HostedRowAccessible final : public QAccessibleWidget {
public:
    explicit HostedRowAccessible(QWidget* row)
        : QAccessibleWidget(row, qobject_cast<QAbstractButton*>(row) ? QAccessible::Button : QAccessible::Grouping) {}

    QAccessibleInterface* parent() const override {
        if (HostedRowAction* host = hostOf(widget())) return QAccessible::queryAccessibleInterface(host);
        return QAccessibleWidget::parent();
    }
    QStringList actionNames() const override {
        return role() == QAccessible::Button ? QStringList{pressAction()} : QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        auto* button = qobject_cast<QAbstractButton*>(widget());
        if (button && name == pressAction()) button->click();
    }
};

QAccessibleInterface* menuRowAccessible(const QString&, QObject* object) {
    if (auto* host = qobject_cast<HostedRowAction*>(object)) return new HostedItemAccessible(host);
    if (qobject_cast<DisplayLayoutsRow*>(object) || qobject_cast<TwoLineMenuRow*>(object)) {
        return new HostedRowAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

void installAccessibility() {
    static const bool installed = (QAccessible::installFactory(menuRowAccessible), true);
    (void)installed;
}

}  // namespace

namespace {

class HostedRowClicks final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* menu = qobject_cast<QMenu*>(watched);
        if (!menu) return false;
        if (event->type() == QEvent::Hide) pressed_ = nullptr;
        const bool press = event->type() == QEvent::MouseButtonPress;
        if (!press && event->type() != QEvent::MouseButtonRelease) return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        if (press) {
            // The widget gets the press as well as the menu, which closes the submenu on it.
            pressed_ = widgetAt(*menu, mouse->position().toPoint());
            if (pressed_) deliver(*mouse, *menu, pressed_, Qt::LeftButton);
            return false;
        }
        // The release would trigger the row's item; it is the widget's, whether the submenu handed
        // it on or the menu got it itself.
        QPointer<QWidget> target = std::exchange(pressed_, nullptr);
        if (!target || target != widgetAt(*menu, mouse->position().toPoint())) return false;
        deliver(*mouse, *menu, target, Qt::NoButton);
        return true;
    }

private:
    // The widget of a hosted row under the point (in the menu), the row itself where nothing else is.
    static QWidget* widgetAt(QMenu& menu, QPoint at) {
        auto* host = qobject_cast<HostedRowAction*>(menu.actionAt(at));
        QWidget* row = host ? host->row() : nullptr;
        if (!row || !row->isVisible()) return nullptr;
        QWidget* child = row->childAt(row->mapFrom(&menu, at));
        return child ? child : row;
    }

    static void deliver(const QMouseEvent& original, QMenu& menu, QWidget* target, Qt::MouseButtons buttons) {
        const QPointF local = target->mapFrom(&menu, original.position());
        QMouseEvent copy(original.type(), local, local, original.globalPosition(), Qt::LeftButton, buttons,
                         original.modifiers(), original.pointingDevice());
        QCoreApplication::sendEvent(target, &copy);
    }

    QPointer<QWidget> pressed_;
};

}  // namespace

void handClicksToHostedRows(QMenu& menu) { menu.installEventFilter(new HostedRowClicks(&menu)); }

HostedRowAction::HostedRowAction(QWidget* row, QString label, QObject* parent)
    : QWidgetAction(parent), label_(std::move(label)) {
    installAccessibility();
    row->setAccessibleName(label_);
    setDefaultWidget(row);
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
    installAccessibility();
    // At least the host's width, and the whole width of a wider menu: a click on the menu beside
    // the row would choose the row's action and close the menu.
    setMinimumWidth(hostWidth);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(11, 6, 11, 6);
    stack->setSpacing(5);

    const QString header = currentName ? title + QStringLiteral(" \u00B7 ") + *currentName : title;
    header_ = new MiddleElidedLabel(header, this);
    header_->setFont(scaledFont(font(), 11, QFont::DemiBold));
    header_->setForegroundRole(QPalette::PlaceholderText);
    stack->addWidget(header_);

    columns_ = columnsThatFit(hostWidth - 22, LayoutTileList::tileWidth, LayoutTileList::spacing);
    if (!layouts.empty()) {
        tiles_ = new LayoutTileList(std::move(layouts), selectedID, std::move(select), columns_, this);
        stack->addWidget(tiles_, 0, Qt::AlignLeft | Qt::AlignTop);
        // The menu gives the keys to the row its keys reach: the tiles take them.
        setFocusPolicy(Qt::StrongFocus);
        setFocusProxy(tiles_);
    }
}

int DisplayLayoutsRow::tileCount() const { return tiles_ ? tiles_->tileCount() : 0; }

int DisplayLayoutsRow::tileRowCount() const { return tiles_ ? tiles_->rowCount() : 0; }

void DisplayLayoutsRow::setVisibleTileRows(int rows) {
    if (!tiles_) return;
    tiles_->setVisibleRows(rows);
    updateGeometry();
}

int DisplayLayoutsRow::heightWithoutTiles() const {
    const int tiles = tiles_ ? tiles_->height() : 0;
    return sizeHint().height() - tiles;
}

TwoLineMenuRow::TwoLineMenuRow(QString title, QString subtitle, std::function<void()> action, int hostWidth,
                               QWidget* parent)
    : QAbstractButton(parent), title_(std::move(title)), subtitle_(std::move(subtitle)), hostWidth_(hostWidth) {
    installAccessibility();
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

void TwoLineMenuRow::keyPressEvent(QKeyEvent* event) {
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
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
