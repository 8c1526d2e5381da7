// A second reference for the program's CPU per pointer notice: a Qt GUI program whose main loop
// watches its own X connection, selects raw motion on the root and only reads and frees each event
// (one read when readable, as the program's pump does). What any Qt program pays per notice; the
// program's own work is the difference. Prints "ready" once the server has taken the selection.
// With --widgets its application is a QApplication, as the program's is, and its loop also watches
// three descriptors that stay quiet, as the program's does (the signal pipe, the single-instance
// socket, a folder watch): what a Qt Widgets program shaped like the program pays per notice with
// none of the program's work.

#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>

#include "RawMotionConnection.h"

#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    const bool widgets = argc > 1 && std::strcmp(argv[1], "--widgets") == 0;
    const std::unique_ptr<QGuiApplication> application =
        widgets ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QGuiApplication>(argc, argv);
    xcb_connection_t* c = connectForRawMotion();
    if (!c) return 1;
    std::vector<std::unique_ptr<QSocketNotifier>> quiet;
    if (widgets) {
        int pipeEnds[2];
        const int listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        // An abstract address of the kernel's choosing (a family alone binds one).
        const sa_family_t family = AF_UNIX;
        if (::pipe(pipeEnds) != 0 || listening < 0 ||
            ::bind(listening, reinterpret_cast<const sockaddr*>(&family), sizeof family) != 0 ||
            ::listen(listening, 4) != 0 || watch < 0) {
            return 1;
        }
        ::inotify_add_watch(watch, "/proc/self", IN_CREATE);
        for (const int fd : {pipeEnds[0], listening, watch}) {
            quiet.push_back(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read));
        }
    }
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
