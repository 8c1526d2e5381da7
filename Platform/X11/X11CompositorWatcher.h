#pragma once

#include "Platform/CompositorWatcher.h"
#include "Platform/X11/X11Connection.h"

#include <xcb/xcb.h>

namespace tessary {

// A compositing manager owns the selection _NET_WM_CM_S<screen> while it runs. The owner is asked
// once; after that the XFixes selection notices (a new owner, the owner's window destroyed, its
// client gone) keep the answer current, so isCompositing() never makes a request. Without XFixes
// the owner is asked once and taken to stay.
class X11CompositorWatcher : public CompositorWatcher {
public:
    explicit X11CompositorWatcher(X11Connection& connection);
    ~X11CompositorWatcher() override;
    X11CompositorWatcher(const X11CompositorWatcher&) = delete;
    X11CompositorWatcher& operator=(const X11CompositorWatcher&) = delete;

    bool isCompositing() const override { return owner_ != XCB_WINDOW_NONE; }
    Subscription onChange(std::function<void()> handler) override { return changed_.subscribe(std::move(handler)); }

private:
    void handle(const xcb_generic_event_t& event);

    X11Connection& connection_;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    uint8_t fixesFirstEvent_ = 0;
    bool watching_ = false;
    xcb_window_t owner_ = XCB_WINDOW_NONE;
    int handlerId_ = 0;
    Signal<> changed_;
};

}  // namespace tessary
