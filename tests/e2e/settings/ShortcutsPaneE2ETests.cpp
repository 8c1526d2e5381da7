// The Shortcuts pane of the real program as a user meets it: typed through XTest as a keyboard types
// (each modifier's own press first), read back from the X server (pixels, window frames) and from
// the program's test-only query, beside the window manager the run names.

#include <gtest/gtest.h>

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <map>
#include <set>
#include <sstream>

#include "Platform/X11/X11KeyboardLayout.h"
#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/StandInTrayHost.h"
#include "tests/e2e/settings/SettingsDesktop.h"

#ifndef TESSARY_FAKE_TRAY_WATCHER
#error "TESSARY_FAKE_TRAY_WATCHER must name the stand-in tray host"
#endif

namespace tessary::e2e {
namespace {

constexpr uint32_t kControlL = XK_Control_L, kAltL = XK_Alt_L, kShiftL = XK_Shift_L;
constexpr std::uint16_t kControl = XCB_MOD_MASK_CONTROL, kAlt = XCB_MOD_MASK_1, kSuper = XCB_MOD_MASK_4;
const std::string kHeld = "Held by another program, such as the window manager. Record another combination.";

// Presses the keys in order and lets them go in reverse, as a hand on a keyboard does.
void typeKeys(VirtualDesktop& desktop, const std::vector<uint32_t>& keys) {
    for (uint32_t key : keys) desktop.pressKey(key, true);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) desktop.pressKey(*key, false);
    desktop.syncInput();
}

// The program's eighteen defaults, in the pane's order, as keys and core modifiers.
struct Default {
    std::string name;
    uint32_t keysym;
    std::uint16_t modifiers;
};
const std::vector<Default>& defaults() {
    static const std::vector<Default> list = [] {
        std::vector<Default> all;
        for (int zone = 1; zone <= 9; ++zone) {
            all.push_back({"snapToZone" + std::to_string(zone), uint32_t('0' + zone), kControl | kAlt});
        }
        const std::uint16_t withSuper = kControl | kAlt | kSuper;
        all.insert(all.end(), {{"nextZone", XK_Right, kControl | kAlt},
                               {"previousZone", XK_Left, kControl | kAlt},
                               {"nextDisplay", XK_Right, withSuper},
                               {"previousDisplay", XK_Left, withSuper},
                               {"nextLayout", XK_Down, withSuper},
                               {"previousLayout", XK_Up, withSuper},
                               {"showZones", 'z', kControl | kAlt},
                               {"restoreAllWindows", 'r', kControl | kAlt},
                               {"openEditor", XK_grave, kControl | kAlt}});
        return all;
    }();
    return list;
}

class ShortcutsPaneTest : public SettingsDesktopTest {
protected:
    bool isRecording(const std::string& field) { return ask({"placeholder", field}) == "Press Shortcut"; }

    // Clicks a recorder's field (the line under it, which says why a shortcut does not work, is
    // not the field) and waits until it records.
    void record(const std::string& field) {
        const auto rect = controlRect(field, 10s, "field");
        ASSERT_TRUE(rect) << "no field " << field;
        clickAt(int(rect->midX()), int(rect->midY()));
        ASSERT_TRUE(waitFor([&] { return isRecording(field); }, 10s)) << field << " does not record";
    }

    // The settings window once it has the focus; none when it does not get it.
    std::optional<xcb_window_t> focusedSettings() {
        std::optional<xcb_window_t> settings;
        const bool focused = waitFor([&] {
            settings = platform->windows().activeWindow();
            return settings && platform->windows().processID(*settings) == instance.pid();
        }, 10s);
        return focused ? settings : std::nullopt;
    }

    // The key code that types the keysym, as the harness presses it.
    xcb_keycode_t keyCodeOf(uint32_t keysym) {
        xcb_connection_t* c = platform->connection().xcb();
        const xcb_setup_t* setup = xcb_get_setup(c);
        auto* mapping = xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, setup->min_keycode, setup->max_keycode - setup->min_keycode + 1), nullptr);
        xcb_keycode_t found = 0;
        if (!mapping) return found;
        const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
        for (int code = setup->min_keycode; code <= setup->max_keycode && !found; ++code) {
            for (int i = 0; i < mapping->keysyms_per_keycode; ++i) {
                if (symbols[(code - setup->min_keycode) * mapping->keysyms_per_keycode + i] == keysym) found = code;
            }
        }
        std::free(mapping);
        return found;
    }

    // Whether some client holds the combination now: the grab another program would meet.
    bool heldNow(uint32_t keysym, std::uint16_t modifiers) {
        xcb_connection_t* c = xcb_connect(desktop->display().c_str(), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const xcb_keycode_t code = keyCodeOf(keysym);
        xcb_generic_error_t* error = xcb_request_check(
            c, xcb_grab_key_checked(c, 1, root, modifiers, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        const bool held = error != nullptr;
        std::free(error);
        xcb_disconnect(c);
        return held;
    }

    // What the screen shows of a recorder's field, as columns that hold ink between its two ends;
    // empty when it cannot be read.
    std::optional<std::vector<bool>> inkColumns(const std::string& field) {
        const auto rect = controlRect(field, 10s, "field");
        if (!rect) return std::nullopt;
        xcb_connection_t* c = platform->connection().xcb();
        const int width = int(rect->width()), height = int(rect->height());
        auto* image = xcb_get_image_reply(c,
                                          xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, platform->connection().root(),
                                                        std::int16_t(rect->minX()), std::int16_t(rect->minY()),
                                                        std::uint16_t(width), std::uint16_t(height), ~0u),
                                          nullptr);
        if (!image || xcb_get_image_data_length(image) < width * height * 4) {
            std::free(image);
            return std::nullopt;
        }
        const std::uint8_t* pixels = xcb_get_image_data(image);
        auto lightness = [&](int x, int y) {
            const std::uint8_t* p = pixels + (y * width + x) * 4;
            return (int(p[0]) + int(p[1]) + int(p[2])) / 3;
        };
        // The field's own colour: what most of its middle row is.
        std::map<int, int> counts;
        for (int x = 0; x < width; ++x) ++counts[lightness(x, height / 2)];
        int base = 0;
        for (const auto& [value, count] : counts) {
            if (count > counts[base]) base = value;
        }
        std::vector<bool> columns;
        for (int x = 5; x < width - 5; ++x) {
            bool ink = false;
            for (int y = 4; y < height - 4 && !ink; ++y) ink = std::abs(lightness(x, y) - base) > 60;
            columns.push_back(ink);
        }
        std::free(image);
        return columns;
    }

    static int count(const std::vector<bool>& columns) { return int(std::count(columns.begin(), columns.end(), true)); }
};

// Beside openbox and icewm with their own desktop keys: the fields of the defaults another program
// holds say so, the tray menu shows no combination for them, and a free combination recorded in
// one of them clears its mark.
class HeldShortcutsTest : public ShortcutsPaneTest {
protected:
    VirtualDesktop::Options desktopOptions() const override {
        VirtualDesktop::Options options;
        options.stockKeyBindings = true;
        return options;
    }
    void SetUp() override {
        const std::string manager = WindowManager::current().name;
        if (manager != "openbox" && manager != "icewm") GTEST_SKIP() << "only openbox and icewm are given their keys";
        ShortcutsPaneTest::SetUp();
    }

    // Starts the instance with its log read, up to the line that says its services run; the lines
    // that tell the user something (the delegate's notices).
    std::vector<std::string> startReadInstance() {
        ChildProcess::Options options = programOptions({});
        options.arguments.insert(options.arguments.begin(), {"sh", "-c", "exec \"$0\" \"$@\" 2>&1"});
        options.pipeStdout = true;
        instance = ChildProcess::start(options);
        std::vector<std::string> told;
        const auto deadline = Clock::now() + 20s;
        while (auto line = instance.readLine(deadline)) {
            if (*line == activeLine) break;
            if (line->find("do not work") != std::string::npos || line->find("does not work") != std::string::npos) {
                told.push_back(*line);
            }
        }
        EXPECT_TRUE(waitFor([&] { return std::filesystem::exists(socket()); }, 20s)) << "the instance never answered";
        return told;
    }
};

TEST_F(HeldShortcutsTest, TheirFieldsSayItTheTrayMenuLeavesThemOutAndAFreeRecordingClearsIt) {
    writeDragLayouts(desktop->dataHome());
    // What the window manager holds, asked before the program runs, once it has taken its keys
    // (icewm takes them a moment after it manages the screen).
    ASSERT_TRUE(waitFor([&] { return heldNow(XK_Right, kControl | kAlt) && heldNow(XK_Left, kControl | kAlt); }, 10s))
        << "the window manager holds no desktop keys";
    std::set<std::string> held;
    for (const Default& d : defaults()) {
        if (heldNow(d.keysym, d.modifiers)) held.insert(d.name);
    }

    // A tray host on a session bus of the test's own, whose menu the test reads as a host does.
    StandInTrayHost host(TESSARY_FAKE_TRAY_WATCHER);
    ASSERT_TRUE(host.ready()) << "no session bus or no stand-in host";
    extraEnvironment = {host.busVariable};
    // The start says which defaults another program holds, and where to choose others.
    // Six are named (the pane shows them all), the rest counted.
    auto namesEach = [](const std::string& line, const std::set<std::string>& names) {
        const std::map<std::string, std::string> texts{{"nextZone", "Ctrl+Alt+Right (Next zone)"},
                                                       {"previousZone", "Ctrl+Alt+Left (Previous zone)"},
                                                       {"snapToZone1", "Ctrl+Alt+1 (Zone 1)"}};
        std::string missing;
        for (const auto& [name, text] : texts) {
            if (names.count(name) && names.size() <= 6 && line.find(text) == std::string::npos) missing += text + " ";
            if (!names.count(name) && line.find(text) != std::string::npos) missing += "not " + text + " ";
        }
        const std::string more = " and " + std::to_string(names.size() - 6) + " more.";
        if (names.size() > 6 && line.find(more) == std::string::npos) missing += more;
        if (line.find("Another program, such as the window manager, holds ") == std::string::npos ||
            line.find("Record other combinations in Settings, Shortcuts.") == std::string::npos) {
            missing += "the sentence";
        }
        return missing;
    };
    const std::vector<std::string> told = startReadInstance();
    ASSERT_EQ(told.size(), 1u) << ::testing::PrintToString(told);
    EXPECT_EQ(namesEach(told[0], held), "") << told[0];
    ASSERT_TRUE(host.awaitItem(20s)) << "no tray item registered";

    ASSERT_TRUE(ask({"open", "shortcuts"}).empty() && paneIs("Shortcuts"));
    for (const Default& d : defaults()) {
        SCOPED_TRACE(d.name);
        const std::string field = "shortcut." + d.name;
        EXPECT_TRUE(waitFor([&] { return ask({"description", field}) == (held.count(d.name) ? kHeld : ""); }, 10s))
            << ask({"description", field});
    }

    std::string layout;
    ASSERT_TRUE(waitFor([&] { return (layout = host.menuLayout()).find("'Zone 4") != std::string::npos; }, 10s))
        << layout;
    const std::vector<std::pair<std::string, std::string>> items{
        {"snapToZone1", "Zone 1\\tCtrl+Alt+1"}, {"snapToZone2", "Zone 2\\tCtrl+Alt+2"},
        {"snapToZone3", "Zone 3\\tCtrl+Alt+3"}, {"snapToZone4", "Zone 4\\tCtrl+Alt+4"},
        {"showZones", "Show Zones\\tCtrl+Alt+Z"}, {"restoreAllWindows", "Restore Windows to Zones\\tCtrl+Alt+R"},
        {"openEditor", "Edit Layouts…\\tCtrl+Alt+`"},
    };
    for (const auto& [name, labelled] : items) {
        SCOPED_TRACE(name);
        const std::string plain = labelled.substr(0, labelled.find("\\t"));
        const std::string shown = held.count(name) ? plain : labelled;
        EXPECT_NE(layout.find("'label': <'" + shown + "'>"), std::string::npos) << layout;
    }

    record("shortcut.nextZone");
    typeKeys(*desktop, {kControlL, kShiftL, XK_F9});
    EXPECT_TRUE(waitFor([&] { return ask({"value", "shortcut.nextZone"}) == "Ctrl+Shift+F9"; }, 10s));
    EXPECT_TRUE(waitFor([&] { return ask({"description", "shortcut.nextZone"}).empty(); }, 10s))
        << "a free combination still marked";
    EXPECT_EQ(ask({"description", "shortcut.previousZone"}), kHeld);

    // The next start tells of what is still held, the next zone no longer.
    stopInstance();
    held.erase("nextZone");
    const std::vector<std::string> toldAgain = startReadInstance();
    ASSERT_EQ(toldAgain.size(), 1u) << ::testing::PrintToString(toldAgain);
    EXPECT_EQ(namesEach(toldAgain[0], held), "") << toldAgain[0];
}

// Recording, an empty field says "Press Shortcut" on the screen, with no caret that blinks; Tab goes
// on to the next recorder and Shift+Tab back, each recording in turn.
TEST_F(ShortcutsPaneTest, AnEmptyRecordingFieldSaysPressShortcutAndTabWalksTheRecorders) {
    startInstance();
    ASSERT_TRUE(ask({"open", "shortcuts"}).empty() && paneIs("Shortcuts"));
    const std::string zone5 = "shortcut.snapToZone5", zone6 = "shortcut.snapToZone6";
    record(zone5);
    typeKeys(*desktop, {XK_BackSpace});
    ASSERT_TRUE(waitFor([&] { return ask({"value", zone5}) == "Press Shortcut"; }, 10s)) << ask({"value", zone5});
    ASSERT_TRUE(isRecording(zone5)) << "cleared, it records the replacement";

    std::vector<std::vector<bool>> frames;
    for (int i = 0; i < 6; ++i) {
        waitFor([] { return false; }, 250ms);
        auto columns = inkColumns(zone5);
        ASSERT_TRUE(columns) << "the field cannot be read from the screen";
        frames.push_back(*columns);
    }
    EXPECT_GT(count(frames.front()), 40) << "the prompt is not on the screen (a caret alone is a column or two)";
    for (const auto& frame : frames) EXPECT_EQ(frame, frames.front()) << "something blinks";

    typeKeys(*desktop, {XK_Tab});
    EXPECT_TRUE(waitFor([&] { return ask({"focus"}) == zone6; }, 10s)) << ask({"focus"});
    EXPECT_TRUE(waitFor([&] { return isRecording(zone6) && !isRecording(zone5); }, 10s));
    typeKeys(*desktop, {kShiftL, XK_Tab});
    EXPECT_TRUE(waitFor([&] { return ask({"focus"}) == zone5; }, 10s)) << ask({"focus"});
    EXPECT_TRUE(waitFor([&] { return isRecording(zone5); }, 10s));
    EXPECT_EQ(ask({"value", zone6}), "Ctrl+Alt+6") << "walking through records nothing";
}

// The new shortcut, held past the key-repeat delay as it is recorded, must not act: the focused
// window (the settings window itself) stays where it is until the keys are pressed anew. The end of
// the recording's keyboard grab leaves the window the active one (kwin took it for inactive).
TEST_F(ShortcutsPaneTest, ANewShortcutHeldWhileItIsRecordedMovesNothing) {
    writeDragLayouts(desktop->dataHome());
    startInstance();
    ASSERT_TRUE(ask({"open", "shortcuts"}).empty() && paneIs("Shortcuts"));
    const std::optional<xcb_window_t> settings = focusedSettings();
    ASSERT_TRUE(settings) << "the settings window does not have the focus";
    const Rect before = frame(*settings);
    const std::string zone1 = "shortcut.snapToZone1";
    record(zone1);
    desktop->pressKey(kControlL, true);
    desktop->pressKey(kAltL, true);
    desktop->pressKey('h', true);
    waitFor([] { return false; }, 1500ms);
    desktop->pressKey(kControlL, false);
    desktop->pressKey('h', false);
    desktop->pressKey(kAltL, false);
    desktop->syncInput();
    EXPECT_TRUE(waitFor([&] { return ask({"value", zone1}) == "Ctrl+Alt+H"; }, 10s)) << ask({"value", zone1});
    EXPECT_TRUE(waitFor([&] { return platform->windows().activeWindow() == settings; }, 5s))
        << "recorded, the settings window is no longer the active one";
    EXPECT_FALSE(waitFor([&] { return frame(*settings) != before; }, 1500ms))
        << "the window moved to " << frame(*settings) << " from " << before;

    typeKeys(*desktop, {kControlL, kAltL, 'h'});
    EXPECT_TRUE(waitFor([&] { return frame(*settings) != before; }, 10s)) << "pressed anew, the shortcut does nothing";
}

// Another client holds Ctrl+Shift+F8 while the user records it for zone 1 and uses it anyway: the
// field says it is held. Once that client ends, the program takes the combination up by itself,
// within seconds and with the pane left open (opening it again also looks), and the keys snap the
// focused window, the settings window, into zone 1.
TEST_F(ShortcutsPaneTest, AShortcutAnotherClientHeldIsTakenUpByItselfOnceThatClientEnds) {
    writeDragLayouts(desktop->dataHome());
    xcb_connection_t* other = xcb_connect(desktop->display().c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_generic_error_t* refused = xcb_request_check(
        other, xcb_grab_key_checked(other, 1, root, kControl | XCB_MOD_MASK_SHIFT, keyCodeOf(XK_F8),
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    ASSERT_EQ(refused, nullptr) << "the other client could not take the combination";

    startInstance();
    ASSERT_TRUE(ask({"open", "shortcuts"}).empty() && paneIs("Shortcuts"));
    const std::optional<xcb_window_t> settings = focusedSettings();
    ASSERT_TRUE(settings) << "the settings window does not have the focus";
    const std::string zone1 = "shortcut.snapToZone1";
    record(zone1);
    typeKeys(*desktop, {kControlL, kShiftL, XK_F8});
    ASSERT_TRUE(waitFor([&] {
        return ask({"alert"}).find("already used by another program") != std::string::npos;
    }, 10s)) << ask({"alert"});
    click("button:Use Anyway");
    ASSERT_TRUE(waitFor([&] { return ask({"value", zone1}) == "Ctrl+Shift+F8"; }, 10s)) << ask({"value", zone1});
    ASSERT_TRUE(waitFor([&] { return ask({"description", zone1}) == kHeld; }, 10s)) << ask({"description", zone1});
    ASSERT_TRUE(waitFor([&] { return platform->windows().activeWindow() == settings; }, 10s));
    const Rect before = frame(*settings);

    xcb_disconnect(other);
    EXPECT_TRUE(waitFor([&] { return ask({"description", zone1}).empty(); }, 10s))
        << "still marked held: " << ask({"description", zone1});
    typeKeys(*desktop, {kControlL, kShiftL, XK_F8});
    EXPECT_TRUE(waitFor([&] { return frame(*settings) != before; }, 10s)) << "the shortcut does nothing";
}

// Keys named in words every font has, keys of PC keyboards the Carbon table leaves out, and a
// combination that another of the program's shortcuts has, moved with "Use Here".
constexpr std::int64_t kCarbonMute = 74;

TEST_F(ShortcutsPaneTest, KeypadMediaAndPrintKeysRecordUnderReadableNames) {
    startInstance();
    ASSERT_TRUE(ask({"open", "shortcuts"}).empty() && paneIs("Shortcuts"));
    const struct {
        std::string field;
        std::vector<uint32_t> keys;
        std::string shown;
    } cases[] = {
        {"shortcut.snapToZone2", {kControlL, kShiftL, XK_KP_2}, "Ctrl+Shift+Num 2"},
        {"shortcut.snapToZone3", {kControlL, kShiftL, XF86XK_AudioMute}, "Ctrl+Shift+Mute"},
        {"shortcut.snapToZone4", {kControlL, XK_Print}, "Ctrl+Print"},
        {"shortcut.snapToZone7", {kControlL, kShiftL, XK_Pause}, "Ctrl+Shift+Pause"},
        {"shortcut.snapToZone9", {kControlL, kShiftL, XK_Scroll_Lock}, "Ctrl+Shift+Scroll Lock"},
        {"shortcut.showZones", {kControlL, kShiftL, XK_Menu}, "Ctrl+Shift+Menu"},
    };
    // A key is stored by its place on the keyboard. Xorg started without input devices keeps the
    // older key codes, whose Mute symbol sits on a key the keymap does not name MUTE: there no
    // Mute key can be typed.
    const X11KeyboardLayout layout(platform->connection());
    const bool muteIsTypable = layout.keyCode(kCarbonMute) == desktop->keyCode(XF86XK_AudioMute);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        if (c.keys.back() == XF86XK_AudioMute && !muteIsTypable) continue;
        record(c.field);
        typeKeys(*desktop, c.keys);
        EXPECT_TRUE(waitFor([&] { return ask({"value", c.field}) == c.shown; }, 10s)) << ask({"value", c.field});
        EXPECT_TRUE(waitFor([&] { return !isRecording(c.field); }, 10s)) << "still recording";
    }

    record("shortcut.snapToZone1");
    typeKeys(*desktop, {kControlL, kAltL, '8'});
    EXPECT_TRUE(waitFor([&] {
        return ask({"alert"}) == "Tessary: Tessary already uses this shortcut for “Zone 8”.";
    }, 10s)) << ask({"alert"});
    click("button:Use Here");
    EXPECT_TRUE(waitFor([&] { return ask({"value", "shortcut.snapToZone1"}) == "Ctrl+Alt+8"; }, 10s));
    EXPECT_EQ(ask({"value", "shortcut.snapToZone8"}), "Record Shortcut") << "the other field is cleared";
}

}  // namespace
}  // namespace tessary::e2e
