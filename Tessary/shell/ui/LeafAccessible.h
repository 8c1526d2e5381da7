#pragma once

#include <QAccessible>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <vector>

namespace tessary {

// What screen readers meet of a part of a widget that has no object of its own (a zone of a
// thumbnail, a tile of a list): a leaf whose parent is the widget's interface, with an action
// interface for what a press does. The part says whether it is still there (`isValid`), its
// texts, place, role, state and actions.
template <typename Owner>
class LeafAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit LeafAccessible(Owner* owner) : owner_(owner) {}

    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return owner_ ? owner_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(owner_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

protected:
    // None once the widget is gone.
    Owner* owner() const { return owner_.data(); }

private:
    QPointer<Owner> owner_;
};

// A widget interface's leaves, each made when first asked for and kept while the widget's interface
// lives, so that a part keeps one identity for screen readers however often they ask.
class LeafChildren {
public:
    LeafChildren() = default;
    LeafChildren(const LeafChildren&) = delete;
    LeafChildren& operator=(const LeafChildren&) = delete;
    ~LeafChildren() {
        for (QAccessible::Id id : ids_) {
            if (id) QAccessible::deleteAccessibleInterface(id);
        }
    }

    // The leaf at `index`, made by `make` the first time.
    template <typename Make>
    QAccessibleInterface* at(int index, Make make) {
        if (index < 0) return nullptr;
        if (ids_.size() <= std::size_t(index)) ids_.resize(std::size_t(index) + 1, 0);
        QAccessible::Id& id = ids_[std::size_t(index)];
        if (!id) id = QAccessible::registerAccessibleInterface(make());
        return QAccessible::accessibleInterface(id);
    }
    int indexOf(const QAccessibleInterface* leaf) const {
        for (std::size_t i = 0; i < ids_.size(); ++i) {
            if (ids_[i] && QAccessible::accessibleInterface(ids_[i]) == leaf) return int(i);
        }
        return -1;
    }

private:
    std::vector<QAccessible::Id> ids_;
};

}  // namespace tessary
