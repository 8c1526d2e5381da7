#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Accessibility.h"
#include "Platform/ApplicationWorkspace.h"
#include "Platform/Logger.h"
#include "WindowEngine/WindowEngine.h"

namespace tessary {

// The window engine over the accessibility interface and the running applications. It holds no
// state about windows: every operation asks anew. Each request waits at most 0.5 s for the other
// application (the messaging time-out).
class AXWindowEngine : public WindowEngine {
public:
    AXWindowEngine(Accessibility& accessibility, ApplicationWorkspace& workspace);

    std::optional<WindowHandle> focusedWindow() override;
    std::optional<WindowHandle> focusedWindow(const std::string& bundleIdentifier) override;
    std::optional<WindowHandle> window(Point at) override;
    // The element hit is the window, or a child of it: its title bar ("AXTitleBar") or anything else.
    std::optional<WindowHit> windowHit(Point at) override;
    std::vector<WindowHandle> windows(ProcessID pid) override;
    std::vector<WindowHandle> allWindows() override;
    std::optional<WindowInfo> info(const WindowHandle& window) override;
    std::optional<Rect> frame(const WindowHandle& window) override;
    // Position then size, read back; when off by more than 2.0 points or unreadable: size, position,
    // size, read back; a window that still differs is logged and, when centersWindowsThatCannotFill
    // says so, centred in the requested frame on whole points. A window whose size goes in steps
    // ("AXSizeIncrement") and ends smaller by less than one step on each axis has taken the frame
    // as well as it can: centred in it when the preference says so, else at its origin (one more
    // move when it is not there), and the result succeeds. When the writes cannot be completed (no
    // window manager runs) the first read-back ends the call, with `unanswered` set. A window still
    // off after the second attempt is asked "AXShadowKeptOnScreen", for `shadowKeptOnScreen`.
    SetFrameResult setFrame(const Rect& frame, const WindowHandle& window) override;
    // The size step ("AXSizeIncrement") and the centring preference are asked only of a window that
    // is not within 2.0 points of the target.
    bool isInPlace(const WindowHandle& window, const Rect& current, const Rect& target) override;
    void raise(const WindowHandle& window) override;
    // "AXMinimumSize".
    std::optional<Size> minimumSize(const WindowHandle& window) override;

    // Asked when a window ends up with another size than requested. Default: never centre.
    std::function<bool()> centersWindowsThatCannotFill = [] { return false; };

    // Troubleshooting: what the frontmost application and its focused window report, and what the
    // element at a point reports. Not used by any service.
    std::map<std::string, std::string> focusedWindowDiagnostics();
    std::map<std::string, std::string> hitTestDiagnostics(Point at);

    static constexpr float messagingTimeout = 0.5f;

private:
    AXElement applicationElement(ProcessID pid);
    std::optional<std::string> copyStringAttribute(std::string_view attribute, const AXElement& element);
    std::optional<bool> copyBoolAttribute(std::string_view attribute, const AXElement& element);
    std::optional<AXElement> copyElementAttribute(std::string_view attribute, const AXElement& element);
    std::vector<AXElement> copyElementArrayAttribute(std::string_view attribute, const AXElement& element);
    std::optional<Point> copyPointAttribute(std::string_view attribute, const AXElement& element);
    std::optional<Size> copySizeAttribute(std::string_view attribute, const AXElement& element);

    AXError writePosition(const AXElement& element, Point position);
    AXError writeSize(const AXElement& element, Size size);
    std::optional<Rect> readBack(const AXElement& element);
    // The result for a stepped window whose size is within one step of the requested one, where it
    // belongs (moved there when it is not); absent when its size is not.
    std::optional<SetFrameResult> placeStepped(const Rect& requested, const Rect& achieved, Size step, bool centred,
                                               const AXElement& element);

    Accessibility& accessibility_;
    ApplicationWorkspace& workspace_;
    AXElement systemWide;
    Logger log{"AXWindowEngine"};
};

}  // namespace tessary
