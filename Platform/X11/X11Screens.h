#pragma once

#include "Platform/Screens.h"
#include "Platform/Signal.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11Monitors.h"

#include <vector>

namespace tessary {

// The screens of Screens over RandR 1.5 monitors. The list is read once and served from memory
// until an event that may change it (RandR notices, the root's size, struts, _NET_CLIENT_LIST,
// _NET_WORKAREA) arrives: only then is it read again, at the end of the burst of events or at the
// next question, whichever comes first. A change notice is sent once per burst, and only when the
// list really differs from the one seen before (a window opening also changes _NET_CLIENT_LIST,
// which matters only when it brings a strut).
class X11Screens : public Screens {
public:
    X11Screens(X11Connection& connection, X11Monitors& monitors);
    ~X11Screens() override;

    std::vector<Screen> screens() const override;
    std::uint64_t generation() const override;
    Subscription onChange(std::function<void()> handler) override;

    static Screen screenFor(const X11Monitor& monitor);

private:
    std::vector<Screen> read() const;
    // Reads the list again when an event may have changed it; true when it did change.
    void refreshIfDirty() const;

    X11Connection& connection_;
    X11Monitors& monitors_;
    Signal<> changed_;
    // The cache, filled lazily from const questions.
    mutable std::vector<Screen> last_;
    mutable std::uint64_t generation_ = nextGeneration();
    mutable bool dirty_ = false;
    mutable bool unannounced_ = false;
    int eventHandler_ = 0;
    int batchHandler_ = 0;
};

}  // namespace tessary
