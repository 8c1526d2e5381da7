#include "Tessary/shell/ui/RowListModel.h"

#include <QMimeData>
#include <QUuid>

namespace tessary {

namespace {

const QString rowMimeType = QStringLiteral("application/x-tessary-list-row");

QString describedRow(const ListRow& row) {
    QStringList parts;
    for (const QString& part : {row.subtitle, row.trailingText, row.trailingSymbolName}) {
        if (!part.isEmpty()) parts << part;
    }
    return parts.join(QStringLiteral(" \u00B7 "));
}

}  // namespace

RowListModel::RowListModel(QObject* parent)
    : QAbstractListModel(parent), mark_(QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

ListRow RowListModel::rowAt(int index) const {
    if (index < 0 || index >= shownRows_ || index >= count()) return {};
    return row(index);
}

int RowListModel::find(const QString& key) const {
    const int rows = std::min(shownRows_, count());
    for (int i = 0; i < rows; ++i) {
        if (this->key(i) == key) return i;
    }
    return -1;
}

void RowListModel::refresh() {
    const int rows = count();
    if (rows != shownRows_) {
        beginResetModel();
        shownRows_ = rows;
        endResetModel();
        return;
    }
    if (rows > 0) Q_EMIT dataChanged(index(0), index(rows - 1));
}

void RowListModel::rowChanged(int row) {
    if (row >= 0 && row < shownRows_) Q_EMIT dataChanged(index(row), index(row));
}

int RowListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

QVariant RowListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shownRows_) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return rowAt(index.row()).title;
    case Qt::AccessibleDescriptionRole: return describedRow(rowAt(index.row()));
    default: return {};
    }
}

Qt::ItemFlags RowListModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags moving = canMoveRows() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags;
    // Rows go between rows, never onto one: only the list itself takes drops.
    if (!index.isValid()) return canMoveRows() ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren | moving;
}

Qt::DropActions RowListModel::supportedDropActions() const { return canMoveRows() ? Qt::MoveAction : Qt::IgnoreAction; }

QStringList RowListModel::mimeTypes() const { return {rowMimeType}; }

QMimeData* RowListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.size() != 1 || !indexes.front().isValid()) return nullptr;
    const int row = indexes.front().row();
    auto* data = new QMimeData;
    data->setData(rowMimeType, QStringList{mark_, QString::number(row), key(row)}.join(QLatin1Char('\n')).toUtf8());
    return data;
}

std::optional<int> RowListModel::draggedRow(const QMimeData* data) const {
    if (!data || !data->hasFormat(rowMimeType)) return std::nullopt;
    const QStringList parts = QString::fromUtf8(data->data(rowMimeType)).split(QLatin1Char('\n'));
    bool number = false;
    const int row = parts.size() == 3 ? parts[1].toInt(&number) : -1;
    if (!number || parts[0] != mark_ || row < 0 || row >= std::min(shownRows_, count()) || key(row) != parts[2]) {
        return std::nullopt;
    }
    return row;
}

bool RowListModel::moveRows(const QModelIndex& sourceParent, int sourceRow, int rows, const QModelIndex& destinationParent,
                            int destinationChild) {
    // One row at a time, within the list: what a drag of a single selection asks for.
    if (!canMoveRows() || sourceParent.isValid() || destinationParent.isValid() || rows != 1) return false;
    const int size = std::min(shownRows_, count());
    if (sourceRow < 0 || sourceRow >= size || destinationChild < 0 || destinationChild > size) return false;
    if (destinationChild == sourceRow || destinationChild == sourceRow + 1) return true;
    return moveRow(sourceRow, destinationChild);
}

}  // namespace tessary
