#include "Tessary/shell/ui/LayoutTileList.h"

#include <QAbstractListModel>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>

#include "Tessary/shell/ui/LayoutThumbnail.h"
#include "Tessary/shell/ui/LeafAccessible.h"
#include "Tessary/shell/ui/PlainText.h"

namespace tessary {

// The layouts as list items: each named after its layout for display, tool tip and screen readers.
class LayoutTileList::Model final : public QAbstractListModel {
public:
    Model(std::vector<ZoneLayout> layouts, QObject* parent) : QAbstractListModel(parent), layouts_(std::move(layouts)) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(layouts_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) return {};
        const QString name = QString::fromStdString(layouts_[static_cast<std::size_t>(index.row())].name);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole: return name;
        case Qt::ToolTipRole: return plainToolTip(name);
        default: return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
    }
    const ZoneLayout& at(int row) const { return layouts_[static_cast<std::size_t>(row)]; }

private:
    std::vector<ZoneLayout> layouts_;
};

namespace {

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

// Paints a tile in the top-left corner of its grid cell; the cell's right and bottom edges are the
// gaps between tiles.
class TileDelegate final : public QStyledItemDelegate {
public:
    TileDelegate(std::function<const ZoneLayout&(int)> layoutAt, QObject* parent)
        : QStyledItemDelegate(parent), layoutAt_(std::move(layoutAt)) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {LayoutTileList::tileWidth, LayoutTileList::tileHeight};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QRectF tile(option.rect.topLeft(), QSizeF(LayoutTileList::tileWidth, LayoutTileList::tileHeight));
        const bool selected = option.state & QStyle::State_Selected;
        const bool hovering = option.state & QStyle::State_MouseOver;
        const bool focused = option.state & QStyle::State_HasFocus;
        LayoutThumbnail::paint(*painter, tile.adjusted(3, 3, -3, -3), layoutAt_(index.row()), selected, {}, false,
                               option.palette);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const auto ring = [&](double inset, const QColor& colour, double width) {
            QPainterPath path;
            path.addRoundedRect(tile.adjusted(inset, inset, -inset, -inset), 8 - inset + 1, 8 - inset + 1);
            painter->strokePath(path, QPen(colour, width));
        };
        const QColor primary = option.palette.color(QPalette::WindowText);
        if (selected) {
            ring(1, option.palette.color(QPalette::Highlight), 2);
        } else if (focused || hovering) {
            // The keyboard's place must stand out from the pointer's passing.
            ring(1, withAlpha(primary, focused ? 0.6 : 0.3), 2);
        }
        // On the display's own layout the keyboard shows as a thin ring inside the accent one.
        if (selected && focused) ring(2.5, withAlpha(primary, 0.6), 1);
        painter->restore();
    }

private:
    std::function<const ZoneLayout&(int)> layoutAt_;
};

// One tile for screen readers: an interface of its own with no object behind it, valid while the
// list has that many tiles.
class TileAccessible final : public LeafAccessible<LayoutTileList> {
public:
    TileAccessible(LayoutTileList* list, int tile) : LeafAccessible(list), tile_(tile) {}

    bool isValid() const override { return owner() && tile_ < owner()->tileCount(); }

    QString text(QAccessible::Text kind) const override {
        if (!isValid() || kind != QAccessible::Name) return {};
        return QString::fromStdString(owner()->layoutAt(tile_).name);
    }
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect local = owner()->tileRect(tile_);
        return {owner()->mapToGlobal(local.topLeft()), local.size()};
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.selected = owner()->isTileSelected(tile_);
        state.focusable = true;
        state.focused = owner()->hasFocus() && owner()->focusedTile() == tile_;
        state.invisible = !owner()->isVisible();
        state.offscreen = !owner()->isTileInSight(tile_);
        return state;
    }

    // Pressing a tile, or selecting it, chooses it, as a click does.
    QStringList actionNames() const override { return {pressAction(), toggleAction()}; }
    void doAction(const QString& name) override {
        if (isValid() && (name == pressAction() || name == toggleAction())) owner()->chooseTile(tile_);
    }

private:
    int tile_;
};

// The list: "Layouts", a child per tile.
class TileListAccessible final : public QAccessibleWidget {
public:
    explicit TileListAccessible(LayoutTileList* list) : QAccessibleWidget(list, QAccessible::List) {}

    int childCount() const override { return list()->tileCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index >= childCount()) return nullptr;
        return tiles_.at(index, [&] { return new TileAccessible(list(), index); });
    }
    int indexOfChild(const QAccessibleInterface* child) const override { return tiles_.indexOf(child); }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex index = list()->indexAt(list()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? child(index.row()) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return list()->hasFocus() && list()->focusedTile() >= 0 ? child(list()->focusedTile()) : nullptr;
    }

private:
    LayoutTileList* list() const { return static_cast<LayoutTileList*>(widget()); }
    mutable LeafChildren tiles_;
};

QAccessibleInterface* tileListAccessible(const QString&, QObject* object) {
    auto* list = qobject_cast<LayoutTileList*>(object);
    return list ? new TileListAccessible(list) : nullptr;
}

// Calls a handler from a copy: it may close the menu and delete the list.
void callDetached(const std::function<void(const ZoneLayout&)>& handler, const ZoneLayout& layout) {
    if (!handler) return;
    auto copy = handler;
    const ZoneLayout chosen = layout;
    copy(chosen);
}

}  // namespace

LayoutTileList::LayoutTileList(std::vector<ZoneLayout> layouts, std::optional<UUID> selectedID,
                               std::function<void(const ZoneLayout&)> choose, int columns, QWidget* parent)
    : QListView(parent), choose_(std::move(choose)), columns_(std::max(1, columns)) {
    static const bool accessible = (QAccessible::installFactory(tileListAccessible), true);
    (void)accessible;
    for (std::size_t i = 0; i < layouts.size() && selectedID; ++i) {
        if (layouts[i].id == *selectedID) selectedRow_ = static_cast<int>(i);
    }
    model_ = new Model(std::move(layouts), this);
    setModel(model_);
    setItemDelegate(new TileDelegate([this](int row) -> const ZoneLayout& { return model_->at(row); }, this));
    setAccessibleName(tr("Layouts"));

    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setLayoutMode(QListView::SinglePass);
    setGridSize(QSize(tileWidth + spacing, tileHeight + spacing));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionRectVisible(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The menu's own background shows between the tiles.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_Hover);

    if (selectedRow_ >= 0) {
        const QModelIndex selected = model_->index(selectedRow_);
        selectionModel()->select(selected, QItemSelectionModel::ClearAndSelect);
        selectionModel()->setCurrentIndex(selected, QItemSelectionModel::NoUpdate);
    } else if (model_->rowCount() > 0) {
        selectionModel()->setCurrentIndex(model_->index(0), QItemSelectionModel::NoUpdate);
    }
    // A screen reader selects a tile through the selection model: that chooses it.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { keepSelection(); });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) { chooseTile(index.row()); });
    visibleRows_ = rowCount();
    fitSize();
}

LayoutTileList::~LayoutTileList() = default;

int LayoutTileList::tileCount() const { return model_->rowCount(); }

int LayoutTileList::rowCount() const { return (tileCount() + columns_ - 1) / columns_; }

void LayoutTileList::setVisibleRows(int rows) {
    visibleRows_ = std::clamp(rows, 1, std::max(1, rowCount()));
    fitSize();
}

void LayoutTileList::fitSize() {
    visibleRows_ = std::clamp(visibleRows_, 1, std::max(1, rowCount()));
    const bool scrolls = rowCount() > visibleRows_;
    // A scroll bar only where there is something to scroll to (the list lays its tiles out in the
    // width one that might come leaves, so it is either there or not at all).
    setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const int bar = scrolls ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar()) : 0;
    // Without rows to scroll to, the gap under the last row is left out. The list wraps a tile
    // whose cell would end on its last pixel: one more keeps the last column.
    const int height = visibleRows_ * (tileHeight + spacing) - (scrolls ? 0 : spacing);
    setFixedSize(columns_ * (tileWidth + spacing) + 1 + bar, tileCount() > 0 ? height : 0);
}

const ZoneLayout& LayoutTileList::layoutAt(int tile) const { return model_->at(tile); }

bool LayoutTileList::isTileSelected(int tile) const { return selectionModel()->isSelected(model_->index(tile)); }

QRect LayoutTileList::tileRect(int tile) const {
    const QRect cell = visualRect(model_->index(tile));
    return {viewport()->mapTo(this, cell.topLeft()), QSize(tileWidth, tileHeight)};
}

bool LayoutTileList::isTileInSight(int tile) const {
    const QRect shown(viewport()->mapTo(this, QPoint(0, 0)), viewport()->size());
    return shown.contains(tileRect(tile));
}

int LayoutTileList::focusedTile() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

void LayoutTileList::chooseTile(int tile) {
    if (tile < 0 || tile >= tileCount()) return;
    callDetached(choose_, model_->at(tile));
}

QItemSelectionModel::SelectionFlags LayoutTileList::selectionCommand(const QModelIndex&, const QEvent*) const {
    // The selection is the display's layout: clicks and keys choose, they never select.
    return QItemSelectionModel::NoUpdate;
}

void LayoutTileList::keepSelection() {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    for (const QModelIndex& index : selected) {
        if (index.row() != selectedRow_) return chooseTile(index.row());
    }
    // Nothing can be "unselected": the display keeps its layout. (A screen reader that selects
    // another tile clears the selection first.)
    if (selected.isEmpty() && selectedRow_ >= 0) {
        selectionModel()->select(model_->index(selectedRow_), QItemSelectionModel::Select);
    }
}

void LayoutTileList::keyPressEvent(QKeyEvent* event) {
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    std::optional<CursorAction> move;
    switch (event->key()) {
    case Qt::Key_Left: move = MoveLeft; break;
    case Qt::Key_Right: move = MoveRight; break;
    case Qt::Key_Up: move = MoveUp; break;
    case Qt::Key_Down: move = MoveDown; break;
    case Qt::Key_PageUp: move = MovePageUp; break;
    case Qt::Key_PageDown: move = MovePageDown; break;
    case Qt::Key_Home: move = MoveHome; break;
    case Qt::Key_End: move = MoveEnd; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Select:
        if (plain && currentIndex().isValid()) {
            event->accept();
            chooseTile(currentIndex().row());
            return;
        }
        break;
    default: break;
    }
    if (move && plain) {
        const QModelIndex next = moveCursor(*move, event->modifiers());
        if (next.isValid() && next != currentIndex()) {
            selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
            event->accept();
        } else {
            // Out of the tiles: the menu moves on.
            event->ignore();
        }
        return;
    }
    QListView::keyPressEvent(event);
}

void LayoutTileList::announceFocusedTile() {
    if (!QAccessible::isActive() || !hasFocus() || focusedTile() < 0) return;
    QAccessibleInterface* tile = QAccessible::queryAccessibleInterface(this)->child(focusedTile());
    if (!tile) return;
    QAccessibleEvent focus(tile, QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
}

void LayoutTileList::focusInEvent(QFocusEvent* event) {
    QListView::focusInEvent(event);
    // Screen readers hear the tile the keys landed on, not only the list.
    announceFocusedTile();
}

void LayoutTileList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // Past the list view's own: its announcement of the tile the keys reached named another
    // display's tile when two lists shared the menu. The tile is announced by its own interface.
    QAbstractItemView::currentChanged(current, previous);
    announceFocusedTile();
}

void LayoutTileList::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    if (selectedRow_ >= 0) scrollTo(model_->index(selectedRow_), QAbstractItemView::PositionAtCenter);
}

}  // namespace tessary
