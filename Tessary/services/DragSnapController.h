#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Logger.h"
#include "Platform/Scheduler.h"
#include "Tessary/services/InputModifiers.h"
#include "Tessary/services/OverlayPresenting.h"
#include "TessaryCore/Geometry.h"
#include "TessaryCore/Zone.h"
#include "WindowEngine/DisplayInfo.h"
#include "WindowEngine/WindowEngine.h"

namespace tessary {

class Preferences;

// The state machine behind drag-to-snap. The input monitor feeds it every left-button down, drag
// and up, and every change of the modifier keys, anywhere on screen. A window dragged with the
// activation key held shows the zones of every display; the zone under the pointer (several while
// the span key is held) is highlighted, and the mouse-up moves the window into the union of the
// selected zones. Main loop only; each entry point runs to completion.
class DragSnapController final {
public:
    enum class Phase {
        idle,      // no drag
        tracking,  // the mouse went down on a window that may be snapped
        snapping,  // the zones are on screen and follow the pointer
    };

    // The last highlight sent to the overlay.
    struct Highlight {
        std::uint32_t display = 0;
        std::vector<std::int64_t> indices;

        friend bool operator==(const Highlight&, const Highlight&) = default;
    };

    // The selection held when the activation key was let go while snapping.
    struct Released {
        Scheduler::TimePoint at;  // on the scheduler's monotonic clock
        DisplayInfo display;
        SpanSelection selection;

        friend bool operator==(const Released&, const Released&) = default;
    };

    using DisplaysReader = std::function<std::vector<DisplayInfo>()>;
    using ZonesReader = std::function<std::vector<Zone>(const DisplayInfo&)>;
    using SnapHandler =
        std::function<void(const WindowHandle&, const DisplayInfo&, const SpanSelection&, const Rect&)>;

    // A window counts as dragged once its origin is more than this many points from where it was.
    static constexpr double movementThreshold = 3.0;
    // A window whose size changed by more than this while an edge opposite its origin stayed put is
    // being resized, not dragged; also the tolerance of a snapped frame.
    static constexpr double frameTolerance = 2.0;
    // A mouse-up this soon after letting go of the activation key still snaps.
    static constexpr Scheduler::Duration releaseGrace = std::chrono::milliseconds(150);
    static constexpr Scheduler::Duration dropRetryDelay = std::chrono::milliseconds(60);
    // The window manager moves a window a moment after the pointer (openbox: under a millisecond),
    // so the frame read on the notice that carries the pointer past the threshold may still be the
    // old one. A press on the window's title bar needs no read: the window manager moves the window
    // with the pointer, so the zones come on that notice. A press anywhere else (a drag inside the
    // window selecting text, or the window manager's own modifier-drag) is told apart only by the
    // window's frame: without waiting for another notice it is read again every millisecond, at
    // most moveRechecks times in a drag, so the zones come within a millisecond of the window's
    // first move, and a drag inside a window costs a few reads, not one per millisecond.
    static constexpr Scheduler::Duration moveRecheckDelay = std::chrono::milliseconds(1);
    static constexpr int moveRechecks = 8;
    // A press that finds no window is looked at again this often, this many times while the button
    // stays down: a window manager that restarts (or was replaced) lists and frames the windows
    // again a moment later, and a drag begun meanwhile would be lost whole.
    static constexpr Scheduler::Duration pressRetryDelay = std::chrono::milliseconds(25);
    static constexpr int pressRetries = 8;

    // `displays` and `zonesFor` are asked when the zones appear and kept for the drag (the pointer's
    // notices come every millisecond), until layoutChanged() says they changed; the clock and the
    // drop's retry come from the scheduler. Everything given must outlive the controller.
    DragSnapController(WindowEngine& engine, const Preferences& preferences, OverlayPresenting& overlay,
                       DisplaysReader displays, ZonesReader zonesFor, Scheduler& scheduler);
    ~DragSnapController();
    DragSnapController(const DragSnapController&) = delete;
    DragSnapController& operator=(const DragSnapController&) = delete;

    // Told of every successful snap: the window, the display, the selection and the frame asked for.
    SnapHandler onSnap;
    // Told when a drag moved the window and ended without a snap.
    std::function<void(const WindowHandle&)> onDragEndedWithoutSnap;
    // The window filter: true leaves the window alone. By default, every window that is not a
    // standard window.
    std::function<bool(const WindowInfo&)> isExcluded;
    // The name of a window's application as the user knows it, for the hint over a zone too small
    // for the dragged window. By default its application identifier.
    std::function<std::string(const WindowInfo&)> applicationName;

    // The entry points of the input monitor.
    void mouseDown(InputModifiers modifiers, Point at);
    void mouseDragged(InputModifiers modifiers, Point at);
    void mouseUp(InputModifiers modifiers, Point at);
    // Replays the last drag event with the new keys, so a key takes effect without a mouse movement.
    void modifiersChanged(InputModifiers modifiers);
    // The displays or their zones changed: a drag showing the zones shows the new ones.
    void layoutChanged();

    Phase phase() const { return phase_; }
    const SpanSelection& selection() const { return selection_; }
    const std::optional<DisplayInfo>& activeDisplay() const { return activeDisplay_; }
    const std::optional<WindowHandle>& window() const { return window_; }
    const Rect& startFrame() const { return startFrame_; }
    Point lastMouse() const { return lastMouse_; }
    InputModifiers modifiers() const { return modifiers_; }
    const std::optional<Highlight>& lastHighlight() const { return lastHighlight_; }
    const std::optional<Released>& released() const { return released_; }

    // Whether a frame read during the drag means the window is being dragged: its origin moved by
    // more than movementThreshold. A frame whose size changed while the edges opposite the moved
    // origin edges stayed put is a resize by the left or top edge, and does not count.
    bool hasMovedFromStart(const Rect& frame) const;

private:
    void reset();
    // Takes the window under the press as the drag's; false when none was found (not when one was
    // found and left alone).
    bool takePressedWindow(Point at);
    void retryPress();
    // Shows the zones when the window has been dragged, or pressed by its title bar and the pointer
    // has passed the threshold; false when it has not (yet).
    bool startSnappingIfMoved(Point at);
    // Whether the window's frame shows it dragged; when it has not moved at all yet, reads it again
    // a moment later (see moveRecheckDelay).
    bool frameMoved(bool travelled);
    // Asks for the displays and their zones and shows them.
    void showZones();
    void updateHighlight(Point at);
    const std::string& pressedApplication();
    void drop(const Rect& frame, const WindowHandle& window, const DisplayInfo& display);

    WindowEngine& engine_;
    const Preferences& preferences_;
    OverlayPresenting& overlay_;
    DisplaysReader displays_;
    ZonesReader zonesFor_;
    Scheduler& scheduler_;
    Logger log_{"DragSnap"};

    Phase phase_ = Phase::idle;
    SpanSelection selection_;
    std::optional<DisplayInfo> activeDisplay_;
    std::optional<WindowHandle> window_;
    Rect startFrame_;
    Point mouseDownAt_;
    // The pressed window, its least size once the zones show (read then: the press of every click
    // would pay for it otherwise) and its application's name once a hint needs it (found in the
    // desktop entries); a selection smaller than the window says so in the hint.
    std::optional<WindowInfo> pressedInfo_;
    std::optional<Size> minimumSize_;
    std::optional<std::string> application_;
    // The press was on the window's title bar: the window is expected to follow the pointer.
    bool pressedOnTitleBar_ = false;
    Point lastMouse_;
    InputModifiers modifiers_;
    std::optional<Highlight> lastHighlight_;
    std::optional<Released> released_;
    // While snapping: the displays and zones on screen, and which of them holds activeDisplay_.
    std::vector<OverlayItem> shown_;
    std::optional<std::size_t> activeItem_;

    // The drops' retries still to run, cancelled by the next mouse-down and by the controller's end
    // (after which the engine they hold may be gone).
    std::vector<ScheduledTask> retries_;
    ScheduledTask moveRecheck_;
    int moveRechecksLeft_ = 0;
    ScheduledTask pressRetry_;
    int pressRetriesLeft_ = 0;
};

}  // namespace tessary
