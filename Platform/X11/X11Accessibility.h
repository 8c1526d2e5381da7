#pragma once

#include "Platform/Accessibility.h"
#include "Platform/Screens.h"
#include "Platform/X11/X11ClientTracker.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11Windows.h"

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

namespace tessary {

// The accessibility elements over X11 and an EWMH window manager.
// - A window element is a managed client window: {window, its process, the X window id, 0}.
// - An application element is a process that owns managed windows; its "AXWindows" are its
//   windows front to back, its "AXFocusedWindow" the focused client (X11Windows::focusedClient)
//   when it is one of them, else its frontmost visible window.
// - "AXPosition" and "AXSize" are the outer frame (decorations included, a client-side margin
//   left out), in root pixels. A read of "AXSize" right after one of "AXPosition" of the same
//   window, with no other call and no event read between them, answers from that read: a frame
//   costs one round trip, and both halves come from the same moment. Writes are held until the
//   next read (or action, or hit test) and then go to the window manager as one
//   _NET_MOVERESIZE_WINDOW per window, position and size together; that read waits, within the
//   element's messaging time-out, until the window manager has handled it. Writes still held at
//   the end of a main-loop turn (commitPendingWrites) are sent without waiting. While no window
//   manager runs, writes and actions fail at once with cannotComplete.
// - "AXSizeIncrement": the size step a window declares in WM_NORMAL_HINTS (a terminal's character
//   cell), when it is more than one pixel on some axis; noValue otherwise.
// - "AXShadowKeptOnScreen": X11Windows::shadowKeptOnScreen, within the screens' work areas.
// - "AXSubrole": "AXStandardWindow" for a normal (or untyped) window that is transient for no
//   other; "AXDialog" for dialogs and transient windows; "AXFloatingWindow" for utility, toolbar
//   and menu windows; "AXUnknown" for docks, desktops, splash screens and the rest.
// - A hit test on the window manager's title bar of a managed window answers the bar, a child
//   element {child, the window's process, the X window id, 1} with "AXRole" "AXTitleBar" and the
//   window as its "AXWindow"; anywhere else on the window, the window.
// - "AXRaise" asks the window manager to activate the window.
// - Trust ("window control") is granted while a live EWMH window manager advertises the requests
//   the back end needs.
class X11Accessibility : public Accessibility {
public:
    // `screens`: where the window manager confines windows, for "AXShadowKeptOnScreen".
    X11Accessibility(X11Connection& connection, X11Windows& windows, X11ClientTracker& tracker, const Screens& screens);
    ~X11Accessibility() override;

    Expected<AXValue, AXError> copyAttributeValue(const AXElement& element, std::string_view attribute) override;
    AXError setAttributeValue(const AXElement& element, std::string_view attribute, const AXValue& value) override;
    AXError performAction(const AXElement& element, std::string_view action) override;
    Expected<AXElement, AXError> copyElementAtPosition(const AXElement& root, float x, float y) override;
    Expected<ProcessID, AXError> pid(const AXElement& element) override;
    AXError setMessagingTimeout(const AXElement& element, float seconds) override;
    Expected<AXObserverID, AXError> createObserver(ProcessID pid, AXObserverCallback callback) override;
    AXError addNotification(AXObserverID observer, const AXElement& element, std::string_view notification) override;
    void startObserver(AXObserverID observer) override;
    void removeObserver(AXObserverID observer) override;
    bool isProcessTrusted() override;
    bool isProcessTrustedWithPrompt() override;

    // The element of a client window (its process read from the tracker, else from the window).
    AXElement elementForWindow(xcb_window_t window);
    // The process that owns a window; 0 when unknown.
    ProcessID processOf(xcb_window_t window);
    // A process's windows, front to back.
    std::vector<xcb_window_t> windowsOf(ProcessID pid);

    // Sends the writes held so far, without waiting for the window manager (the main loop calls it
    // before it sleeps).
    void commitPendingWrites() {
        positionRead_.reset();
        commitWrites(false);
    }

    // Used when neither the element nor the system-wide element has a time-out of its own.
    static constexpr std::chrono::milliseconds kDefaultTimeout{1000};

private:
    struct Observer {
        ProcessID pid = 0;
        AXObserverCallback callback;
        std::set<std::string, std::less<>> notifications;
        bool started = false;
    };

    // Position and size written to one window since the last read.
    struct PendingFrame {
        std::optional<Point> origin;
        std::optional<Size> size;
        std::chrono::milliseconds timeout{0};
    };

    std::chrono::milliseconds timeout(const AXElement& element) const;
    AXError holdWrite(const AXElement& element, std::optional<Point> origin, std::optional<Size> size);
    void commitWrites(bool wait);
    Expected<AXValue, AXError> windowAttribute(const AXElement& element, std::string_view attribute);
    Expected<AXValue, AXError> titleBarAttribute(const AXElement& element, std::string_view attribute);
    Expected<AXValue, AXError> applicationAttribute(const AXElement& element, std::string_view attribute);
    bool windowExists(xcb_window_t window);
    void deliver(const X11Client& client, std::string_view notification);

    X11Connection& connection_;
    X11Windows& windows_;
    X11ClientTracker& tracker_;
    const Screens& screens_;
    std::unordered_map<AXElement, float> timeouts_;
    std::map<AXObserverID, Observer> observers_;
    std::map<xcb_window_t, PendingFrame> pendingFrames_;
    // The frame behind the last "AXPosition" read, for the "AXSize" read that follows it at once.
    struct PositionRead {
        xcb_window_t window = XCB_WINDOW_NONE;
        Rect frame;
        uint64_t mark = 0;
    };
    std::optional<PositionRead> positionRead_;
    AXObserverID nextObserver_ = 0;
    Subscription created_;
    Subscription destroyed_;
};

}  // namespace tessary
