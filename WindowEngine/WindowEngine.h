#pragma once

// The one interface through which services look at and move other applications' windows. All
// geometry is in the desktop space (CoordinateSpace). Operations are synchronous, main thread only,
// and never throw: a window that is gone gives absent results, a refused move shows in its result.

#include <optional>
#include <string>
#include <vector>

#include "Platform/ProcessID.h"
#include "TessaryCore/Geometry.h"
#include "WindowEngine/SetFrameResult.h"
#include "WindowEngine/WindowHandle.h"
#include "WindowEngine/WindowInfo.h"

namespace tessary {

// The top-level window under a point, and where on it the point is.
struct WindowHit {
    WindowHandle window;
    // On the title bar the desktop drags the window by: a press there and a drag move the window.
    // False on the window's content, and wherever the engine cannot tell.
    bool onTitleBar = false;

    friend bool operator==(const WindowHit&, const WindowHit&) = default;
};

class WindowEngine {
public:
    virtual ~WindowEngine() = default;

    // The focused window of the frontmost application.
    virtual std::optional<WindowHandle> focusedWindow() = 0;
    // The focused window of the running application with that identifier, else its first
    // standard window.
    virtual std::optional<WindowHandle> focusedWindow(const std::string& bundleIdentifier) = 0;
    // The top-level window under a point.
    virtual std::optional<WindowHandle> window(Point at) = 0;
    // The same window, and whether the point is on its title bar (one hit test, as window(at)).
    virtual std::optional<WindowHit> windowHit(Point at) = 0;
    // The standard windows of one process, in the application's window order.
    virtual std::vector<WindowHandle> windows(ProcessID pid) = 0;
    // The standard windows of every regular running application, application by application.
    virtual std::vector<WindowHandle> allWindows() = 0;
    // Absent when the window's position or size cannot be read (it is gone).
    virtual std::optional<WindowInfo> info(const WindowHandle& window) = 0;
    virtual std::optional<Rect> frame(const WindowHandle& window) = 0;
    // Moves and resizes, verifies, retries once and reports the frame reached.
    virtual SetFrameResult setFrame(const Rect& frame, const WindowHandle& window) = 0;
    // Whether a window now at `current` already has what setFrame(target) would give it, by the rule
    // its result is judged by (SetFrameResult::takes, with the window's size step): such a window is
    // in place, and is not moved, counted or reported again.
    virtual bool isInPlace(const WindowHandle& window, const Rect& current, const Rect& target) = 0;
    // Brings the window to the front and activates its application.
    virtual void raise(const WindowHandle& window) = 0;
    // The smallest frame the window takes, when it declares one (a zone smaller than this cannot
    // hold it).
    virtual std::optional<Size> minimumSize(const WindowHandle& window) = 0;
};

}  // namespace tessary
