#include "Tessary/shell/ui/WindowCloseKeys.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

namespace tessary {

namespace {

void closeOn(QWidget& window, const QKeySequence& keys, const char* name) {
    auto* shortcut = new QShortcut(keys, &window);
    shortcut->setObjectName(QLatin1String(name));
    shortcut->setContext(Qt::WindowShortcut);
    // A key held down closes this window once, not the next one it lands on.
    shortcut->setAutoRepeat(false);
    QObject::connect(shortcut, &QShortcut::activated, &window, &QWidget::close);
}

}  // namespace

void addCloseKeys(QWidget& window, CloseKeys keys) {
    // Ctrl+W itself, not the theme's Close sequence: that is Ctrl+F4 as well, which closes a tab.
    closeOn(window, QKeySequence(Qt::CTRL | Qt::Key_W), "closeWithCtrlW");
    if (keys == CloseKeys::ctrlWAndEscape) closeOn(window, QKeySequence(Qt::Key_Escape), "closeWithEscape");
}

}  // namespace tessary
