// The shortcut module over the real X11 hot keys and keyboard, against Xvfb and openbox: XTest
// presses the keys, the module's handlers count what fires.

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/CarbonModifiers.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/SimLocalEvents.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Platform/X11/X11GlobalInput.h"
#include "Platform/X11/X11HotKeys.h"
#include "Platform/X11/X11KeyboardLayout.h"
#include "tests/e2e/harness/DesktopTest.h"

#include <gtest/gtest.h>

namespace tessary::e2e {
namespace {

constexpr std::uint32_t kControlL = 0xffe3, kAltL = 0xffe9, kCapsLock = 0xffe5, kNumLock = 0xff7f;
constexpr std::uint32_t kLetterY = 0x79, kLetterZ = 0x7a;
constexpr std::int64_t kControlAlt = carbon::controlKey | carbon::optionKey;
const Shortcut kZ(Key::z, kControlAlt);

class HotKeysTest : public DesktopTest {
protected:
    void SetUp() override {}

    void start(VirtualDesktop::Options options = {}) {
        DesktopTest::start(std::move(options));
        keyboard = std::make_unique<X11KeyboardLayout>(platform->connection());
        hotKeys = std::make_unique<X11HotKeys>(platform->connection(), *keyboard);
        shortcuts = std::make_unique<GlobalShortcuts>(
            GlobalShortcuts::Dependencies{defaults, *hotKeys, *keyboard, localEvents, scheduler});
        shortcuts->onKeyDown(showZones, [this] { ++downs; });
        shortcuts->onKeyUp(showZones, [this] { ++ups; });
    }
    void TearDown() override {
        shortcuts.reset();
        hotKeys.reset();
        keyboard.reset();
        DesktopTest::TearDown();
    }

    // Ctrl+Alt+<key> as a hand types it, Ctrl let go before the key.
    void type(std::uint32_t keysym, std::chrono::milliseconds hold = 0ms) {
        desktop->pressKey(kControlL, true);
        desktop->pressKey(kAltL, true);
        desktop->pressKey(keysym, true);
        if (hold > 0ms) waitFor([] { return false; }, hold);
        desktop->pressKey(kControlL, false);
        desktop->pressKey(keysym, false);
        desktop->pressKey(kAltL, false);
    }
    // Waits for the counts, then settles: every event the presses caused has been handled.
    bool counted(int expectedDowns, int expectedUps) {
        waitFor([&] { return downs >= expectedDowns && ups >= expectedUps; });
        desktop->syncInput();
        platform->connection().eventMark();
        platform->processPendingEvents();
        return downs == expectedDowns && ups == expectedUps;
    }
    void toggle(std::uint32_t lockKey) {
        desktop->pressKey(lockKey, true);
        desktop->pressKey(lockKey, false);
    }

    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    MemoryUserDefaults defaults;
    SimLocalEvents localEvents;
    VirtualScheduler scheduler;
    std::unique_ptr<X11KeyboardLayout> keyboard;
    std::unique_ptr<X11HotKeys> hotKeys;
    std::unique_ptr<GlobalShortcuts> shortcuts;
    const GlobalShortcuts::Name showZones{"showZones", kZ};
    int downs = 0;
    int ups = 0;
};

TEST_F(HotKeysTest, FiresOncePerPressWhateverLocksAreOn) {
    start();
    ASSERT_TRUE(shortcuts->isActive(showZones));
    const struct {
        const char* name;
        std::vector<std::uint32_t> toggles;
    } cases[] = {
        {"no lock", {}},
        {"Caps Lock", {kCapsLock}},
        {"Caps Lock and Num Lock", {kNumLock}},
        {"Num Lock", {kCapsLock}},
    };
    int expected = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::uint32_t key : c.toggles) toggle(key);
        type(kLetterZ);
        ++expected;
        EXPECT_TRUE(counted(expected, expected)) << downs << " down, " << ups << " up";
    }
}

TEST_F(HotKeysTest, AHeldCombinationGivesOneDownAndOneUp) {
    start();
    const KeyRepeatTiming timing = keyboard->keyRepeat();
    EXPECT_GT(timing.delay.count(), 0);
    EXPECT_GT(timing.interval.count(), 0);
    // The server repeats the held key meanwhile.
    bool heldWhileDown = false;
    shortcuts->onKeyDown(showZones, [&] { heldWhileDown = keyboard->isKeyDown(Key::z.rawValue); });
    type(kLetterZ, 1200ms);
    EXPECT_TRUE(counted(1, 1)) << downs << " down, " << ups << " up";
    EXPECT_TRUE(heldWhileDown);
    EXPECT_FALSE(keyboard->isKeyDown(Key::z.rawValue));
}

TEST_F(HotKeysTest, WhilePausedNothingFiresAndTheKeyReachesTheFocusedWindow) {
    start();
    // A window of another client, focused, that hears key presses.
    xcb_connection_t* client = xcb_connect(desktop->display().c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(client));
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(client)).data;
    const xcb_window_t window = xcb_generate_id(client);
    // Left alone by the window manager, which would otherwise give the focus to a window of its
    // choosing a moment later (fluxbox on a busy machine), and the keys would go there.
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(client, XCB_COPY_FROM_PARENT, window, screen->root, 100, 100, 200, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(client, window);
    xcb_flush(client);
    int keyPresses = 0;
    bool mapped = false;
    auto pump = [&] {
        while (xcb_generic_event_t* event = xcb_poll_for_event(client)) {
            const int type = event->response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY) mapped = true;
            if (type == XCB_KEY_PRESS) ++keyPresses;
            std::free(event);
        }
    };
    ASSERT_TRUE(waitFor([&] { pump(); return mapped; }));
    xcb_set_input_focus(client, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(client, xcb_get_input_focus(client), nullptr));

    // The keys come on another connection: a round trip on ours first, so that the server has
    // taken the ungrab (and the grab again) before they are typed, as a person's hand is slower.
    auto serverHasIt = [&] {
        xcb_connection_t* c = platform->connection().xcb();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    };
    shortcuts->setPaused(true);
    serverHasIt();
    type(kLetterZ);
    EXPECT_TRUE(waitFor([&] { pump(); return keyPresses >= 3; })) << "Ctrl, Alt and Z reach the window";
    EXPECT_TRUE(counted(0, 0));

    shortcuts->setPaused(false);
    serverHasIt();
    type(kLetterZ);
    EXPECT_TRUE(counted(1, 1));
    pump();
    EXPECT_EQ(keyPresses, 5) << "only Ctrl and Alt reach the window once the combination is grabbed";
    xcb_disconnect(client);
}

TEST_F(HotKeysTest, ACombinationTheWindowManagerHoldsIsRefusedLoggedAndProbed) {
    if (WindowManager::current().name != "openbox") {
        GTEST_SKIP() << "only openbox is given key bindings here";
    }
    start({.stockKeyBindings = true});
    const GlobalShortcuts::Name nextZone("nextZone", Shortcut(Key::rightArrow, kControlAlt));
    shortcuts->onKeyDown(nextZone, [] {});
    EXPECT_FALSE(shortcuts->isActive(nextZone));
    EXPECT_EQ(sink.messages("GlobalShortcuts"),
              std::vector<std::string>{
                  "“nextZone” (Ctrl+Alt+Right) is not active: another program holds the combination"});
    EXPECT_EQ(shortcuts->getShortcut(nextZone), Shortcut(Key::rightArrow, kControlAlt));

    EXPECT_TRUE(shortcuts->isTakenBySystem(Shortcut(Key::rightArrow, kControlAlt)));
    EXPECT_FALSE(shortcuts->isTakenBySystem(kZ)) << "our own grab is not taken";
    EXPECT_FALSE(shortcuts->isTakenBySystem(Shortcut(Key::upArrow, kControlAlt)));
    type(kLetterZ);
    EXPECT_TRUE(counted(1, 1)) << "the probe left our grab in place";
}

TEST_F(HotKeysTest, KeyNamesAndGrabsFollowALayoutSwitch) {
    start();
    EXPECT_EQ(shortcuts->description(kZ), "Ctrl+Alt+Z");
    EXPECT_EQ(shortcuts->description(Shortcut(Key::backtick, kControlAlt)), "Ctrl+Alt+`");
    ASSERT_TRUE(desktop->run({"setxkbmap", "de"}, Clock::now() + 10s));
    EXPECT_TRUE(waitFor([&] { return shortcuts->description(kZ) == "Ctrl+Alt+Y"; }))
        << shortcuts->description(kZ);
    EXPECT_EQ(shortcuts->description(Shortcut(Key::backtick, kControlAlt)), "Ctrl+Alt+\uFFFD") << "a dead circumflex";
    // The key that types y in German is the one the shortcut was recorded on.
    type(kLetterY);
    EXPECT_TRUE(counted(1, 1));
    EXPECT_TRUE(shortcuts->isActive(showZones));
}

TEST_F(HotKeysTest, TheGlobalInputFollowsALayoutSwitchOnTheSameConnection) {
    start();
    // The keyboard layout initialised XKB on this connection: no core MappingNotify comes.
    X11GlobalInput input(platform->connection());
    std::vector<GlobalModifierKeys> changes;
    Subscription monitor = input.addMonitor([&](const GlobalInputEvent& event) {
        if (event.kind == GlobalInputKind::modifiersChanged) changes.push_back(event.modifiers);
    });
    ASSERT_TRUE(monitor.isActive());
    int keyboardChanges = 0;
    Subscription changed = keyboard->onChange([&] { ++keyboardChanges; });
    // The Menu key becomes a Control key (and Right Ctrl an Alt, so that Control_R names only it).
    ASSERT_TRUE(desktop->run({"setxkbmap", "-option", "ctrl:menu_rctrl", "-option", "ctrl:rctrl_ralt"},
                             Clock::now() + 10s));
    ASSERT_TRUE(waitFor([&] { return keyboardChanges > 0; }));
    desktop->pressKey(0xffe4, true);  // Control_R, on the Menu key now
    EXPECT_TRUE(waitFor([&] { return !changes.empty(); }));
    desktop->pressKey(0xffe4, false);
    ASSERT_FALSE(changes.empty());
    EXPECT_TRUE(changes.front().control);
}

}  // namespace
}  // namespace tessary::e2e
