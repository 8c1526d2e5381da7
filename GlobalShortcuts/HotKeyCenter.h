#pragma once

// The only user of the platform's hot keys. It registers and unregisters every HotKey, routes the
// platform's presses and releases to them, and switches between three modes:
//   disabled  every combination is given up (the module is switched off or paused);
//   normal    combinations are registered and their events run the hot keys' actions;
//   menuOpen  one of this program's menus is open, which takes the keyboard: the combinations are
//             given up and key events inside the program are matched against them instead (a
//             match runs once and is consumed; key repeats pass).
// Menu tracking spans the first popup opening to the last one closing.
//
// The table refers to hot keys weakly; an action runs with its hot key held, so an action that
// drops its own hot key (changing the shortcut) finishes first. Main loop only.

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "GlobalShortcuts/HotKey.h"
#include "GlobalShortcuts/LocalEventMonitor.h"
#include "Platform/HotKeys.h"
#include "Platform/LocalEvents.h"

namespace tessary {

class HotKeyCenter {
public:
    enum class Mode { disabled, normal, menuOpen };

    HotKeyCenter(HotKeys& hotKeys, LocalEvents& localEvents);
    ~HotKeyCenter();
    HotKeyCenter(const HotKeyCenter&) = delete;
    HotKeyCenter& operator=(const HotKeyCenter&) = delete;

    // Registers the hot key with the platform and keeps it (weakly) in the table; the refusal when
    // the platform refuses, after which nothing is kept. Outside the normal mode the combination is
    // given up again at once (the attempt is what tells whether it can be had).
    Expected<void, HotKeyRefusal> registerHotKey(const std::shared_ptr<HotKey>& hotKey);

    bool isEnabled() const { return isEnabled_; }
    // Followed by updateMode().
    void setEnabled(bool enabled) { isEnabled_ = enabled; }
    void updateMode();
    Mode mode() const { return mode_; }
    bool isMenuOpen() const { return isMenuOpen_; }

    // The desktop's reserved shortcuts (code, Carbon mask).
    std::vector<std::pair<std::int64_t, std::int64_t>> systemShortcuts() const { return hotKeys_.systemShortcuts(); }
    HotKeys& hotKeys() { return hotKeys_; }

    // For HotKey.
    std::int64_t nextHotKeyID() { return ++lastHotKeyID_; }
    void forget(HotKey& hotKey);

private:
    void unregisterAll();
    void registerAll();
    void applyMode();
    void menuTrackingChanged(bool open);
    void platformEvent(HotKeyRegistration registration, HotKeyEventKind kind);
    void registrationLost(HotKeyRegistration registration, HotKeyRefusal refusal);
    std::optional<LocalEvent> matchLocalKeyEvent(const LocalEvent& event);
    std::vector<std::shared_ptr<HotKey>> liveHotKeys() const;
    static void run(const std::shared_ptr<HotKey>& hotKey, bool down);

    HotKeys& hotKeys_;
    std::int64_t lastHotKeyID_ = 0;
    std::map<std::int64_t, std::weak_ptr<HotKey>> table_;
    std::map<HotKeyRegistration, std::int64_t> byRegistration_;
    bool isEnabled_ = true;
    bool isMenuOpen_ = false;
    Mode mode_ = Mode::normal;
    LocalEventMonitor keyMonitor_;
    Subscription events_;
    Subscription lost_;
    Subscription menuTracking_;
};

}  // namespace tessary
