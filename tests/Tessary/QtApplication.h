#pragma once

#include <QApplication>

namespace tessary::qttest {

// The one application object of the widget tests, on the offscreen platform unless the
// environment names another.
inline QApplication& qtApplication() {
    static int argc = 1;
    static char name[] = "TessaryTests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

}  // namespace tessary::qttest
