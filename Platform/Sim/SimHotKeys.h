#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Platform/HotKeys.h"

namespace tessary {

// Hot keys of a made-up display. Combinations other programs hold are refused; every request is
// recorded as one line ("grab 6 0x1800 #1", "ungrab #1"), so a test compares a short list.
// The test presses and releases combinations; a press of a registered one is announced once.
class SimHotKeys final : public HotKeys {
public:
    Expected<HotKeyRegistration, HotKeyRefusal> registerHotKey(std::int64_t carbonKeyCode,
                                                               std::int64_t carbonModifiers) override;
    void unregisterHotKey(HotKeyRegistration registration) override;
    bool isHeldByAnotherClient(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) override;
    std::vector<std::pair<std::int64_t, std::int64_t>> systemShortcuts() const override { return system; }
    Subscription onEvent(EventHandler handler) override { return events_.subscribe(std::move(handler)); }
    Subscription onLost(LostHandler handler) override { return lost_.subscribe(std::move(handler)); }

    // Combinations another program holds.
    std::set<std::pair<std::int64_t, std::int64_t>> takenByOthers;
    // What systemShortcuts() lists.
    std::vector<std::pair<std::int64_t, std::int64_t>> system;

    // The user presses or lets go of a combination: announced when it is registered. Returns
    // whether a registration took it (else it went to the focused window).
    bool press(std::int64_t carbonKeyCode, std::int64_t carbonModifiers);
    bool release(std::int64_t carbonKeyCode, std::int64_t carbonModifiers);
    // The back end gives up a registration (as after a keyboard change it could not follow).
    void lose(std::int64_t carbonKeyCode, std::int64_t carbonModifiers,
              HotKeyRefusal refusal = HotKeyRefusal::heldByAnotherClient);

    std::vector<std::string> requests;
    // The combinations registered now, in order.
    std::vector<std::pair<std::int64_t, std::int64_t>> registered() const;

private:
    struct Entry {
        std::int64_t code;
        std::int64_t modifiers;
    };
    HotKeyRegistration find(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) const;

    HotKeyRegistration next_ = 0;
    std::map<HotKeyRegistration, Entry> entries_;
    Signal<HotKeyRegistration, HotKeyEventKind> events_;
    Signal<HotKeyRegistration, HotKeyRefusal> lost_;
};

}  // namespace tessary
