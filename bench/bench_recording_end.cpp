// The end of a recording on the real desktop (Xvfb and openbox): a recorder lifts the pause and the
// shortcut module takes back every hot key of the program's eighteen defaults, each grab with the
// keyboard's state read alongside (a key held since the recording must not fire), and tries the
// refused names again. Tab between two recorders costs one of these. Beside it the reference: the
// same eighteen combinations let go and grabbed again with bare GrabKey requests, each checked.

#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

#include <memory>
#include <vector>

#include "Platform/CarbonModifiers.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "bench/KeyboardDesk.h"

namespace {

using namespace tessary;

// No window: nothing here moves one.
struct Desk : bench::KeyboardDesk {
    Desk() : KeyboardDesk(false) {}
};

void BM_RecordingEndTakesBackEveryHotKey(benchmark::State& state) {
    Desk desk;
    GlobalShortcuts& shortcuts = desk.keys->shortcuts;
    for (const auto& name : ShortcutNames::paneShortcutNames()) {
        if (!shortcuts.isActive(name)) {
            state.SkipWithError("a default is not registered");
            return;
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        shortcuts.setPaused(true);
        desk.platform->connection().flush();
        state.ResumeTiming();
        shortcuts.setPaused(false);
    }
    state.counters["hot keys"] = double(ShortcutNames::paneShortcutNames().size());
}
BENCHMARK(BM_RecordingEndTakesBackEveryHotKey)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);

// The reference: the eighteen combinations, in every lock variant, grabbed with checked GrabKey
// requests (sent all, then checked), after an untimed UngrabKey of each.
void BM_BareGrabKeysReference(benchmark::State& state) {
    Desk desk;
    desk.keys.reset();  // the module lets go of its grabs
    X11KeyboardLayout keyboard(desk.platform->connection());
    xcb_connection_t* c = desk.platform->connection().xcb();
    const xcb_window_t root = desk.platform->connection().root();
    struct Grab {
        xcb_keycode_t code;
        std::uint16_t state;
    };
    std::vector<Grab> grabs;
    for (const auto& name : ShortcutNames::paneShortcutNames()) {
        const Shortcut shortcut = *name.initialShortcut;
        const auto code = keyboard.keyCode(shortcut.carbonKeyCode);
        const auto core = coreStateFromCarbonModifiers(shortcut.carbonModifiers, keyboard.modifierBits());
        if (!code || !core) {
            state.SkipWithError("a default cannot be typed");
            return;
        }
        grabs.push_back({*code, *core});
    }
    const std::vector<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};
    for (auto _ : state) {
        state.PauseTiming();
        for (const Grab& grab : grabs) {
            for (std::uint16_t variant : variants) xcb_ungrab_key(c, grab.code, root, grab.state | variant);
        }
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        state.ResumeTiming();
        for (const Grab& grab : grabs) {
            std::vector<xcb_void_cookie_t> cookies;
            for (std::uint16_t variant : variants) {
                cookies.push_back(xcb_grab_key_checked(c, 1, root, grab.state | variant, grab.code, XCB_GRAB_MODE_ASYNC,
                                                       XCB_GRAB_MODE_ASYNC));
            }
            for (xcb_void_cookie_t cookie : cookies) std::free(xcb_request_check(c, cookie));
        }
    }
}
BENCHMARK(BM_BareGrabKeysReference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);

}  // namespace
