#pragma once

// Hot keys as passive key grabs on the root window. One combination is one GrabKey per lock
// variant (none, Caps Lock, Num Lock's bit, both; two without Num Lock), each checked: BadAccess
// means another client holds it, and then the variants already taken are let go again (all or
// none). Key codes come from the keymap (X11KeyboardLayout), so after a keyboard change every
// combination is grabbed again; one that cannot be is reported lost.
//
// Detectable auto-repeat is asked for, so a held combination sends one press and repeated presses
// without releases; repeats are folded, and a release ends the press of its key code whatever
// modifiers are still held (Ctrl let go before Z). A key already down when its combination is
// grabbed (the one just typed into a recorder, still held) would reach the new grab as a press at
// its first repeat: the keyboard's state is read with the grab, and such a key counts only once it
// was let go. Its release goes to the focused window, not to the grab, so it is seen as an XInput 2
// raw release of the master keyboards, selected only while such a key is down; without XInput 2.1
// only a repeat that reached the grab, and then its release, ends it. The probe grabs and lets go
// at once, and answers for combinations this program holds without touching them.
//
// Requests and events run on the main loop through X11Connection; registering costs one round
// trip (the grab's answer, with the keyboard's state), events none; the first key held at a grab
// costs one more (the master keyboards).

#include "Platform/HotKeys.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11KeyboardLayout.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace tessary {

// The lock-modifier states a grab must cover so that Caps Lock and Num Lock do not hide it.
std::vector<std::uint16_t> lockVariants(std::uint16_t numLockBit);

// Folds the presses of held keys: a key code pressed again before its release is a repeat, and a
// release belongs to the press of its key code.
class X11HotKeyPresses {
public:
    // True for a new press (announce it), false for a repeat.
    bool press(xcb_keycode_t code, HotKeyRegistration registration);
    // The key was down when the registration's grab was taken, as the server answered the request
    // numbered `sequence`: until its release, its presses are repeats and its release ends nothing.
    void heldAtGrab(xcb_keycode_t code, HotKeyRegistration registration, std::uint32_t sequence = 0);
    // The registration whose press this release ends; nothing when the key was not pressed as one.
    std::optional<HotKeyRegistration> release(xcb_keycode_t code);
    // The key was let go where the grab does not see it (a raw release, sent after the request
    // numbered `sequence`): a key held since a grab taken before then is free again. True when one was.
    bool letGo(xcb_keycode_t code, std::uint32_t sequence);
    // Whether a key held at its grab has not been let go yet.
    bool awaitsLetGo() const;
    // Forgets the presses of a registration (ungrabbed: its release may go elsewhere).
    void forget(HotKeyRegistration registration);

private:
    struct Held {
        HotKeyRegistration registration;
        bool announced;
        std::uint32_t grabSequence = 0;
    };
    std::map<xcb_keycode_t, Held> held_;
};

class X11HotKeys final : public HotKeys {
public:
    X11HotKeys(X11Connection& connection, X11KeyboardLayout& keyboard);
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    Expected<HotKeyRegistration, HotKeyRefusal> registerHotKey(std::int64_t carbonKeyCode,
                                                               std::int64_t carbonModifiers) override;
    void unregisterHotKey(HotKeyRegistration registration) override;
    bool isHeldByAnotherClient(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) override;
    Subscription onEvent(EventHandler handler) override { return events_.subscribe(std::move(handler)); }
    Subscription onLost(LostHandler handler) override { return lost_.subscribe(std::move(handler)); }

private:
    struct Grab {
        xcb_keycode_t keyCode = 0;
        std::uint16_t state = 0;
    };
    struct Entry {
        std::int64_t carbonKeyCode;
        std::int64_t carbonModifiers;
        Grab grab;
    };

    // The key code and core state of a combination on the current keyboard.
    Expected<Grab, HotKeyRefusal> grabFor(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) const;
    struct Taken {
        bool taken = false;
        // The key was down as the grab was taken, as the server answered request `sequence`.
        bool keyDown = false;
        std::uint32_t sequence = 0;
    };
    // Grabs every lock variant; on a refusal lets go of those taken.
    Taken grab(const Grab& grab);
    void ungrab(const Grab& grab, const std::vector<std::uint16_t>& variants);
    void handle(const xcb_generic_event_t& event);
    void handleRawRelease(const xcb_generic_event_t& event);
    void keyboardChanged();
    // Selects raw releases while a key held at its grab waits for its release, and no longer.
    void followHeldKeys();
    // The master keyboards, once; empty without XInput 2.1.
    const std::vector<std::uint16_t>& masterKeyboards();

    X11Connection& connection_;
    X11KeyboardLayout& keyboard_;
    std::vector<std::uint16_t> variants_;
    std::uint16_t lockBits_ = 0;
    std::map<HotKeyRegistration, Entry> entries_;
    HotKeyRegistration next_ = 0;
    X11HotKeyPresses presses_;
    int handlerID_ = 0;
    int rawHandlerID_ = 0;
    std::optional<std::vector<std::uint16_t>> masterKeyboards_;
    std::uint8_t inputOpcode_ = 0;
    bool followingReleases_ = false;
    Subscription keyboardChange_;
    Signal<HotKeyRegistration, HotKeyEventKind> events_;
    Signal<HotKeyRegistration, HotKeyRefusal> lost_;
};

}  // namespace tessary
