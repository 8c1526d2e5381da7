#pragma once

#include "Platform/WindowManagerInfo.h"
#include "Platform/X11/X11Windows.h"

namespace tessary {

// The EWMH window manager's name: the _NET_WM_NAME (else WM_NAME) of the window the root's
// _NET_SUPPORTING_WM_CHECK names, when that window exists and names itself (one left behind by a
// window manager that died does not). Two round trips at most; a check window that vanishes
// meanwhile reads as no name.
class X11WindowManagerInfo final : public WindowManagerInfo {
public:
    explicit X11WindowManagerInfo(X11Windows& windows) : windows_(windows) {}

    std::string name() override;

private:
    X11Windows& windows_;
};

}  // namespace tessary
