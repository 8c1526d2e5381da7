#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QMenu;
class QToolButton;

namespace tessary {

// The bar under a master list: an add button that opens the caller's menu, a short divider, and a
// remove button (a minus) that is dimmed and ignores clicks while nothing can be removed. Both are
// symbols only: their words ("Add Rule", "Remove Rule") are their tool tips and what a screen
// reader says; the add button takes its words from the menu's title unless given others.
class ListEditBar final : public QWidget {
    Q_OBJECT

public:
    // The bar does not take ownership of the menu; the caller keeps it alive as long as the bar.
    ListEditBar(QString removeLabel, QMenu* addMenu, std::function<void()> remove, QWidget* parent = nullptr);

    void setCanRemove(bool canRemove);
    // The add button's words, for a bar whose add button acts by itself (no menu) or says more.
    void setAddLabel(const QString& label);
    bool canRemove() const { return canRemove_; }
    QToolButton* addButton() const { return add_; }
    QToolButton* removeButton() const { return remove_; }

private:
    QToolButton* add_;
    QToolButton* remove_;
    std::function<void()> onRemove_;
    bool canRemove_ = true;
};

// What an empty list shows in its place: a symbol, a title and a description, at least 216 high,
// with the list's edit bar under it (remove always disabled, the add menu working as usual).
class EmptyListBox final : public QWidget {
    Q_OBJECT

public:
    EmptyListBox(QString title, QString symbolName, QString description, QString removeLabel, QMenu* addMenu,
                 QWidget* parent = nullptr);

    ListEditBar* bar() const { return bar_; }

private:
    ListEditBar* bar_;
};

// An empty list inside a grouped section: the box on a card, with the footer text under it when
// one is given.
class EmptyListForm final : public QWidget {
    Q_OBJECT

public:
    EmptyListForm(QString title, QString symbolName, QString description, std::optional<QString> footer,
                  QString removeLabel, QMenu* addMenu, QWidget* parent = nullptr);

    EmptyListBox* box() const { return box_; }

private:
    EmptyListBox* box_;
};

}  // namespace tessary
