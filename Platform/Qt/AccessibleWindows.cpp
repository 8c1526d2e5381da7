#include "Platform/Qt/AccessibleWindows.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <vector>

namespace tessary {

namespace {

class ProgramAccessible final : public QAccessibleApplication {
public:
    int childCount() const override { return static_cast<int>(shownWindows().size()); }
    QAccessibleInterface* child(int index) const override {
        const auto windows = shownWindows();
        return index >= 0 && index < static_cast<int>(windows.size()) ? windows[std::size_t(index)] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto windows = shownWindows();
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (windows[i] == child) return static_cast<int>(i);
        }
        return -1;
    }

private:
    static std::vector<QAccessibleInterface*> shownWindows() {
        std::vector<QAccessibleInterface*> shown;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (window->type() == Qt::Popup || window->type() == Qt::Desktop) continue;
            QAccessibleInterface* root = window->accessibleRoot();
            if (!root || !root->object() || root->state().invisible) continue;
            shown.push_back(root);
        }
        return shown;
    }
};

// Whether the widget is a window the window manager shows, made of a plain QWidget: the first of
// Qt's classes it derives from is QWidget itself.
bool isPlainWindow(const QWidget& widget) {
    if (!widget.isWindow() || widget.windowType() != Qt::Window) return false;
    if (widget.windowFlags() & Qt::X11BypassWindowManagerHint) return false;
    const QMetaObject* type = widget.metaObject();
    while (type && !QByteArray(type->className()).startsWith('Q')) type = type->superClass();
    return type == &QWidget::staticMetaObject;
}

QAccessibleInterface* accessibleWindow(const QString&, QObject* object) {
    if (object && object == QCoreApplication::instance()) return new ProgramAccessible;
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    return isPlainWindow(*widget) ? new QAccessibleWidget(widget, QAccessible::Window) : nullptr;
}

}  // namespace

void installAccessibleWindows() {
    static const bool installed = (QAccessible::installFactory(accessibleWindow), true);
    (void)installed;
}

}  // namespace tessary
