#pragma once

#include <chrono>
#include <functional>

#include "Platform/Logger.h"
#include "Platform/Scheduler.h"
#include "Platform/Screens.h"
#include "Platform/Signal.h"
#include "Tessary/services/WindowMemoryService.h"

namespace tessary {

// Puts every window back into its remembered zones once the display configuration has been quiet
// for 1.5 s after a change, then runs a follow-up step (the automatic workspace restore).
class DisplayChangeRestorer {
public:
    static constexpr std::chrono::milliseconds quietPeriod{1500};

    // isEnabled is asked at every change notice (the application reads restoreOnDisplayChange).
    DisplayChangeRestorer(WindowMemoryService& memory, std::function<bool()> isEnabled, Scheduler& scheduler);
    // A restore still waiting does not run.
    ~DisplayChangeRestorer();
    DisplayChangeRestorer(const DisplayChangeRestorer&) = delete;
    DisplayChangeRestorer& operator=(const DisplayChangeRestorer&) = delete;

    // The change notice: when enabled, starts the wait again; when not, leaves a wait already
    // started alone.
    void screensChanged();
    // Takes the screens' change notices from now on (the desktop's screen-parameters notice); the
    // services call it once when they start.
    void observe(Screens& screens);

    // Run after every restore; does nothing until the application sets it.
    std::function<void()> afterRestore = [] {};

    bool isWaiting() const { return static_cast<bool>(pending_); }

private:
    void restore();

    WindowMemoryService& memory_;
    std::function<bool()> isEnabled_;
    Scheduler& scheduler_;
    ScheduledTask pending_;
    Subscription screensSubscription_;
    Logger log{"DisplayChange"};
};

}  // namespace tessary
