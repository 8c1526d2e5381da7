#pragma once

#include "Platform/Screens.h"
#include "Platform/Signal.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11Monitors.h"

#include <vector>

namespace tessary {

// The screens of Screens over RandR 1.5 monitors. A change notice is sent once per burst of X
// events, and only when the list of screens really differs from the one seen before (a window
// opening also changes _NET_CLIENT_LIST, which matters only when it brings a strut).
class X11Screens : public Screens {
public:
    X11Screens(X11Connection& connection, X11Monitors& monitors);
    ~X11Screens() override;

    std::vector<Screen> screens() const override;
    Subscription onChange(std::function<void()> handler) override;

    static Screen screenFor(const X11Monitor& monitor);

private:
    X11Connection& connection_;
    X11Monitors& monitors_;
    Signal<> changed_;
    std::vector<Screen> last_;
    bool dirty_ = false;
    int eventHandler_ = 0;
    int batchHandler_ = 0;
};

}  // namespace tessary
