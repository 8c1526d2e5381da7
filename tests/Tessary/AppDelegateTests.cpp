#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>

#include "Tessary/services/ui/ZoneOverlayPanel.h"
#include "Tessary/shell/AppLinks.h"
#include "Tessary/shell/ui/SaveWorkspacePrompt.h"
#include "tests/Tessary/AppWorld.h"

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;

namespace {

Rect moved(const Rect& rect, double dx, double dy) { return Rect(rect.x() + dx, rect.y() + dy, rect.width(), rect.height()); }

constexpr std::string_view activeLine = "drag snapping, shortcuts and window memory active";

class AppDelegateTest : public ::testing::Test {
protected:
    // Drags the window by the given offset with Shift (or the keys given) held, moving it as the
    // window manager would.
    static void shiftDrag(AppWorld& world, const WindowHandle& window, Point to,
                          GlobalModifierKeys held = {.shift = true}) {
        Rect frame = world.frameOf(window);
        Point at{frame.x() + 20, frame.y() + 10};
        world.input.moveTo(at);
        world.input.pressLeft();
        world.input.setModifiers(held);
        for (int step = 1; step <= 4; ++step) {
            const Point next{at.x + (to.x - at.x) * step / 4, at.y + (to.y - at.y) * step / 4};
            world.accessibility.window(window.element).frame =
                Rect(frame.x() + next.x - at.x, frame.y() + next.y - at.y, frame.width(), frame.height());
            world.input.moveTo(next);
        }
        world.input.releaseLeft();
        world.input.setModifiers({});
    }
    void shiftDrag(const WindowHandle& window, Point to) { shiftDrag(world, window, to); }

    bool overlayShowing() { return world.delegate->overlay().isShowing(); }

    AppWorld world;
};

// --- Launch ----------------------------------------------------------------------------------------

TEST_F(AppDelegateTest, LaunchStartsTheServicesWithTrustAndShowsOnboardingUnlessDone) {
    struct Row {
        const char* name;
        bool trusted;
        bool onboarded;
        bool servicesStart;
        bool onboardingShown;
    };
    const Row rows[] = {
        {"trusted and onboarded", true, true, true, false},
        {"trusted, never onboarded", true, false, true, true},
        {"untrusted, onboarded", false, true, false, true},
        {"untrusted, never onboarded", false, false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppWorld fresh;
        fresh.accessibility.trusted = row.trusted;
        fresh.defaults.set(AppDelegate::onboardingDoneKey, row.onboarded);
        fresh.launched();
        EXPECT_EQ(fresh.input.monitorCount(), row.servicesStart ? 1u : 0u);
        EXPECT_EQ(fresh.called("registerShortcuts"), row.servicesStart ? 1 : 0);
        EXPECT_EQ(fresh.count(activeLine), row.servicesStart ? 1u : 0u);
        EXPECT_EQ(fresh.made("onboarding"), row.onboardingShown ? 1 : 0);
        EXPECT_EQ(fresh.delegate->onboardingWindow() && fresh.delegate->onboardingWindow()->isVisible(),
                  row.onboardingShown);
    }
}

// Documents the services could not use as they are: the user is told where they look, once the
// tray is there to show it, and a damage met again at the next start is told again.
TEST_F(AppDelegateTest, DocumentsThatCouldNotBeUsedAreToldAtEachStartWithTheirFolder) {
    writeFile(world.folder / "rules.json", "{\"version\": 1, \"rules\": [");
    writeFile(world.folder / "workspaces.json", "{\"version\": 3, \"workspaces\": [], \"deletedWorkspaces\": {}}");
    AppDelegate& delegate = world.make();
    delegate.hooks().buildStatusItem = [&] {
        world.hookCalls.push_back("notices so far " + std::to_string(world.notices.posted().size()));
    };
    delegate.launch();
    delegate.rules();
    EXPECT_EQ(world.called("notices so far 0"), 1) << "none before the tray";
    EXPECT_EQ(world.notices.lines(),
              (std::vector<std::string>{
                  "\u201Cworkspaces.json\u201D is kept read-only: It was written by a newer version of Tessary. This "
                  "version uses what it can read of it and leaves the file as it is: changes made now are not saved. "
                  "[Open Folder]",
                  "\u201Crules.json\u201D was damaged: Its contents were set aside as \u201Crules.json.unreadable\u201D in "
                  "the same folder. Tessary starts with no rules. [Open Folder]"}));

    // The next start meets the same damaged rules (nothing was saved over them) and starts with no
    // rules again: told again, with the copy it already has.
    world.notices.clear();
    world.delegate.reset();
    world.launched().rules();
    ASSERT_EQ(world.notices.lines().size(), 2u);
    EXPECT_EQ(world.notices.posted().front().title, "\u201Cworkspaces.json\u201D is kept read-only");
    EXPECT_EQ(world.notices.lines().back(),
              "\u201Crules.json\u201D was damaged: Its contents are the same as those set aside earlier as "
              "\u201Crules.json.unreadable\u201D in the same folder. Tessary starts with no rules. [Open Folder]");
}

TEST_F(AppDelegateTest, TrustGrantedLaterStartsTheServicesOnceWhateverFollows) {
    world.accessibility.trusted = false;
    AppDelegate& delegate = world.launched();
    world.scheduler.advance(2s);
    EXPECT_EQ(world.input.monitorCount(), 0u);

    world.accessibility.trusted = true;
    world.scheduler.advance(1s);
    EXPECT_EQ(world.input.monitorCount(), 1u);
    EXPECT_FALSE(delegate.state().isPolling());

    struct Step {
        const char* name;
        std::function<void()> run;
    };
    const Step steps[] = {
        {"a second grant", [&] { delegate.state().onAccessibilityGranted(); }},
        {"a revocation and return",
         [&] {
             world.accessibility.trusted = false;
             delegate.state().refreshAccessibility();
             world.scheduler.advance(1s);
             world.accessibility.trusted = true;
             world.scheduler.advance(1s);
         }},
        {"a second activateServices()", [&] { delegate.activateServices(); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.run();
        EXPECT_EQ(world.input.monitorCount(), 1u);
        EXPECT_EQ(world.called("registerShortcuts"), 1);
        EXPECT_EQ(world.called("syncWorkspaceShortcuts"), 1);
        EXPECT_EQ(world.count(activeLine), 1u);
    }
}

// A first start beside a window manager that takes Shift-drag for itself drags with Ctrl and
// spans with Super, chosen once window control is there and stored; a stored drag key is the
// user's and stays. Ctrl as the drag key, chosen so or stored with Ctrl as the span key too (as
// an earlier version let it be), fills the one zone under the drop: the drag from zone 1 over
// zone 3 into zone 4 spans nothing.
TEST_F(AppDelegateTest, AFirstStartBesideAWindowManagerThatTakesShiftDragsWithCtrlIntoOneZone) {
    const DragKeys shiftControl{ActivationModifier::shift, SpanModifier::control};
    const DragKeys controlSuper{ActivationModifier::control, SpanModifier::command};
    struct Row {
        const char* name;
        std::string windowManager;
        std::optional<std::string> stored;  // "preferences.v1"
        DragKeys keys;
        bool chosenNow;  // stored and logged at this start
    };
    const Row rows[] = {
        {"beside KWin", "KWin", std::nullopt, controlSuper, true},
        {"beside marco", "Metacity (Marco)", std::nullopt, controlSuper, true},
        {"beside openbox", "Openbox", std::nullopt, shiftControl, false},
        {"without a window manager's name", "", std::nullopt, shiftControl, false},
        {"other settings stored, no drag key, beside KWin", "KWin", R"({"zoneOpacity":0.3})", controlSuper, true},
        {"Shift stored beside KWin", "KWin", R"({"activationModifier":"shift","spanModifier":"control"})",
         shiftControl, false},
        {"Ctrl stored for both beside openbox", "Openbox",
         R"({"activationModifier":"control","spanModifier":"control"})", controlSuper, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppWorld fresh;
        fresh.windowManager.setName(row.windowManager);
        if (row.stored) fresh.defaults.set(Preferences::storageKey, UserDefaultsData{*row.stored});
        fresh.accessibility.trusted = false;
        AppDelegate& delegate = fresh.launched();
        EXPECT_EQ(delegate.preferences().dragKeys(), row.chosenNow ? shiftControl : row.keys)
            << "chosen only once a window manager gives window control";
        fresh.accessibility.trusted = true;
        fresh.scheduler.advance(1s);
        ASSERT_TRUE(delegate.servicesStarted());
        EXPECT_EQ(delegate.preferences().dragKeys(), row.keys);
        const auto stored = fresh.defaults.dataValue(Preferences::storageKey);
        EXPECT_EQ(stored && stored->find("\"activationModifier\":\"control\",\"spanModifier\":\"command\"") !=
                                std::string::npos,
                  row.chosenNow);
        const auto logged = fresh.sink.messages("AppDelegate");
        EXPECT_EQ(std::count(logged.begin(), logged.end(),
                             "First start beside " + std::string(row.windowManager == "KWin" ? "KWin" : "Marco") +
                                 ", which uses Shift-drag to " +
                                 (row.windowManager == "KWin" ? "tile windows" : "snap windows to edges") +
                                 ": Ctrl shows the zones and Super spans them"),
                  row.chosenNow ? 1 : 0);

        const WindowHandle window = fresh.addWindow(AppWorld::editorPID, Rect(100, 100, 300, 200), "Notes");
        fresh.scheduler.advance(1s);
        shiftDrag(fresh, window, {620, 520},
                  row.keys.activation == ActivationModifier::control ? GlobalModifierKeys{.control = true}
                                                                     : GlobalModifierKeys{.shift = true});
        EXPECT_EQ(fresh.frameOf(window), PlacementWorld::mainZone(3));
    }
}

TEST_F(AppDelegateTest, WithoutGlobalInputALaterGrantRegistersNothingAgain) {
    world.input.available = false;
    AppDelegate& delegate = world.launched();
    delegate.state().onAccessibilityGranted();
    delegate.activateServices();
    EXPECT_EQ(world.called("registerShortcuts"), 1);
    EXPECT_EQ(world.count("Global input is not available (no XInput 2 on this X server): drag snapping is off"), 1u);
    EXPECT_EQ(world.count(activeLine), 1u);
}

// --- The command table -----------------------------------------------------------------------------

TEST_F(AppDelegateTest, EverySlotDoesNothingBeforeLaunchAndReachesItsTargetAfter) {
    struct Row {
        const char* name;
        std::function<void(AppWorld&)> call;
        std::function<bool(AppWorld&)> done;  // whether the target ran
    };
    // A window remembered in zone 1 and moved away, a rule for it, a workspace to delete.
    auto prepare = [](AppWorld& w) {
        const WindowHandle window = w.addWindow(AppWorld::editorPID, Rect(10, 10, 300, 200), "Draft");
        w.delegate->memory().remember(window, w.main, {1});
        w.delegate->rules().modifyRuleSet([](RuleSet& set) {
            set.rules = {PlacementRule(UUID::random(), true, "org.example.Editor", std::nullopt, std::nullopt, {3},
                                       Date(0))};
        });
        w.delegate->workspaces().saveCurrentWindows("Desk");
        return window;
    };
    auto inZone = [](AppWorld& w, std::int64_t zone) {
        return w.frameOf(WindowHandle(AppWorld::editorPID, w.accessibility.stackingOrder().back())) ==
               PlacementWorld::mainZone(zone);
    };
    auto cancelNextPrompt = [](AppWorld& w) {
        QTimer::singleShot(0, [&w] {
            if (QWidget* prompt = w.delegate->savePrompt()) {
                ++w.windowsMade["prompt"];
                static_cast<QDialog*>(prompt)->reject();
            }
        });
    };
    const Row rows[] = {
        {"showEditor", [](AppWorld& w) { w.delegate->actions().showEditor(); }, [](AppWorld& w) { return w.made("editor") == 1; }},
        {"showOnboarding", [](AppWorld& w) { w.delegate->actions().showOnboarding(); },
         [](AppWorld& w) { return w.made("onboarding") == 1; }},
        {"flashZones", [](AppWorld& w) { w.delegate->actions().flashZones(); },
         [](AppWorld& w) { return w.delegate->overlay().isShowing(); }},
        {"restoreAllWindows", [](AppWorld& w) { w.delegate->actions().restoreAllWindows(); },
         [&](AppWorld& w) { return inZone(w, 1); }},
        {"applyRules", [](AppWorld& w) { w.delegate->actions().applyRules(); }, [&](AppWorld& w) { return inZone(w, 3); }},
        {"deleteWorkspace",
         [](AppWorld& w) { w.delegate->actions().deleteWorkspace(w.delegate->workspaces().library().workspaces.at(0).id); },
         [](AppWorld& w) { return w.delegate->workspaces().library().workspaces.empty() && w.called("removeWorkspaceShortcut") == 1; }},
        {"saveWorkspace",
         [&](AppWorld& w) {
             cancelNextPrompt(w);
             w.delegate->actions().saveWorkspace();
         },
         [](AppWorld& w) { return w.made("prompt") == 1; }},
        {"showSettings", [](AppWorld& w) { w.delegate->actions().showSettings(); }, [](AppWorld& w) { return w.made("settings") == 1; }},
        {"showReleaseNotes", [](AppWorld& w) { w.delegate->actions().showReleaseNotes(); },
         [](AppWorld& w) { return w.delegate->state().requestedSettingsSection() == SettingsSection::about; }},
        {"showAbout", [](AppWorld& w) { w.delegate->actions().showAbout(); }, [](AppWorld& w) { return w.made("about") == 1; }},
        {"checkForUpdates", [](AppWorld& w) { w.delegate->actions().checkForUpdates(); },
         [](AppWorld& w) { return w.called("checkForUpdates") == 1; }},
        {"sendFeedback", [](AppWorld& w) { w.delegate->actions().sendFeedback(); }, [](AppWorld& w) { return w.made("feedback") == 1; }},
        {"askForReview", [](AppWorld& w) { w.delegate->actions().askForReview(); }, [](AppWorld& w) { return w.called("askReviewQuestion") == 1; }},
        {"workspacesChanged", [](AppWorld& w) { w.delegate->actions().workspacesChanged(); },
         // Starting the services syncs them once of itself.
         [](AppWorld& w) { return w.called("syncWorkspaceShortcuts") > (w.delegate->servicesStarted() ? 1 : 0); }},
    };
    static_assert(std::size(rows) == appActionCount);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppWorld before;
        before.defaults.set(AppDelegate::onboardingDoneKey, true);
        before.make();
        prepare(before);
        row.call(before);
        QCoreApplication::processEvents();
        EXPECT_FALSE(row.done(before)) << "before launch";

        before.delegate->launch();
        row.call(before);
        QCoreApplication::processEvents();
        EXPECT_TRUE(row.done(before)) << "after launch";
    }
}

TEST_F(AppDelegateTest, TheLaunchSequenceFillsEverySlotOnceAndSaysSo) {
    AppDelegate& delegate = world.make();
    std::vector<AppAction> assigned;
    Subscription watch = delegate.actions().observe([&](AppAction action) { assigned.push_back(action); });
    delegate.launch();
    std::sort(assigned.begin(), assigned.end());
    std::vector<AppAction> every;
    for (std::size_t i = 0; i < appActionCount; ++i) every.push_back(static_cast<AppAction>(i));
    EXPECT_EQ(assigned, every);
}

// --- Windows left alone ----------------------------------------------------------------------------

TEST_F(AppDelegateTest, LeftAloneWindowsAreLeftAloneByEveryRoad) {
    struct Row {
        const char* name;
        ProcessID pid;
        bool standard;
    };
    const Row rows[] = {
        {"a window of an excluded application", AppWorld::excludedPID, true},
        {"a non-standard window, with nothing excluded", AppWorld::editorPID, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppWorld w;
        AppDelegate& delegate = w.launched();
        if (row.standard) delegate.preferences().setExcludedBundleIDs({"org.example.Excluded"});
        delegate.rules().modifyRuleSet([&](RuleSet& set) {
            set.rules = {PlacementRule(UUID::random(), true, row.pid == AppWorld::editorPID ? "org.example.Editor" : "org.example.Excluded",
                                       std::nullopt, std::nullopt, {3}, Date(0))};
        });
        const Rect start(120, 130, 300, 200);
        const WindowHandle window = w.addWindow(row.pid, start);
        if (!row.standard) w.accessibility.window(window.element).subrole = std::string("AXDialog");

        // Placement: the window was just created; its rule would take it 0.4 s later.
        w.scheduler.advance(1s);
        EXPECT_EQ(w.frameOf(window), start) << "placement";
        // Rules.
        EXPECT_EQ(delegate.rules().applyAll(), 0) << "rules";
        // Keyboard (through the zone service, as every keyboard snap goes).
        EXPECT_FALSE(delegate.zones().snap(window, 0)) << "keyboard";
        // Drag.
        const Rect before = w.frameOf(window);
        w.input.moveTo({before.x() + 20, before.y() + 10});
        w.input.pressLeft();
        w.input.setModifiers({.shift = true});
        w.accessibility.window(window.element).frame = moved(before, 200, 150);
        w.input.moveTo({before.x() + 220, before.y() + 160});
        EXPECT_FALSE(delegate.overlay().isShowing()) << "drag";
        w.input.releaseLeft();
        EXPECT_EQ(w.frameOf(window), moved(before, 200, 150)) << "drag";
        EXPECT_EQ(w.accessibility.requestCount(AXRequest::Kind::setAttribute), 0u);
    }
}

// --- Flashes ---------------------------------------------------------------------------------------

TEST_F(AppDelegateTest, APlacedWindowFlashShowsItsZonesHighlightedOnItsDisplayOnly) {
    AppDelegate& delegate = world.launched();
    delegate.showPlacedZones(ZonePlacement{world.side, {1, 3}});
    ASSERT_TRUE(overlayShowing());
    const ZoneOverlayPanel* panel = delegate.overlay().panel(world.side.displayID);
    ASSERT_TRUE(panel);
    std::vector<std::int64_t> shown;
    for (const Zone& zone : panel->model().zones()) shown.push_back(zone.index);
    EXPECT_EQ(shown, (std::vector<std::int64_t>{1, 3}));
    EXPECT_EQ(panel->model().highlighted(), (std::vector<std::int64_t>{1, 3}));
    const ZoneOverlayPanel* other = delegate.overlay().panel(world.main.displayID);
    EXPECT_TRUE(!other || !other->isVisible());
    world.scheduler.advance(699ms);
    EXPECT_TRUE(overlayShowing());
    world.scheduler.advance(1ms);
    EXPECT_FALSE(overlayShowing());

    delegate.showPlacedZones(ZonePlacement{world.side, {7}});
    EXPECT_FALSE(overlayShowing()) << "zones the layout lost";
}

TEST_F(AppDelegateTest, AnUnforcedFlashFollowsTheFlashOnLayoutChangeSetting) {
    struct Row {
        const char* name;
        bool setting;
        bool force;
        bool shows;
    };
    const Row rows[] = {
        {"unforced, setting on", true, false, true},
        {"unforced, setting off", false, false, false},
        {"forced, setting off", false, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppWorld w;
        AppDelegate& delegate = w.launched();
        delegate.preferences().setFlashOnLayoutChange(row.setting);
        delegate.flashZones(row.force);
        EXPECT_EQ(delegate.overlay().isShowing(), row.shows);
        w.scheduler.advance(899ms);
        EXPECT_EQ(delegate.overlay().isShowing(), row.shows) << "a flash lasts 0.9 s";
        w.scheduler.advance(1ms);
        EXPECT_FALSE(delegate.overlay().isShowing());
    }
}

// --- Snaps, memory and quitting --------------------------------------------------------------------

TEST_F(AppDelegateTest, ASnapReachesMemoryAndTheReviewCountAndLeavesNoTaskAfterItsSave) {
    AppDelegate& delegate = world.launched();
    const WindowHandle window = world.addWindow(AppWorld::editorPID, Rect(100, 100, 300, 200), "Notes");
    world.scheduler.advance(1s);  // the new window's placement
    shiftDrag(window, {620, 520});
    EXPECT_EQ(world.frameOf(window), PlacementWorld::mainZone(3));
    EXPECT_EQ(world.defaults.integerValue(ReviewPrompt::snapCountKey), 1) << "the review prompt counts it";
    ASSERT_TRUE(delegate.memory().hasPendingSave());
    world.scheduler.advance(1s);
    EXPECT_TRUE(std::filesystem::exists(world.folder / "memory.json"));
    // Once the hidden overlay has let its pixels go, nothing is left to wake the program.
    world.scheduler.advance(delegate.overlay().idleRelease);
    EXPECT_EQ(world.scheduler.pendingCount(), 0u);
}

// The drag keeps its zones between notices; a layout chosen meanwhile shows at once, and the drop
// goes into the zone of the new layout under the pointer.
TEST_F(AppDelegateTest, ALayoutChosenDuringADragShowsAndTakesTheDrop) {
    AppDelegate& delegate = world.launched();
    const WindowHandle window = world.addWindow(AppWorld::editorPID, Rect(100, 100, 300, 200), "Notes");
    world.scheduler.advance(1s);
    const Rect frame = world.frameOf(window);
    const Point at{frame.x() + 20, frame.y() + 10};
    const Point to{620, 520};
    world.input.moveTo(at);
    world.input.pressLeft();
    world.input.setModifiers({.shift = true});
    world.accessibility.window(window.element).frame = moved(frame, to.x - at.x, to.y - at.y);
    world.input.moveTo(to);
    ASSERT_TRUE(overlayShowing());
    const ZoneOverlayPanel* panel = delegate.overlay().panel(world.main.displayID);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->model().zones().size(), 4u);

    const ZoneLayout halves{UUID::random(), "Halves", LayoutKind(ZoneGrid::uniform(1, 2)), 0, 0, std::nullopt, Date(0)};
    delegate.zones().updateLibrary([&](LayoutLibrary& library) {
        library.layouts = {halves};
        library.defaultLayoutID = halves.id;
    });
    panel = delegate.overlay().panel(world.main.displayID);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->model().zones().size(), 2u);
    const auto zones = delegate.zones().zones(world.main);
    const auto target = std::find_if(zones.begin(), zones.end(), [&](const Zone& z) { return z.rect.contains(to); });
    ASSERT_NE(target, zones.end());
    world.input.releaseLeft();
    world.input.setModifiers({});
    EXPECT_EQ(world.frameOf(window), target->rect);
}

TEST_F(AppDelegateTest, QuittingWritesAPendingMemorySaveAtOnce) {
    AppDelegate& delegate = world.launched();
    const WindowHandle window = world.addWindow(AppWorld::editorPID, Rect(100, 100, 300, 200), "Notes");
    ASSERT_TRUE(delegate.zones().snap(window, 2));
    ASSERT_FALSE(std::filesystem::exists(world.folder / "memory.json"));
    delegate.prepareToQuit();
    EXPECT_NE(readFile(world.folder / "memory.json").find("Notes"), std::string::npos);
    EXPECT_FALSE(delegate.memory().hasPendingSave());
}

// Quit ends the main loop whatever is open, also what refuses a close (Qt's own quit gives up on
// it): what was pending is written first, and every window is hidden.
TEST_F(AppDelegateTest, QuitEndsTheProgramWhateverIsOpen) {
    class Stubborn final : public QWidget {
    protected:
        void closeEvent(QCloseEvent* event) override { event->ignore(); }
    };
    struct Row {
        const char* name;
        // Opens the state and quits from inside it (a modal loop, from inside that loop).
        std::function<void(AppDelegate&, QWidget& stubborn)> openAndQuit;
    };
    const Row rows[] = {
        {"a window that refuses to close",
         [](AppDelegate& delegate, QWidget& stubborn) {
             stubborn.show();
             delegate.quit();
         }},
        {"a modal alert without a cancel button, which refuses its close",
         [](AppDelegate& delegate, QWidget&) {
             QMessageBox alert(QMessageBox::Warning, "Taken", "Use it anyway?");
             alert.addButton("OK", QMessageBox::AcceptRole);
             alert.addButton("Use Anyway", QMessageBox::AcceptRole);
             QTimer::singleShot(0, [&delegate] { delegate.quit(); });
             alert.exec();
         }},
        {"the modal save prompt",
         [](AppDelegate& delegate, QWidget&) {
             QTimer::singleShot(0, [&delegate] { delegate.quit(); });
             delegate.promptSaveWorkspace();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppWorld w;
        AppDelegate& delegate = w.launched();
        const WindowHandle window = w.addWindow(AppWorld::editorPID, Rect(100, 100, 300, 200), "Notes");
        ASSERT_TRUE(delegate.zones().snap(window, 2));
        delegate.showEditor();
        Stubborn stubborn;
        QTimer::singleShot(0, [&] { row.openAndQuit(delegate, stubborn); });
        // A quit that was refused leaves the loop running: the test ends it, with another status.
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        giveUp.start(5000);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_TRUE(delegate.isQuitting());
        EXPECT_NE(readFile(w.folder / "memory.json").find("Notes"), std::string::npos) << "the snap was not saved";
        for (QWidget* shown : QApplication::topLevelWidgets()) EXPECT_FALSE(shown->isVisible()) << shown->windowTitle().toStdString();
        EXPECT_EQ(delegate.workspaces().library().workspaces.size(), 0u) << "the prompt saved a workspace";
    }
}

// --- Requests of a later start ---------------------------------------------------------------------

TEST_F(AppDelegateTest, RequestsOfALaterStart) {
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        InstanceReply reply;
        std::string effect;  // a hook call or a window made
    };
    // The member types are named: GCC 12 at -O3 falsely warns that a string of a nested braced
    // member may be used uninitialised.
    const Row rows[] = {
        {"no argument reopens", {}, InstanceReply{"", 0}, "onboarding"},
        {"a URL goes to the URL handler", {"tessary://flash"}, InstanceReply{"", 0}, "handleURL tessary://flash"},
        {"the scheme in capitals", {"TESSARY://flash"}, InstanceReply{"", 0}, "handleURL TESSARY://flash"},
        {"a verb", {"version"}, InstanceReply{"0.1", 0}, ""},
        {"anything else", {"frobnicate", "x"}, InstanceReply{"unknown command: frobnicate", 1}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppWorld w;
        w.defaults.set(AppDelegate::onboardingDoneKey, true);
        AppDelegate& delegate = w.launched();
        delegate.hooks().commandLineVerbs["version"] = [](const std::vector<std::string>&) {
            return InstanceReply{"0.1", 0};
        };
        EXPECT_EQ(delegate.answer({row.arguments, "startup-1"}), row.reply);
        if (!row.effect.empty()) {
            EXPECT_TRUE(w.made(row.effect) == 1 || w.called(row.effect) == 1);
        }
    }
}

TEST_F(AppDelegateTest, ARequestBeforeTheLaunchSequenceRunsNothing) {
    AppDelegate& delegate = world.make();
    const InstanceReply reply = delegate.answer({{"tessary://snap?zone=1"}, ""});
    EXPECT_EQ(reply.status, 1);
    EXPECT_EQ(world.hookCalls, std::vector<std::string>{});
}

// --- Windows ---------------------------------------------------------------------------------------

TEST_F(AppDelegateTest, WindowsAreMadeOnceAndTheFeedbackFormAfreshOnceClosed) {
    AppDelegate& delegate = world.launched();
    for (int i = 0; i < 2; ++i) {
        delegate.showEditor();
        delegate.showAbout();
        delegate.showOnboarding();
        delegate.showFeedback();
    }
    EXPECT_EQ(world.made("editor"), 1);
    EXPECT_EQ(world.made("about"), 1);
    EXPECT_EQ(world.made("onboarding"), 1);
    EXPECT_EQ(world.made("feedback"), 1) << "while it is open";
    delegate.feedbackWindow()->close();
    delegate.showFeedback();
    EXPECT_EQ(world.made("feedback"), 2) << "after it was closed";
    EXPECT_TRUE(delegate.feedbackWindow()->isVisible());
}

// Onboarding shows the shared state and a new feedback form starts empty: once closed they are
// dropped, and the next request makes them again. A feedback form being
// sent, or whose sending failed, holds the user's text: closed, it is kept and shown again.
TEST_F(AppDelegateTest, ClosedWindowsThatKeepNothingAreDroppedAndABusyFeedbackFormIsKept) {
    AppDelegate& delegate = world.launched();
    struct Row {
        const char* name;
        std::function<void()> show;
        std::function<QWidget*()> window;
    };
    const Row rows[] = {
        {"onboarding", [&] { delegate.showOnboarding(); }, [&] { return delegate.onboardingWindow(); }},
        {"feedback", [&] { delegate.showFeedback(); }, [&] { return delegate.feedbackWindow(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.show();
        QWidget* first = row.window();
        ASSERT_NE(first, nullptr);
        first->close();
        world.scheduler.runDue();
        EXPECT_EQ(row.window(), nullptr) << "dropped once closed";
        row.show();
        EXPECT_EQ(world.made(row.name), 2);
        ASSERT_NE(row.window(), nullptr);
        EXPECT_TRUE(row.window()->isVisible());
        row.window()->close();
        world.scheduler.runDue();
    }

    world.feedbackBusy = true;
    delegate.showFeedback();
    QWidget* sending = delegate.feedbackWindow();
    sending->close();
    world.scheduler.runDue();
    EXPECT_EQ(delegate.feedbackWindow(), sending) << "kept while it sends";
    delegate.showFeedback();
    EXPECT_EQ(delegate.feedbackWindow(), sending) << "shown again, not replaced by an empty form";
    EXPECT_TRUE(sending->isVisible());
    EXPECT_EQ(world.made("feedback"), 3);
}

// Asked for again, a window the user minimised comes back: shown and no longer minimised.
TEST_F(AppDelegateTest, AMinimisedWindowAskedForAgainComesBack) {
    AppDelegate& delegate = world.launched();
    struct Row {
        const char* name;
        void (AppActions::*action)() const;
        std::function<QWidget*()> window;
    };
    const Row rows[] = {
        {"editor", &AppActions::showEditor, [&] { return delegate.editorWindow(); }},
        {"settings", &AppActions::showSettings, [&] { return delegate.settingsWindow(); }},
        {"About", &AppActions::showAbout, [&] { return delegate.aboutWindow(); }},
        {"onboarding", &AppActions::showOnboarding, [&] { return delegate.onboardingWindow(); }},
        {"feedback", &AppActions::sendFeedback, [&] { return delegate.feedbackWindow(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        (delegate.actions().*row.action)();
        world.scheduler.runDue();
        QWidget* window = row.window();
        ASSERT_NE(window, nullptr);
        window->showMinimized();
        ASSERT_TRUE(window->isMinimized());
        (delegate.actions().*row.action)();
        world.scheduler.runDue();
        EXPECT_EQ(row.window(), window) << "another window was made";
        EXPECT_FALSE(window->isMinimized());
        EXPECT_TRUE(window->isVisible());
    }
}

TEST_F(AppDelegateTest, SettingsKeepTheRequestedSectionUntilAnotherIsAskedFor) {
    AppDelegate& delegate = world.launched();
    delegate.showSettings(SettingsSection::about);
    delegate.showSettings(std::nullopt);
    EXPECT_EQ(delegate.state().requestedSettingsSection(), SettingsSection::about);
    world.scheduler.runDue();
    EXPECT_EQ(delegate.findSettingsWindow(), delegate.settingsWindow());
    EXPECT_TRUE(delegate.settingsWindow()->isVisible());
    EXPECT_EQ(world.made("settings"), 1);
}

TEST_F(AppDelegateTest, TheSavePrompt) {
    struct Row {
        const char* name;
        std::string typed;
        bool save;
        std::vector<std::string> names;  // the workspaces afterwards
    };
    const Row rows[] = {
        {"left blank", "", true, {"One", "Two", "Workspace 3"}},
        {"only blanks", " \t ", true, {"One", "Two", "Workspace 3"}},
        {"a name, trimmed", "  Desk ", true, {"One", "Two", "Desk"}},
        {"cancelled", "Desk", false, {"One", "Two"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppWorld w;
        AppDelegate& delegate = w.launched();
        delegate.workspaces().saveCurrentWindows("One");
        delegate.workspaces().saveCurrentWindows("Two");
        int promptsSeen = 0;
        QTimer::singleShot(0, [&] {
            auto* prompt = static_cast<SaveWorkspacePrompt*>(delegate.savePrompt());
            ASSERT_TRUE(prompt);
            // A second request while it is open raises it; it opens no prompt of its own.
            delegate.promptSaveWorkspace();
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (dynamic_cast<SaveWorkspacePrompt*>(widget) && widget->isVisible()) ++promptsSeen;
            }
            prompt->nameField()->setText(QString::fromStdString(row.typed));
            row.save ? prompt->accept() : prompt->reject();
        });
        delegate.promptSaveWorkspace();
        EXPECT_EQ(promptsSeen, 1);
        std::vector<std::string> names;
        for (const auto& workspace : delegate.workspaces().library().workspaces) names.push_back(workspace.name);
        EXPECT_EQ(names, row.names);
        EXPECT_EQ(w.called("syncWorkspaceShortcuts"), 1 + (row.save ? 1 : 0));
        EXPECT_EQ(delegate.savePrompt(), nullptr);
    }
}

// This build names no web site, so there is no review page: the alert is told so, and a review
// chosen anyway opens nothing and leaves the prompt to be offered again.
TEST_F(AppDelegateTest, WithoutAReviewPageTheReviewAlertOffersNoneAndThePromptStaysOpen) {
    if (!reviewURL().empty()) GTEST_SKIP() << "this build has a web site";
    AppDelegate& delegate = world.launched();
    delegate.hooks().askReviewQuestion = [&](bool hasReviewPage) {
        world.reviewPageOffered = hasReviewPage;
        return ReviewPrompt::Answer::writeReview;
    };
    delegate.actions().askForReview();
    EXPECT_EQ(world.reviewPageOffered, false);
    EXPECT_FALSE(world.defaults.boolValue(ReviewPrompt::finishedKey).value_or(false));
    EXPECT_EQ(world.sink.messages("AppLinks"),
              std::vector<std::string>{"No product web site configured in this build; no link to open"});
}

}  // namespace
