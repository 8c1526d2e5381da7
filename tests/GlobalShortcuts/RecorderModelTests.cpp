#include <gtest/gtest.h>

#include "GlobalShortcuts/RecorderModel.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

constexpr std::uint32_t kF1Symbol = 0xffbe, kTabSymbol = 0xff09, kBackSpace = 0xff08;
const Shortcut kNext(Key::rightArrow, kControlAlt);

// A recorder in a widget at (100, 100, 130, 24) whose focus drives the recording, as the widget's
// does; everything it is asked to do is one line.
struct RecorderWorld : ShortcutsWorld {
    explicit RecorderWorld(GlobalShortcuts::Name name = GlobalShortcuts::Name("nextZone", kNext)) {
        recorder = std::make_unique<RecorderModel>(*shortcuts, name, [this](std::optional<Shortcut> s) {
            changes.push_back(s ? shortcuts->description(*s) : "none");
        });
        wire(*recorder);
        recorder->startRecording();
    }
    void wire(RecorderModel& model) {
        model.view.beep = [this] { lines.push_back("beep"); };
        model.view.runAlert = [this](const RecorderModel::Alert& alert) {
            std::string line = "alert: " + alert.message;
            for (const auto& button : alert.buttons) line += " [" + button + "]";
            lines.push_back(line);
            return answer;
        };
        model.view.resignFocus = [this, &model] {
            lines.push_back("focus out");
            model.endRecording();
        };
        model.view.takeFocus = [this, &model] {
            lines.push_back("focus in");
            model.startRecording();
        };
        model.view.globalBounds = [] { return Rect(100, 100, 130, 24); };
        // As the widget: the focus leaves (the next recorder takes it and records).
        model.view.moveFocus = [this, &model](bool forward) {
            lines.push_back(forward ? "focus next" : "focus back");
            model.endRecording();
        };
    }
    // A key press with the keysym it types.
    static LocalEvent press(std::int64_t code, std::int64_t modifiers, std::uint32_t symbol = 0) {
        LocalEvent event = key(LocalEventType::keyDown, code, modifiers);
        event.keySymbol = symbol;
        return event;
    }
    // A key the keyboard table has no Carbon code for.
    static LocalEvent unknownKey(std::uint32_t symbol) {
        LocalEvent event;
        event.nativeKeyCode = 199;
        event.keySymbol = symbol;
        return event;
    }
    static LocalEvent click(double x, double y) {
        LocalEvent event;
        event.type = LocalEventType::leftMouseUp;
        event.location = Point{x, y};
        return event;
    }

    std::unique_ptr<RecorderModel> recorder;
    std::vector<std::string> lines;
    std::vector<std::string> changes;
    int answer = 0;
};

TEST(RecorderModel, WhatEachPressWhileRecordingDoes) {
    const std::string taken = recorderText("keyboard_shortcut_used_by_system");
    const struct {
        const char* name;
        std::function<void(RecorderWorld&)> setUp;
        LocalEvent event;
        bool passedOn;
        std::vector<std::string> lines;
        std::vector<std::string> changes;
        std::string stored;
        bool recording;
    } cases[] = {
        {"A alone beeps and keeps recording", {}, RecorderWorld::press(Key::a.rawValue, 0, 'a'), false, {"beep"}, {},
         "Ctrl+Alt+Right", true},
        {"F5 alone records", {}, RecorderWorld::press(96, 0, kF1Symbol + 4), false, {"focus out"}, {"F5"}, "F5", false},
        {"Shift+F5 records with Shift", {}, RecorderWorld::press(96, carbon::shiftKey, kF1Symbol + 4), false,
         {"focus out"}, {"Shift+F5"}, "Shift+F5", false},
        {"F21 has no code to store: a message says so, recording resumes", {},
         RecorderWorld::unknownKey(kF1Symbol + 20), false,
         {"focus out", "alert: " + recorderText("key_not_recordable"), "focus in"}, {}, "Ctrl+Alt+Right", true},
        {"Tab moves on to the next recorder", {}, RecorderWorld::press(Key::tab.rawValue, 0, kTabSymbol), false,
         {"focus next"}, {}, "Ctrl+Alt+Right", false},
        {"Shift+Tab goes back", {}, RecorderWorld::press(Key::tab.rawValue, carbon::shiftKey, 0xfe20), false,
         {"focus back"}, {}, "Ctrl+Alt+Right", false},
        {"Ctrl+Tab is a candidate", {}, RecorderWorld::press(Key::tab.rawValue, carbon::controlKey, kTabSymbol), false,
         {"focus out"}, {"Ctrl+Tab"}, "Ctrl+Tab", false},
        {"Escape ends and keeps the shortcut", {}, RecorderWorld::press(Key::escape.rawValue, 0), false, {"focus out"},
         {}, "Ctrl+Alt+Right", false},
        {"Ctrl+Escape is a candidate", {}, RecorderWorld::press(Key::escape.rawValue, carbon::controlKey), false,
         {"focus out"}, {"Ctrl+Esc"}, "Ctrl+Esc", false},
        {"Delete with a shortcut shown clears it and keeps recording", {},
         RecorderWorld::press(Key::delete_.rawValue, 0, kBackSpace), false, {}, {"none"}, "false", true},
        {"Delete with nothing shown does nothing",
         [](RecorderWorld& w) { w.shortcuts->setShortcut(std::nullopt, w.recorder->shortcutName()); },
         RecorderWorld::press(Key::delete_.rawValue, 0, kBackSpace), false, {}, {}, "false", true},
        {"a click 2 pixels outside keeps recording", {}, RecorderWorld::click(232, 110), true, {}, {},
         "Ctrl+Alt+Right", true},
        {"a click 4 pixels outside ends it and goes on", {}, RecorderWorld::click(234, 110), true, {"focus out"}, {},
         "Ctrl+Alt+Right", false},
        {"a menu item's shortcut: one button, recording resumes",
         [](RecorderWorld& w) {
             w.recorder->menuItemUsing = [](const Shortcut& s) -> std::optional<std::string> {
                 if (s == Shortcut(Key::q, carbon::controlKey)) return "Quit";
                 return std::nullopt;
             };
         },
         RecorderWorld::press(Key::q.rawValue, carbon::controlKey), false,
         {"focus out", "alert: This shortcut cannot be used because the menu item “Quit” uses it.", "focus in"}, {},
         "Ctrl+Alt+Right", true},
        {"the held shortcut again skips the menu check",
         [](RecorderWorld& w) { w.recorder->menuItemUsing = [](const Shortcut&) { return std::optional<std::string>("Any"); }; },
         RecorderWorld::press(Key::rightArrow.rawValue, kControlAlt), false, {"focus out"}, {"Ctrl+Alt+Right"},
         "Ctrl+Alt+Right", false},
        {"a taken combination: two buttons, OK keeps recording",
         [](RecorderWorld& w) { w.hotKeys.takenByOthers.insert({Key::k.rawValue, kControlAlt}); },
         RecorderWorld::press(Key::k.rawValue, kControlAlt), false,
         {"focus out", "alert: " + taken + " [OK] [Use Anyway]", "focus in"}, {}, "Ctrl+Alt+Right", true},
        {"a taken combination forced",
         [](RecorderWorld& w) {
             w.hotKeys.takenByOthers.insert({Key::k.rawValue, kControlAlt});
             w.answer = 1;
         },
         RecorderWorld::press(Key::k.rawValue, kControlAlt), false,
         {"focus out", "alert: " + taken + " [OK] [Use Anyway]", "focus in", "focus out"}, {"Ctrl+Alt+K"},
         "Ctrl+Alt+K", false},
        {"F12 alone is never taken", [](RecorderWorld& w) { w.hotKeys.takenByOthers.insert({Key::f12.rawValue, 0}); },
         RecorderWorld::press(Key::f12.rawValue, 0, kF1Symbol + 11), false, {"focus out"}, {"F12"}, "F12", false},
        {"the owner's veto",
         [](RecorderWorld& w) {
             w.recorder->validateShortcut = [](const Shortcut&) { return ValidationResult::disallow("Not this one."); };
         },
         RecorderWorld::press(Key::k.rawValue, kControlAlt), false, {"focus out", "alert: Not this one.", "focus in"},
         {}, "Ctrl+Alt+Right", true},
        {"Alt+K on 15.1 in a sandbox",
         [](RecorderWorld& w) {
             w.shortcuts->operatingSystemVersion = [] { return OperatingSystemVersion{true, 15, 1, 0}; };
             w.shortcuts->sandboxed = true;
         },
         RecorderWorld::press(Key::k.rawValue, carbon::optionKey), false,
         {"focus out", "alert: " + recorderText("keyboard_shortcut_disallowed"), "focus in"}, {}, "Ctrl+Alt+Right",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderWorld world;
        if (c.setUp) c.setUp(world);
        const bool passed = world.localEvents.post(c.event);
        EXPECT_EQ(passed, c.passedOn);
        EXPECT_EQ(world.lines, c.lines);
        EXPECT_EQ(world.changes, c.changes);
        const auto stored = world.shortcuts->storedShortcut(world.recorder->shortcutName());
        const auto* shortcut = std::get_if<Shortcut>(&stored);
        EXPECT_EQ(shortcut ? world.shortcuts->description(*shortcut) : "false", c.stored);
        EXPECT_EQ(world.recorder->isRecording(), c.recording);
        EXPECT_EQ(world.shortcuts->isPaused(), c.recording);
    }
}

// Modifier keys as the keyboard reports them, whichever way the toolkit sets the modifier on their
// own release: what the field shows after each, and that none of them beeps, ends or records.
TEST(RecorderModel, ModifierKeysAloneShowWhatIsHeldAndRecordNothing) {
    constexpr std::uint32_t kControlL = 0xffe3, kAltR = 0xffea, kAltGr = 0xfe03, kCapsLock = 0xffe5;
    auto release = [](std::int64_t code, std::int64_t modifiers, std::uint32_t symbol) {
        LocalEvent event = RecorderWorld::key(LocalEventType::keyUp, code, modifiers);
        event.keySymbol = symbol;
        return event;
    };
    const struct {
        const char* name;
        std::vector<LocalEvent> events;
        std::vector<std::string> shown;
    } cases[] = {
        {"Ctrl down and up, the release without its modifier",
         {RecorderWorld::press(Key::control.rawValue, carbon::controlKey, kControlL),
          release(Key::control.rawValue, 0, kControlL)},
         {"Ctrl+…", "Press Shortcut"}},
        {"the release still reporting its own modifier",
         {RecorderWorld::press(Key::control.rawValue, carbon::controlKey, kControlL),
          release(Key::control.rawValue, carbon::controlKey, kControlL)},
         {"Ctrl+…", "Press Shortcut"}},
        {"Ctrl, then right Alt reported without its flag, then Ctrl let go first",
         {RecorderWorld::press(Key::control.rawValue, carbon::controlKey, kControlL),
          RecorderWorld::press(Key::rightOption.rawValue, carbon::controlKey, kAltR),
          release(Key::control.rawValue, carbon::controlKey | carbon::optionKey, kControlL),
          release(Key::rightOption.rawValue, carbon::optionKey, kAltR)},
         {"Ctrl+…", "Ctrl+Alt+…", "Alt+…", "Press Shortcut"}},
        {"AltGr and Caps Lock hold nothing a shortcut carries",
         {RecorderWorld::press(0, 0, kAltGr), RecorderWorld::press(Key::capsLock.rawValue, 0, kCapsLock)},
         {"Press Shortcut", "Press Shortcut"}},
        {"a modifier key known only by its code",
         {RecorderWorld::press(Key::command.rawValue, carbon::cmdKey)},
         {"Super+…"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderWorld world;
        std::vector<std::string> shown;
        for (const LocalEvent& event : c.events) {
            EXPECT_FALSE(world.localEvents.post(event)) << "a modifier key is the recorder's";
            shown.push_back(world.recorder->shownText());
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_TRUE(world.lines.empty()) << ::testing::PrintToString(world.lines);
        EXPECT_TRUE(world.changes.empty());
        EXPECT_TRUE(world.recorder->isRecording());
    }
}

// A field that holds a shortcut must still say that typing now records; a refused key says why.
TEST(RecorderModel, WhileRecordingTheFieldPromptsWhateverItHolds) {
    RecorderWorld world;
    world.recorder->endRecording();
    std::vector<std::string> shown{world.recorder->shownText()};
    world.recorder->startRecording();
    shown.push_back(world.recorder->shownText());
    for (const LocalEvent& event : {RecorderWorld::press(Key::a.rawValue, 0, 'a'),
                                    RecorderWorld::press(Key::control.rawValue, carbon::controlKey, 0xffe3),
                                    RecorderWorld::press(Key::escape.rawValue, carbon::controlKey)}) {
        world.localEvents.post(event);
        shown.push_back(world.recorder->shownText());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Ctrl+Alt+Right", "Press Shortcut", "Add Ctrl, Alt or Super", "Ctrl+…",
                                               "Ctrl+Esc"}));
}

// Another of the program's shortcuts on the same combination would act on the same press: the
// recorder names it, and "Use Here" moves the combination (the other keeps nothing).
TEST(RecorderModel, AnotherOfTheProgramsShortcutsIsNamedAndMovedOnlyWhenAsked) {
    const GlobalShortcuts::Name zone3("snapToZone3", Shortcut(Key::three, kControlAlt));
    const std::string asked = "alert: Tessary already uses this shortcut for “Zone 3”. [Cancel] [Use Here]";
    const struct {
        const char* name;
        ConflictPolicy policy;
        int answer;
        bool titled;
        std::vector<std::string> lines;
        std::string stored;       // this recorder's name
        std::string otherStored;  // Zone 3's
    } cases[] = {
        {"cancelled", ConflictPolicy::standard, 0, true, {"focus out", asked, "focus in"}, "Ctrl+Alt+Right", "Ctrl+Alt+3"},
        {"used here", ConflictPolicy::standard, 1, true, {"focus out", asked, "focus in", "focus out"}, "Ctrl+Alt+3",
         "false"},
        {"a name without a title", ConflictPolicy::standard, 0, false,
         {"focus out", "alert: Tessary already uses this shortcut for “another of its shortcuts”. [Cancel] [Use Here]",
          "focus in"},
         "Ctrl+Alt+Right", "Ctrl+Alt+3"},
        {"blocked", ConflictPolicy{ConflictBehavior::block, ConflictBehavior::warn, ConflictBehavior::block,
                                   ConflictBehavior::block},
         1, true, {"focus out", "alert: Tessary already uses this shortcut for “Zone 3”.", "focus in"}, "Ctrl+Alt+Right",
         "Ctrl+Alt+3"},
        {"allowed: both keep it", ConflictPolicy::permissive, 0, true, {"focus out"}, "Ctrl+Alt+3", "Ctrl+Alt+3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderWorld world;
        world.shortcuts->getShortcut(zone3);  // the program has given the module its name
        if (c.titled) {
            world.shortcuts->nameTitle = [](const GlobalShortcuts::Name& name) -> std::optional<std::string> {
                if (name.rawValue == "snapToZone3") return "Zone 3";
                return std::nullopt;
            };
        }
        world.recorder->conflictPolicy = c.policy;
        world.answer = c.answer;
        world.localEvents.post(RecorderWorld::press(Key::three.rawValue, kControlAlt));
        EXPECT_EQ(world.lines, c.lines);
        const auto stored = world.shortcuts->getShortcut(world.recorder->shortcutName());
        EXPECT_EQ(stored ? world.shortcuts->description(*stored) : "none", c.stored);
        const auto other = world.shortcuts->getShortcut(zone3);
        EXPECT_EQ(other ? world.shortcuts->description(*other) : world.stored("snapToZone3"), c.otherStored);
    }
}

// A stored shortcut another program holds is said to be dead, in name mode, until it works.
TEST(RecorderModel, SaysWhenItsShortcutIsHeldByAnotherProgram) {
    RecorderWorld world;
    world.recorder->endRecording();
    int refreshes = 0;
    world.recorder->view.refresh = [&] { ++refreshes; };
    world.hotKeys.takenByOthers.insert({Key::rightArrow.rawValue, kControlAlt});
    world.shortcuts->onKeyDown(world.recorder->shortcutName(), [] {});
    EXPECT_EQ(world.recorder->problem(), recorderText("held_by_another_program"));
    EXPECT_EQ(refreshes, 1);

    world.hotKeys.takenByOthers.clear();
    world.recorder->checkAgain();
    EXPECT_EQ(world.recorder->problem(), "");
    EXPECT_EQ(refreshes, 2);

    // "Use Anyway" stores a combination another program holds: it is marked, not shown as working.
    world.hotKeys.takenByOthers.insert({Key::k.rawValue, kControlAlt});
    world.answer = 1;
    world.recorder->startRecording();
    world.localEvents.post(RecorderWorld::press(Key::k.rawValue, kControlAlt));
    EXPECT_EQ(world.recorder->text(), "Ctrl+Alt+K");
    EXPECT_EQ(world.recorder->problem(), recorderText("held_by_another_program"));
    world.shortcuts->setShortcut(Shortcut(Key::rightArrow, kControlAlt), world.recorder->shortcutName());

    RecorderModel bound(*world.shortcuts, std::optional<Shortcut>(Shortcut(Key::rightArrow, kControlAlt)));
    world.hotKeys.lose(Key::rightArrow.rawValue, kControlAlt);
    EXPECT_EQ(world.recorder->problem(), recorderText("held_by_another_program"));
    EXPECT_EQ(bound.problem(), "") << "an owner's value has no hot key of the module's";
}

TEST(RecorderModel, OnlyTheRecorderThatTookThePauseLiftsIt) {
    RecorderWorld world;
    std::vector<bool> notices;
    Subscription active = world.shortcuts->recorderActiveStatusDidChange.subscribe([&](bool on) { notices.push_back(on); });
    RecorderModel second(*world.shortcuts, GlobalShortcuts::Name("previousZone"));
    second.startRecording();
    world.recorder->endRecording();
    EXPECT_TRUE(world.shortcuts->isPaused()) << "the second recorder owns the pause";
    second.endRecording();
    EXPECT_FALSE(world.shortcuts->isPaused());
    EXPECT_EQ(notices, (std::vector<bool>{true, false}));

    // A recorder destroyed while recording (its pane rebuilt) lifts its pause.
    world.recorder->startRecording();
    world.recorder.reset();
    EXPECT_FALSE(world.shortcuts->isPaused());
    EXPECT_EQ(notices.back(), false);
}

TEST(RecorderModel, AResetElsewhereShowsInNameModeOnly) {
    RecorderWorld world;
    world.recorder->endRecording();
    RecorderModel bound(*world.shortcuts, std::optional<Shortcut>(kNext));
    int boundRefreshes = 0, namedRefreshes = 0;
    bound.view.refresh = [&] { ++boundRefreshes; };
    world.recorder->view.refresh = [&] { ++namedRefreshes; };
    world.shortcuts->setShortcut(Shortcut(Key::x, kControlAlt), world.recorder->shortcutName());
    world.shortcuts->reset({world.recorder->shortcutName()});
    EXPECT_EQ(namedRefreshes, 2);
    EXPECT_EQ(world.recorder->text(), "Ctrl+Alt+Right");
    EXPECT_EQ(boundRefreshes, 0);
    EXPECT_EQ(bound.text(), "Ctrl+Alt+Right");
    EXPECT_EQ(world.recorder->placeholder(), "Record Shortcut");
}

TEST(RecorderModel, ARecorderDestroyedWhileItsAlertIsOpenIsNotTouchedAfterwards) {
    RecorderWorld world;
    world.hotKeys.takenByOthers.insert({Key::k.rawValue, kControlAlt});
    world.recorder->view.runAlert = [&](const RecorderModel::Alert&) {
        world.recorder.reset();  // the settings window closed under the alert
        return 1;
    };
    EXPECT_FALSE(world.localEvents.post(RecorderWorld::press(Key::k.rawValue, kControlAlt)));
    EXPECT_FALSE(world.shortcuts->isPaused());
    EXPECT_EQ(world.shortcuts->getShortcut(GlobalShortcuts::Name("nextZone", kNext)), kNext) << "nothing recorded";
}

}  // namespace
