#pragma once

#include <QCoreApplication>

namespace tessary::qttest {

// The one application object of the platform tests that need an event loop: Qt keeps state per
// application object, so making a second one after the first ended leaks that state.
inline QCoreApplication& qtCoreApplication() {
    static int argc = 1;
    static char name[] = "PlatformTests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

}  // namespace tessary::qttest
