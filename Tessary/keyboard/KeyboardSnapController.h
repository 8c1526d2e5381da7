#pragma once

// Turns the application's global shortcuts into window actions: snap the focused window to zone 1
// to 9, move it to the next or previous zone of its display, or to the next display to the right
// or left keeping its zone number, cycle the layout of the display under the pointer, and hand
// show zones, open the editor and restore all windows to the application. Every action reads the
// windows, displays and zones afresh. A snap or move that found its zone and failed there (a window
// too large for it, one the window manager did not move) is logged ("KeyboardSnap") and handed to
// onSnapFailed, as is a snap to zone N that failed for any reason; every other missing piece ends
// the action silently. Main loop only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/GlobalInput.h"
#include "Platform/Logger.h"
#include "Platform/Scheduler.h"
#include "Tessary/services/ZoneService.h"
#include "WindowEngine/DisplayInfo.h"
#include "WindowEngine/WindowInfo.h"

namespace tessary {

class KeyboardSnapController final {
public:
    using DisplaysReader = std::function<std::vector<DisplayInfo>()>;

    KeyboardSnapController(GlobalShortcuts& shortcuts, ZoneService& zones, GlobalInput& input, DisplaysReader displays,
                           Scheduler& scheduler);
    ~KeyboardSnapController();
    KeyboardSnapController(const KeyboardSnapController&) = delete;
    KeyboardSnapController& operator=(const KeyboardSnapController&) = delete;

    std::function<void()> onShowZones = [] {};
    // After a layout cycle: the application flashes the new zones unless the user turned that off,
    // which "Show Zones" does not ask.
    std::function<void()> onLayoutCycled = [] {};
    std::function<void()> onOpenEditor = [] {};
    std::function<void()> onRestoreAll = [] {};
    // Told of a shortcut's snap or move that failed, after it was logged.
    std::function<void(const ZoneService::SnapError&)> onSnapFailed;

    // Binds one key-down handler per application name. Only the first call binds anything: a second
    // would make every shortcut act twice.
    void registerShortcuts();

    void snapFocusedWindow(std::int64_t zoneIndex);
    void moveFocusedWindowToNeighbour(std::int64_t step);
    void moveFocusedWindowToDisplay(std::int64_t offset);
    void cycleLayout(std::int64_t offset);
    // The focused window with its information, unless the window filter leaves it alone.
    std::optional<std::pair<WindowHandle, WindowInfo>> focusedWindowContext();

    // How long after a move with no window left active the moved window is made active again.
    static constexpr std::chrono::milliseconds refocusDelay{250};

private:
    // Sets the frame and reports the snap when the window took it within 2.0 points; else logs
    // and hands on the failure.
    void place(const WindowHandle& window, const WindowInfo& info, const DisplayInfo& display, const Zone& zone);
    void failed(const std::string& what, const ZoneService::SnapError& error);
    // Makes the window, focused when its shortcut was pressed, the active one again where the
    // window manager let go of it during the move and, `refocusDelay` later, no other window has
    // taken the focus.
    void keepActive(const WindowHandle& window);

    GlobalShortcuts& shortcuts_;
    ZoneService& zones_;
    GlobalInput& input_;
    DisplaysReader displays_;
    Scheduler& scheduler_;
    ScheduledTask refocus_;
    Logger log_{"KeyboardSnap"};
    bool registered_ = false;
    // Handlers hold this weakly and do nothing once the controller is gone.
    std::shared_ptr<KeyboardSnapController*> self_;
};

}  // namespace tessary
