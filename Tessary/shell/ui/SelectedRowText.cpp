#include "Tessary/shell/ui/SelectedRowText.h"

#include <QEvent>
#include <QLabel>
#include <QListWidget>

namespace tessary {

namespace {

constexpr const char* ownRole = "tessary.unselectedRole";
constexpr const char* tintedKey = "tessary.tintedForSelection";

void follow(QListWidget& list) {
    for (int i = 0; i < list.count(); ++i) {
        QListWidgetItem* item = list.item(i);
        QWidget* row = list.itemWidget(item);
        if (!row) continue;
        const bool selected = item->isSelected();
        // Drawings in the row (a layout thumbnail) paint in its text and accent colours: on the
        // selection both become the highlighted-text colour, as the row's words do.
        for (QWidget* drawing : row->findChildren<QWidget*>()) {
            if (qobject_cast<QLabel*>(drawing) || drawing->property(tintedKey).toBool() == selected) continue;
            drawing->setProperty(tintedKey, selected);
            QPalette palette;
            if (selected) {
                palette = drawing->palette();
                const QColor ink = palette.color(QPalette::HighlightedText);
                for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::Highlight}) {
                    palette.setColor(role, ink);
                }
            }
            drawing->setPalette(palette);
        }
        for (QLabel* label : row->findChildren<QLabel*>()) {
            QVariant own = label->property(ownRole);
            if (!own.isValid()) {
                own = static_cast<int>(label->foregroundRole());
                label->setProperty(ownRole, own);
            }
            const auto wanted = selected ? QPalette::HighlightedText : static_cast<QPalette::ColorRole>(own.toInt());
            if (label->foregroundRole() != wanted) label->setForegroundRole(wanted);
        }
    }
}

// Watches the list's viewport: it paints before the row widgets on it, so they paint in the right
// colours in the same pass.
class SelectionFollower final : public QObject {
public:
    explicit SelectionFollower(QListWidget& list) : QObject(&list), list_(list) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) follow(list_);
        return false;
    }

private:
    QListWidget& list_;
};

}  // namespace

void highlightSelectedRowText(QListWidget& list) {
    list.viewport()->installEventFilter(new SelectionFollower(list));
    QObject::connect(&list, &QListWidget::itemSelectionChanged, &list, [&list] { follow(list); });
}

}  // namespace tessary
