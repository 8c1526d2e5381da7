#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "WindowEngine/WindowEngine.h"

namespace tessary {

// A window engine over made-up windows in memory, for running the services without a desktop
// (with DisplayProvider::displaysOverride for made-up displays). Moves obey each window's minimum
// size and are recorded; raising records the window and focuses it.
class FakeWindowEngine : public WindowEngine {
public:
    struct Window {
        WindowInfo info;
        Size minimumSize;
        // The top of the frame that is its title bar (see windowHit); none by default.
        double titleBarHeight = 0;
        // The step its size goes in (a terminal's character cell), from minimumSize; none by default.
        std::optional<Size> sizeIncrement;
    };
    struct SetFrameCall {
        WindowHandle window;
        Rect frame;

        friend bool operator==(const SetFrameCall&, const SetFrameCall&) = default;
    };
    // Table order: elements are minted in increasing order, so windows come in the order added.
    struct HandleOrder {
        bool operator()(const WindowHandle& a, const WindowHandle& b) const;
    };

    // The made-up windows ("windows" in speech; the name is taken by the windows(pid) operation).
    std::map<WindowHandle, Window, HandleOrder> windowTable;
    std::optional<WindowHandle> focused;
    std::vector<WindowHandle> raised;
    std::vector<SetFrameCall> setFrameCalls;
    ProcessID nextElementPID = 10000;
    // False: no window manager carries out moves; every setFrame leaves the window where it is
    // and says so (SetFrameResult::unanswered).
    bool windowManagerRuns = true;

    // A standard, not minimised window with a fresh element (that of the application
    // nextElementPID, which only serves as a unique identity) and the given process identifier.
    WindowHandle addWindow(std::optional<std::string> bundleIdentifier, ProcessID pid, std::optional<std::string> title,
                           const Rect& frame, Size minimumSize = Size{0, 0}, bool focus = false);
    void removeWindow(const WindowHandle& window);

    std::optional<WindowHandle> focusedWindow() override;
    std::optional<WindowHandle> focusedWindow(const std::string& bundleIdentifier) override;
    std::optional<WindowHandle> window(Point at) override;
    std::optional<WindowHit> windowHit(Point at) override;
    std::vector<WindowHandle> windows(ProcessID pid) override;
    std::vector<WindowHandle> allWindows() override;
    std::optional<WindowInfo> info(const WindowHandle& window) override;
    std::optional<Rect> frame(const WindowHandle& window) override;
    // A window with a size step takes the largest stepped size that fits, at the frame's origin.
    SetFrameResult setFrame(const Rect& frame, const WindowHandle& window) override;
    bool isInPlace(const WindowHandle& window, const Rect& current, const Rect& target) override;
    void raise(const WindowHandle& window) override;
    std::optional<Size> minimumSize(const WindowHandle& window) override;
};

}  // namespace tessary
