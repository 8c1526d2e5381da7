#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QString>

#include <optional>

class QPainter;

namespace tessary {

// What one row of a long list says: its title, the line under it, and at its end either a short
// text that is never cut (a window's zones) or a symbol with the name screen readers read for it
// ("Paused").
struct ListRow {
    QString title;
    QString subtitle;
    QString trailingText;
    QString trailingSymbol;
    QString trailingSymbolName;

    friend bool operator==(const ListRow&, const ListRow&) = default;
};

// The rows of a long list (rules, workspaces, excluded apps, a workspace's windows, layouts),
// read from the store they show only when a row is drawn or asked for: a list of 60,000 rules
// makes nothing per rule, and opens as fast as a list of five.
//
// A subclass reads its rows from its store as it is now. After every change of the store the
// owner calls `refresh()`, which tells the view what to draw again: everything anew when the
// number of rows changed, otherwise the rows in sight. Until then the view keeps the number of
// rows it was told, and a row the store no longer has reads as empty.
//
// Screen readers read a row's title as its name and the rest of it (subtitle, trailing text,
// the symbol's name) as its description; typing a title's first letters moves to that row.
//
// Rows can be dragged to a new place when the subclass can move them (`moveRow`). A drag carries
// this model's mark, the row and its item's key: a drop from anywhere else, or one whose row holds
// another item by then (the store changed during the drag), moves nothing.
class RowListModel : public QAbstractListModel {
public:
    explicit RowListModel(QObject* parent = nullptr);

    // What the subclass reads from its store.
    virtual int count() const = 0;
    virtual ListRow row(int index) const = 0;
    // What the row stands for (an identifier), to find it again after a change.
    virtual QString key(int index) const = 0;
    // The picture at the row's start, in lists of icons.
    virtual QIcon icon(int) const { return {}; }
    // Draws the picture at the row's start in lists that draw their own (a layout's thumbnail).
    virtual void paintPicture(QPainter&, const QRectF&, int, bool, const QPalette&) const {}
    // Moves the row `from` to before the row `to` (counted before the move); false when the
    // store cannot. Only called when `canMoveRows()`.
    virtual bool canMoveRows() const { return false; }
    virtual bool moveRow(int, int) { return false; }

    // The row, or an empty one past the rows the store still has.
    ListRow rowAt(int index) const;
    // The row of the item with this key, or -1.
    int find(const QString& key) const;
    // Tells the view that the store changed.
    void refresh();
    // Tells the view that only this row reads differently (it repaints only that row).
    void rowChanged(int index);

    // The row a drag of this model carries, while that row still holds the item dragged.
    std::optional<int> draggedRow(const QMimeData* data) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool moveRows(const QModelIndex& sourceParent, int sourceRow, int rowCount, const QModelIndex& destinationParent,
                  int destinationChild) override;

private:
    int shownRows_ = 0;
    // Told apart from another list's drags, in this process or another.
    QString mark_;
};

}  // namespace tessary
