#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <set>

#include "Platform/Logger.h"
#include "Platform/Scheduler.h"
#include "Tessary/services/WindowMemoryService.h"
#include "Tessary/services/ZonePlacement.h"
#include "WindowEngine/AXWindowObserver.h"
#include "WindowEngine/WindowEngine.h"
#include "WindowEngine/WindowHandle.h"
#include "WindowEngine/WindowInfo.h"

namespace tessary {

// Decides where a new window goes, 0.4 s after it was created: a workspace restore waiting for its
// application takes it, else the first matching rule, else the zones remembered for it (or, when
// the user asks for it, for its application). The placer moves nothing itself.
class NewWindowPlacer {
public:
    static constexpr std::chrono::milliseconds placementDelay{400};

    NewWindowPlacer(AXWindowObserver& observer, WindowMemoryService& memory, std::function<bool()> usesAppLevelMemory,
                    std::function<bool(const WindowInfo&)> isExcluded, WindowEngine& engine, Scheduler& scheduler);
    // Placements still waiting do not happen, and the observer's notices no longer reach it.
    ~NewWindowPlacer();
    NewWindowPlacer(const NewWindowPlacer&) = delete;
    NewWindowPlacer& operator=(const NewWindowPlacer&) = delete;

    // Takes the observer's window-created and window-destroyed notices, then starts it. Once.
    void start();
    // Places the window 0.4 s from now; each window on its own.
    void handleWindowCreated(const WindowHandle& window);

    // True when something else has taken the window (a pending workspace entry). Default: false.
    std::function<bool(const WindowHandle&)> claimsWindow = [](const WindowHandle&) { return false; };
    // Places the window by rule. Default: nothing.
    std::function<std::optional<ZonePlacement>(const WindowHandle&)> applyRules =
        [](const WindowHandle&) -> std::optional<ZonePlacement> { return std::nullopt; };
    // Told where a window went. Default: nothing.
    std::function<void(const ZonePlacement&)> onPlaced = [](const ZonePlacement&) {};

    std::size_t waitingCount() const { return waiting_.size(); }

private:
    void place(const WindowHandle& window);

    AXWindowObserver& observer_;
    WindowMemoryService& memory_;
    std::function<bool()> usesAppLevelMemory_;
    std::function<bool(const WindowInfo&)> isExcluded_;
    WindowEngine& engine_;
    Scheduler& scheduler_;
    Logger log_{"NewWindowPlacer"};
    std::set<std::uint64_t> waiting_;
    bool started_ = false;
};

}  // namespace tessary
