#include "Tessary/shell/ui/RowListView.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QHash>
#include <QHelpEvent>
#include <QMimeData>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <cmath>

#include "Tessary/shell/ui/PlainText.h"
#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary {

namespace {

constexpr int symbolSize = 16;

QFont scaled(QFont font, double scale) {
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * scale);
    } else if (font.pixelSize() > 0) {
        font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * scale))));
    }
    return font;
}

// A text that must keep to one line: line breaks in a name or a window's title are spaces here.
QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

QPalette::ColorGroup groupOf(const QStyleOptionViewItem& option) {
    if (!(option.state & QStyle::State_Enabled)) return QPalette::Disabled;
    return option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
}

}  // namespace

// Lays out and draws the rows of one list, from its look and each row's content.
class RowListView::Delegate final : public QStyledItemDelegate {
public:
    explicit Delegate(RowListView& view) : QStyledItemDelegate(&view), view_(view) {}

    struct Fonts {
        QFont title, subtitle, caption;
    };

    Fonts fonts(const QFont& base) const {
        const RowLook& look = view_.look();
        Fonts fonts{base, scaled(base, look.subtitleScale), scaled(base, 0.9)};
        if (look.subtitleMonospace) {
            fonts.subtitle.setStyleHint(QFont::Monospace);
            fonts.subtitle.setFamily(QStringLiteral("monospace"));
        }
        return fonts;
    }

    int pictureHeight() const {
        const RowLook& look = view_.look();
        switch (look.picture) {
        case RowLook::Picture::icon: return look.pictureWidth;
        case RowLook::Picture::thumbnail: return int(std::lround(look.pictureWidth / 1.6));
        case RowLook::Picture::none: break;
        }
        return 0;
    }

    int textHeight(const Fonts& fonts) const {
        const QFontMetrics title(fonts.title), subtitle(fonts.subtitle);
        const int lines = view_.look().subtitleLines;
        return title.height() + 1 + (lines > 1 ? subtitle.lineSpacing() * lines : subtitle.height());
    }

    // Every row alike, so that a list of any length is laid out without asking each row.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const QMargins& padding = view_.look().padding;
        const int content = std::max({pictureHeight(), textHeight(fonts(option.font)), symbolSize});
        return {0, content + padding.top() + padding.bottom()};
    }

    ShownRow layout(const QStyleOptionViewItem& option, const ListRow& row) const {
        const RowLook& look = view_.look();
        const Fonts fonts = this->fonts(option.font);
        ShownRow shown;
        shown.rect = option.rect;
        const QRect content = option.rect.marginsRemoved(look.padding);
        const int middle = content.center().y();
        int left = content.left();
        int right = content.right() + 1;
        if (look.picture != RowLook::Picture::none) {
            const int height = pictureHeight();
            shown.picture = QRect(left, middle - height / 2, look.pictureWidth, height);
            left += look.pictureWidth + look.spacing;
        }
        if (!row.trailingSymbol.isEmpty()) {
            shown.trailing = QRect(right - symbolSize, middle - symbolSize / 2, symbolSize, symbolSize);
            right -= symbolSize + look.spacing;
        } else if (!row.trailingText.isEmpty()) {
            // The trailing text is never cut: the title and subtitle give way to it.
            const QFontMetrics caption(fonts.caption);
            const int width = caption.horizontalAdvance(oneLine(row.trailingText));
            shown.trailing = QRect(right - width, middle - caption.height() / 2, width, caption.height());
            right -= width + look.spacing;
        }
        const int width = std::max(0, right - left);
        const int top = middle - textHeight(fonts) / 2;
        const int titleHeight = QFontMetrics(fonts.title).height();
        shown.title = fittedText(oneLine(row.title), fonts.title, width, 1, Qt::ElideRight, &shown.titleCut);
        shown.titleRect = QRect(left, top, width, titleHeight);
        const int lines = look.subtitleLines;
        const QString subtitle = lines > 1 ? row.subtitle : oneLine(row.subtitle);
        shown.subtitle = fittedText(subtitle, fonts.subtitle, width, lines, look.subtitleElide, &shown.subtitleCut);
        shown.subtitleRect = QRect(left, top + titleHeight + 1, width, textHeight(fonts) - titleHeight - 1);
        return shown;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& given, const QModelIndex& index) const override {
        QStyleOptionViewItem option = given;
        initStyleOption(&option, index);
        // The style draws the row's background, selection and focus; the texts are drawn below.
        option.text.clear();
        option.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &option, painter, widget);

        const int row = index.row();
        const ListRow content = view_.rows()->rowAt(row);
        const ShownRow shown = layout(option, content);
        const Fonts fonts = this->fonts(option.font);
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = groupOf(option);
        const QColor ink = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
        const QColor secondary = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::PlaceholderText);
        painter->save();
        switch (view_.look().picture) {
        case RowLook::Picture::icon:
            // An application's own icon keeps its colours on the selection, as every list shows it.
            view_.rows()->icon(row).paint(painter, shown.picture, Qt::AlignCenter, QIcon::Normal);
            break;
        case RowLook::Picture::thumbnail: {
            // Drawn in the text and accent colours: on the selection both become the highlighted
            // text's, as the row's words do.
            QPalette palette = option.palette;
            if (selected) {
                for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::Highlight}) {
                    palette.setColor(role, option.palette.color(group, QPalette::HighlightedText));
                }
            }
            painter->setRenderHint(QPainter::Antialiasing);
            view_.rows()->paintPicture(*painter, QRectF(shown.picture), row, selected, palette);
            break;
        }
        case RowLook::Picture::none: break;
        }
        painter->setFont(fonts.title);
        painter->setPen(ink);
        painter->drawText(shown.titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown.title);
        painter->setFont(fonts.subtitle);
        painter->setPen(secondary);
        const int single = view_.look().subtitleLines > 1 ? 0 : Qt::TextSingleLine;
        painter->drawText(shown.subtitleRect, Qt::AlignLeft | Qt::AlignTop | single, shown.subtitle);
        if (!content.trailingSymbol.isEmpty()) {
            symbol(content.trailingSymbol).paint(painter, shown.trailing, Qt::AlignCenter, selected ? QIcon::Selected : QIcon::Normal);
        } else if (!content.trailingText.isEmpty()) {
            painter->setFont(fonts.caption);
            painter->drawText(shown.trailing, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, oneLine(content.trailingText));
        }
        painter->restore();
    }

    // A cut text shows whole in its tool tip, as a cut label does.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip || !index.isValid()) return QStyledItemDelegate::helpEvent(event, view, option, index);
        const ListRow row = view_.rows()->rowAt(index.row());
        const ShownRow shown = layout(option, row);
        QString whole;
        if (shown.titleCut && shown.titleRect.contains(event->pos())) whole = row.title;
        if (shown.subtitleCut && shown.subtitleRect.contains(event->pos())) whole = row.subtitle;
        if (!row.trailingSymbolName.isEmpty() && shown.trailing.contains(event->pos())) whole = row.trailingSymbolName;
        if (whole.isEmpty()) {
            QToolTip::hideText();
            return true;
        }
        QToolTip::showText(event->globalPos(), plainToolTip(whole), view->viewport(), shown.rect);
        return true;
    }

private:
    const QIcon& symbol(const QString& name) const {
        auto found = symbols_.find(name);
        if (found == symbols_.end()) found = symbols_.insert(name, symbolIcon(name));
        return *found;
    }

    RowListView& view_;
    mutable QHash<QString, QIcon> symbols_;
};

RowListView::RowListView(RowListModel* model, RowLook look, QWidget* parent)
    : QListView(parent), model_(model), look_(std::move(look)) {
    if (!model_->parent()) model_->setParent(this);
    model_->refresh();
    setModel(model_);
    delegate_ = new Delegate(*this);
    setItemDelegate(delegate_);
    // One row's height serves for all: nothing is measured per row, however many there are.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    if (model_->canMoveRows()) {
        setDragEnabled(true);
        setAcceptDrops(true);
        setDropIndicatorShown(true);
        setDragDropMode(QAbstractItemView::InternalMove);
        setDefaultDropAction(Qt::MoveAction);
    }
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!choosing_ && onChosen) onChosen(selectedRow());
    });
}

int RowListView::selectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.front().row();
}

void RowListView::setSelectedRow(int row) {
    if (row < 0 || row >= count()) row = -1;
    // Left as it is when it already says so: the user may have scrolled away from it meanwhile.
    if (row == selectedRow() && row == currentIndex().row()) return;
    const QScopedValueRollback quiet(choosing_, true);
    if (row < 0) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex index = model_->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

int RowListView::rowHeight() const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    return delegate_->sizeHint(option, {}).height();
}

ShownRow RowListView::shownRow(int row) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(model_->index(row));
    return delegate_->layout(option, model_->rowAt(row));
}

std::optional<QString> RowListView::namedText(const QString& name) const {
    const int row = selectedRow() >= 0 ? selectedRow() : (count() > 0 ? 0 : -1);
    if (row < 0 || name.isEmpty()) return std::nullopt;
    if (name == look_.titleName) return model_->rowAt(row).title;
    if (name == look_.subtitleName) return model_->rowAt(row).subtitle;
    return std::nullopt;
}

void RowListView::startDrag(Qt::DropActions) {
    const int row = selectedRow();
    if (row < 0 || !model_->canMoveRows()) return;
    const QModelIndex index = model_->index(row);
    QMimeData* data = model_->mimeData({index});
    if (!data) return;
    // The row as it is drawn, under the pointer where it was taken.
    const QRect rect = visualRect(index);
    const qreal ratio = devicePixelRatioF();
    QPixmap picture((QSizeF(rect.size()) * ratio).toSize());
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = QRect(QPoint(0, 0), rect.size());
        option.state |= QStyle::State_Selected;
        delegate_->paint(&painter, option, index);
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(picture);
    drag->setHotSpot(viewport()->mapFromGlobal(QCursor::pos()) - rect.topLeft());
    // The drop moves the row in the store itself: nothing is left to remove here afterwards.
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void RowListView::dropEvent(QDropEvent* event) {
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    if (!drop(event->mimeData(), event->position().toPoint())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

bool RowListView::drop(const QMimeData* data, const QPoint& at) {
    const std::optional<int> from = model_->draggedRow(data);
    if (!from) return false;
    // Between two rows: before the row under the pointer when in its upper half, else after it.
    const QModelIndex over = indexAt(at);
    int to = count();
    if (over.isValid()) to = at.y() < visualRect(over).center().y() ? over.row() : over.row() + 1;
    model_->moveRows({}, *from, 1, {}, to);
    return true;
}

void RowListView::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    if (const int row = selectedRow(); row >= 0) scrollTo(model_->index(row));
}

}  // namespace tessary
