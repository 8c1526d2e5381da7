#pragma once

// What a closed window of ours gives back. Hidden, a top-level Qt window keeps its X window, its
// backing store (a window-sized image in shared memory with the X server, which keeps a pixmap of
// the same size) and the pixmaps Qt cached while drawing it; the heap it freed stays with the
// allocator. Once one of the watched windows is closed (hidden, not minimised), after the event
// that closed it: its native window and backing store are destroyed, Qt's pixmap cache is emptied
// (its font engines stay for the next opening) and the process gives the system
// its free heap pages (ProcessMemory). The widget itself stays,
// with its position and whatever its owner keeps in it; the next show() makes a new X window and
// backing store and paints them afresh. A window may come with what to do once it was released
// (its owner dropping it), done before the memory is given back.
//
// Main loop only; the Scheduler must outlive it.

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

#include "Platform/Scheduler.h"

class QWidget;

namespace tessary {

class ClosedWindowRelease final : public QObject {
public:
    explicit ClosedWindowRelease(Scheduler& scheduler);
    ~ClosedWindowRelease() override;
    ClosedWindowRelease(const ClosedWindowRelease&) = delete;
    ClosedWindowRelease& operator=(const ClosedWindowRelease&) = delete;

    // Releases the window's resources each time it closes, then calls `released` (which may
    // destroy the window). Watching it again changes nothing.
    void watch(QWidget* window, std::function<void()> released = {});

    // Gives back what a hidden window holds, at once; nothing for a visible one.
    static void release(QWidget& window);
    // Returns the memory a closed window or an idle overlay used to the system.
    static void returnFreedMemory();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Scheduler& scheduler_;
    struct Watched {
        QPointer<QWidget> window;
        std::function<void()> released;
    };
    std::vector<Watched> watched_;
    ScheduledTask pending_;
};

}  // namespace tessary
