// A second reference for the program's CPU per pointer notice: a Qt GUI program whose main loop
// watches its own X connection, selects raw motion on the root and only reads and frees each event
// (one read when readable, as the program's pump does). What any Qt program pays per notice; the
// program's own work is the difference. Prints "ready" once the server has taken the selection.
// With --widgets its application is a QApplication, as the program's is: what a Qt Widgets program
// pays per notice over a Qt GUI one.

#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>

#include "RawMotionConnection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    const bool widgets = argc > 1 && std::strcmp(argv[1], "--widgets") == 0;
    const std::unique_ptr<QGuiApplication> application =
        widgets ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QGuiApplication>(argc, argv);
    xcb_connection_t* c = connectForRawMotion();
    if (!c) return 1;
    QSocketNotifier notifier(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [c] {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        while (event) {
            std::free(event);
            event = xcb_poll_for_queued_event(c);
        }
        if (xcb_connection_has_error(c)) QCoreApplication::quit();
    });
    std::puts("ready");
    std::fflush(stdout);
    const int status = application->exec();
    xcb_disconnect(c);
    return status;
}
