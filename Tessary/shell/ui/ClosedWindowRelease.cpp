#include "Tessary/shell/ui/ClosedWindowRelease.h"

#include <QEvent>
#include <QPixmapCache>
#include <QThreadPool>
#include <QWidget>

#include <algorithm>

#include "Platform/Linux/ProcessMemory.h"

namespace tessary {

namespace {

// QWidget::destroy() is protected: it is reached through a class that makes it public, which
// names the same member of QWidget.
struct NativeWindow : QWidget {
    using QWidget::destroy;
};

}  // namespace

ClosedWindowRelease::ClosedWindowRelease(Scheduler& scheduler) : scheduler_(scheduler) {}

ClosedWindowRelease::~ClosedWindowRelease() { scheduler_.cancel(pending_); }

void ClosedWindowRelease::watch(QWidget* window, std::function<void()> released) {
    const auto same = [window](const Watched& each) { return each.window == window; };
    if (!window || std::find_if(watched_.begin(), watched_.end(), same) != watched_.end()) return;
    std::erase_if(watched_, [](const Watched& each) { return each.window.isNull(); });
    watched_.push_back({window, std::move(released)});
    window->installEventFilter(this);
}

bool ClosedWindowRelease::eventFilter(QObject* watched, QEvent* event) {
    // A minimised window gets a spontaneous Hide and stays visible; a closed one is no longer visible.
    if (event->type() != QEvent::Hide) return false;
    auto* window = qobject_cast<QWidget*>(watched);
    if (!window || window->isVisible()) return false;
    // After the event that closed it: whoever closed it may still be using its native window.
    scheduler_.cancel(pending_);
    pending_ = scheduler_.schedule(std::chrono::milliseconds(0), [this] {
        pending_ = {};
        // The owners' steps run after the loop: one may destroy its window, or watch another.
        std::vector<std::function<void()>> then;
        bool released = false;
        for (const Watched& each : watched_) {
            if (each.window && !each.window->isVisible() && each.window->windowHandle()) {
                release(*each.window);
                released = true;
                if (each.released) then.push_back(each.released);
            }
        }
        for (const auto& step : then) step();
        if (!released) return;
        // The threads Qt started to convert and scale the window's images, idle now: they end
        // here rather than half a minute later, with their stacks (a next window starts them anew).
        QThreadPool::globalInstance()->waitForDone(0);
        returnFreedMemory();
    });
    return false;
}

void ClosedWindowRelease::release(QWidget& window) {
    if (window.isVisible() || !window.isWindow()) return;
    // Its frame comes back where it was. The client area's place is given, not the frame's: a
    // frame position makes Qt ask for north-west gravity and correct by a frame it does not know
    // yet, which some window managers then apply a second time (the window came back lower by its
    // title bar); a client position is asked with static gravity, which every one takes as it is.
    const QRect clientArea = window.geometry();
    (window.*(&NativeWindow::destroy))(true, true);
    window.setGeometry(clientArea);
}

void ClosedWindowRelease::returnFreedMemory() {
    // Only what was drawn lives there; the next paint fills it again as needed.
    QPixmapCache::clear();
    // The font engines stay: loading them again made every reopening match and shape its fonts
    // anew (a third of Settings' reopening), for some 0.3 MiB of glyph caches kept.
    ProcessMemory::returnToSystem();
}

}  // namespace tessary
