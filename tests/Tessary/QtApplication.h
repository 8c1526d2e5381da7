#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QWidget>

#include "Platform/Qt/QtApplication.h"

namespace tessary::qttest {

// The one application object of the widget tests, the program's own kind, on the offscreen platform
// unless the environment names another.
inline QApplication& qtApplication() {
    static int argc = 1;
    static char name[] = "TessaryTests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QtApplication(argc, argv);
    }();
    return *app;
}

// Saves the widget as build/test/tests/FOLDER/NAME.png, for a person to look at.
inline void screenshot(QWidget& widget, const QString& folder, const QString& name) {
    const QString path = QStringLiteral(QT_TESTCASE_BUILDDIR) + "/" + folder;
    QDir().mkpath(path);
    widget.grab().save(path + "/" + name + ".png");
}

// The alert's button with this text, or none.
inline QAbstractButton* buttonTitled(QMessageBox& box, const QString& text) {
    for (QAbstractButton* button : box.buttons()) {
        if (button->text() == text) return button;
    }
    return nullptr;
}

}  // namespace tessary::qttest
