#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "WindowEngine/AXWindowEngine.h"
#include "WindowEngine/DisplayProvider.h"

using namespace tessary;

namespace {

constexpr ProcessID editorPID = 42;

class AXWindowEngineTest : public ::testing::Test {
protected:
    AXWindowEngineTest() {
        workspace.addApplication({editorPID, "org.example.Editor", "Editor", ActivationPolicy::regular, false});
    }

    WindowHandle addWindow(Rect frame, ProcessID pid = editorPID) { return WindowHandle(pid, ax.addWindow(pid, frame, "Doc")); }

    SimAccessibility ax;
    SimApplicationWorkspace workspace;
    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    AXWindowEngine engine{ax, workspace};
};

const std::vector<std::string> firstAttempt = {"set AXPosition (100, 100)", "set AXSize (800 x 600)", "copy AXPosition",
                                               "copy AXSize"};
// Asked once the frame read is off: whether the window's size goes in steps.
const std::vector<std::string> stepQuery = {"copy AXSizeIncrement"};
const std::vector<std::string> secondAttempt = {"set AXSize (800 x 600)", "set AXPosition (100, 100)",
                                                "set AXSize (800 x 600)", "copy AXPosition", "copy AXSize"};
// Asked once the second attempt is off too: why.
const std::vector<std::string> causeQuery = {"copy AXShadowKeptOnScreen"};

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace

TEST_F(AXWindowEngineTest, SetFrameMakesExactlyTheRequestsItsWindowNeeds) {
    const Rect zone(100, 100, 800, 600);
    const std::string mismatch = "setFrame mismatch pid 42: wanted (100, 100, 800, 600) got ";
    struct Case {
        const char* name;
        Rect start;
        std::function<void(SimAccessibility::Window&)> configure;
        bool centring;
        std::vector<std::string> requests;
        std::optional<Rect> achieved;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"takes the frame at once", Rect(0, 0, 300, 200), [](auto&) {}, false, firstAttempt, zone, {}},
        // Kept on screen: the old size does not fit at the new origin, so the first move is pulled
        // back; shrinking first lets the second attempt through.
        {"clamped at its current origin", Rect(0, 0, 1900, 1000),
         [](auto& w) { w.confinedTo = Rect(0, 0, 1920, 1080); }, false, concat({firstAttempt, stepQuery, secondAttempt}), zone, {}},
        // A failed position read ends a read-back: the size is not asked.
        {"vanishes before the read-back", Rect(0, 0, 300, 200), [](auto& w) { w.requestsBeforeVanishing = 2; }, true,
         {"set AXPosition (100, 100)", "set AXSize (800 x 600)", "copy AXPosition", "copy AXSizeIncrement",
          "set AXSize (800 x 600)",
          "set AXPosition (100, 100)", "set AXSize (800 x 600)", "copy AXPosition"},
         std::nullopt, {}},
        {"too narrow, centring off", Rect(0, 0, 300, 200), [](auto& w) { w.maximumSize = Size{699, 600}; }, false,
         concat({firstAttempt, stepQuery, secondAttempt, causeQuery}), Rect(100, 100, 699, 600),
         {mismatch + "(100, 100, 699, 600)"}},
        {"too narrow, centred on whole points", Rect(0, 0, 300, 200), [](auto& w) { w.maximumSize = Size{699, 600}; },
         true,
         concat({firstAttempt, stepQuery, secondAttempt, causeQuery,
                 {"set AXPosition (151, 100)", "copy AXPosition", "copy AXSize"}}),
         Rect(151, 100, 699, 600), {mismatch + "(100, 100, 699, 600)"}},
        {"too wide and exactly as tall: already in place, not written", Rect(0, 0, 300, 200),
         [](auto& w) { w.minimumSize = Size{900, 600}; }, true,
         concat({firstAttempt, stepQuery, secondAttempt, causeQuery}), Rect(100, 100, 900, 600),
         {mismatch + "(100, 100, 900, 600)"}},
        {"refuses to move: took the size, centring has nothing to do", Rect(0, 0, 300, 200),
         [](auto& w) { w.movable = false; }, true, concat({firstAttempt, stepQuery, secondAttempt, causeQuery}),
         Rect(0, 0, 800, 600), {mismatch + "(0, 0, 800, 600)"}},
        {"vanishes after the centring move", Rect(0, 0, 300, 200),
         [](auto& w) { w.maximumSize = Size{699, 600}; w.requestsBeforeVanishing = 11; }, true,
         concat({firstAttempt, stepQuery, secondAttempt, causeQuery, {"set AXPosition (151, 100)", "copy AXPosition"}}),
         Rect(151, 100, 699, 600), {mismatch + "(100, 100, 699, 600)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ax.clearRequests();
        sink.clear();
        const WindowHandle window = addWindow(c.start);
        c.configure(ax.window(window.element));
        int asked = 0;
        engine.centersWindowsThatCannotFill = [&] { ++asked; return c.centring; };

        const SetFrameResult result = engine.setFrame(zone, window);

        EXPECT_EQ(ax.requestLog(window.element), c.requests);
        EXPECT_LE(c.requests.size(), 14u);
        EXPECT_EQ(result, (SetFrameResult{zone, c.achieved}));
        EXPECT_EQ(sink.messages("AXWindowEngine"), c.log);
        EXPECT_EQ(asked, c.log.empty() ? 0 : 1);
    }
}

// A window the desktop held short of the frame to keep the shadow it draws on the screen: the
// result says so, whatever the centring does next. Asked only of a window that stayed off.
TEST_F(AXWindowEngineTest, AWindowHeldToKeepItsShadowOnTheScreenSaysSo) {
    const Rect zone(100, 100, 800, 600);
    const struct {
        const char* name;
        std::optional<Expected<AXValue, AXError>> answer;  // none: the back end's own
        bool held;
    } cases[] = {
        {"held, and the desktop says why", AXValue{true}, true},
        {"held for another reason", AXValue{false}, false},
        {"a desktop that cannot tell", std::nullopt, false},
        {"a window gone meanwhile", unexpected(AXError::invalidUIElement), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WindowHandle window = addWindow(Rect(0, 0, 300, 200));
        ax.window(window.element).maximumSize = Size{800, 500};
        if (c.answer) ax.window(window.element).readOverrides.emplace(ax::shadowKeptOnScreenAttribute, *c.answer);
        engine.centersWindowsThatCannotFill = [] { return true; };
        const SetFrameResult result = engine.setFrame(zone, window);
        EXPECT_EQ(result.achieved, Rect(100, 150, 800, 500)) << "centred as before";
        EXPECT_EQ(result.shadowKeptOnScreen, c.held);
    }
    const WindowHandle taking = addWindow(Rect(0, 0, 300, 200));
    ax.window(taking.element).readOverrides.emplace(ax::shadowKeptOnScreenAttribute, AXValue{true});
    ax.clearRequests();
    EXPECT_FALSE(engine.setFrame(zone, taking).shadowKeptOnScreen);
    EXPECT_EQ(ax.requestLog(taking.element), firstAttempt);
}

// A window whose least size is larger than its zone would reach past the zone's display: whatever
// the centring preference, it ends wholly on the display's work area, as near the zone as it can,
// and the result says it did not take the frame.
TEST_F(AXWindowEngineTest, AWindowLargerThanItsZoneStaysWhollyOnTheWorkArea) {
    DisplayInfo display;
    display.displayID = 1;
    display.identifier = "MAIN";
    display.frame = Rect(0, 0, 1920, 1080);
    display.workArea = Rect(0, 0, 1920, 1040);
    DisplayProvider::displaysOverride = std::vector<DisplayInfo>{display};
    const Rect rightZone(1450, 0, 470, 1040);
    const struct {
        const char* name;
        Size minimum;
        bool centring;
        Rect zone;
        Rect ends;
    } cases[] = {
        {"wider than the right zone: back inside the right edge", {600, 200}, false, rightZone, Rect(1320, 0, 600, 1040)},
        {"the same with centring on", {600, 200}, true, rightZone, Rect(1320, 0, 600, 1040)},
        {"taller than a bottom zone: back above the work area's bottom", {300, 700}, false, Rect(0, 520, 960, 520),
         Rect(0, 340, 960, 700)},
        {"wider than the whole work area: at its left edge", {2000, 200}, false, rightZone, Rect(0, 0, 2000, 1040)},
        {"wider than a zone that leaves it room: stays at the zone", {600, 200}, false, Rect(0, 0, 470, 1040),
         Rect(0, 0, 600, 1040)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WindowHandle window = addWindow(Rect(10, 10, 300, 200));
        ax.window(window.element).minimumSize = c.minimum;
        engine.centersWindowsThatCannotFill = [&] { return c.centring; };
        const SetFrameResult result = engine.setFrame(c.zone, window);
        EXPECT_EQ(result.achieved, c.ends);
        EXPECT_FALSE(result.succeeded());
        EXPECT_EQ(ax.window(window.element).frame, c.ends) << "where the window is";
        EXPECT_EQ(engine.minimumSize(window), c.minimum);
    }
    DisplayProvider::displaysOverride.reset();
}

// A terminal steps its size in character cells and takes the largest size that fits: smaller by
// less than one cell on each axis is a success, centred when the preference says so and at the
// zone's origin when it does not. Any other window keeps the 2.0-point rule. (The simulated window
// steps from its minimum size, its base, and stays at the origin written, as a window manager that
// ignores size increments leaves an xterm.)
TEST_F(AXWindowEngineTest, AWindowWithSizeStepsTakesTheLargestSizeThatFitsWhereTheCentringPreferenceSays) {
    const Rect zone(100, 100, 800, 600);
    struct Case {
        const char* name;
        std::function<void(SimAccessibility::Window&)> configure;
        Rect centred;    // the frame reached with centring on
        Rect atOrigin;   // with centring off
        bool succeeded;
    };
    const Case cases[] = {
        {"no size hints, 3 x 11 points short: refused", [](auto& w) { w.maximumSize = Size{797, 589}; },
         Rect(102, 106, 797, 589), Rect(100, 100, 797, 589), false},
        {"increment 1 is no step: refused", [](auto& w) { w.maximumSize = Size{797, 589}; w.sizeIncrement = {1, 1}; },
         Rect(102, 106, 797, 589), Rect(100, 100, 797, 589), false},
        {"6 x 13 cells on a 4 x 4 base: 4 x 11 short", [](auto& w) {
             w.minimumSize = {4, 4};
             w.sizeIncrement = {6, 13};
         },
         Rect(102, 106, 796, 589), Rect(100, 100, 796, 589), true},
        {"6 x 13 cells on a 20 x 30 base: as wide, 11 short", [](auto& w) {
             w.minimumSize = {20, 30};
             w.sizeIncrement = {6, 13};
         },
         Rect(100, 106, 800, 589), Rect(100, 100, 800, 589), true},
        {"a step on one axis only", [](auto& w) {
             w.minimumSize = {0, 4};
             w.sizeIncrement = {1, 13};
         },
         Rect(100, 106, 800, 589), Rect(100, 100, 800, 589), true},
        {"a whole cell short: refused", [](auto& w) {
             w.minimumSize = {4, 4};
             w.sizeIncrement = {6, 13};
             w.maximumSize = Size{790, 600};
         },
         Rect(105, 106, 790, 589), Rect(100, 100, 790, 589), false},
    };
    for (const Case& c : cases) {
        for (const bool centring : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (centring ? ", centring on" : ", centring off"));
            sink.clear();
            const WindowHandle window = addWindow(Rect(0, 0, 300, 200));
            c.configure(ax.window(window.element));
            engine.centersWindowsThatCannotFill = [&] { return centring; };

            const SetFrameResult result = engine.setFrame(zone, window);

            const Rect expected = centring ? c.centred : c.atOrigin;
            EXPECT_EQ(result.achieved, expected);
            EXPECT_EQ(ax.window(window.element).frame, expected);
            EXPECT_EQ(result.succeeded(), c.succeeded);
            // The frame where the other preference puts the window is no success under this one.
            if (c.centred != c.atOrigin) {
                SetFrameResult elsewhere = result;
                elsewhere.achieved = centring ? c.atOrigin : c.centred;
                EXPECT_FALSE(elsewhere.succeeded());
            }
            EXPECT_FALSE(result.unanswered);
            // Only a refusal is worth a log line.
            EXPECT_EQ(sink.messages("AXWindowEngine").size(), c.succeeded ? 0u : 1u);
        }
    }
}

// Nobody carries out the writes (no window manager runs): the first read-back ends the call, and
// the result says why the window stayed.
TEST_F(AXWindowEngineTest, WritesThatCannotBeCompletedEndTheCallAtOnceAndSaySo) {
    const Rect zone(100, 100, 800, 600);
    const WindowHandle window = addWindow(Rect(0, 0, 300, 200));
    ax.window(window.element).writeError = AXError::cannotComplete;
    ax.window(window.element).sizeIncrement = {6, 13};
    ax.clearRequests();
    const SetFrameResult result = engine.setFrame(zone, window);
    EXPECT_EQ(ax.requestLog(window.element), firstAttempt);
    EXPECT_EQ(result.achieved, Rect(0, 0, 300, 200));
    EXPECT_FALSE(result.succeeded());
    EXPECT_TRUE(result.unanswered);
    // Already there: nothing needed an answer.
    EXPECT_FALSE(engine.setFrame(Rect(0, 0, 300, 200), window).unanswered);
}

TEST_F(AXWindowEngineTest, EveryRequestWaitsAtMostHalfASecond) {
    EXPECT_EQ(ax.messagingTimeout(AXElement::systemWide()), 0.5f);
    engine.windows(7);
    EXPECT_EQ(ax.messagingTimeout(AXElement::application(7)), 0.5f);
    // Set before the application element's first use.
    EXPECT_EQ(ax.requestLog(AXElement::application(7)), (std::vector<std::string>{"timeout 0.5", "copy AXWindows"}));
}

TEST_F(AXWindowEngineTest, ListsOnlyStandardWindowsInTheApplicationsOrderForRegularApplications) {
    const WindowHandle first = addWindow(Rect(0, 0, 10, 10));
    const WindowHandle dialog = addWindow(Rect(0, 0, 10, 10));
    ax.window(dialog.element).subrole = std::string(ax::dialogSubrole);
    const WindowHandle unreadable = addWindow(Rect(0, 0, 10, 10));
    ax.window(unreadable.element).subrole.reset();
    const WindowHandle second = addWindow(Rect(0, 0, 10, 10));

    workspace.addApplication({7, "org.example.Panel", "Panel", ActivationPolicy::accessory, false});
    addWindow(Rect(0, 0, 10, 10), 7);
    workspace.addApplication({8, "org.example.Gone", "Gone", ActivationPolicy::regular, true});
    addWindow(Rect(0, 0, 10, 10), 8);
    workspace.addApplication({9, std::nullopt, "Other", ActivationPolicy::regular, false});
    const WindowHandle third = addWindow(Rect(0, 0, 10, 10), 9);

    EXPECT_EQ(engine.windows(editorPID), (std::vector<WindowHandle>{first, second}));
    EXPECT_EQ(engine.allWindows(), (std::vector<WindowHandle>{first, second, third}));
    EXPECT_TRUE(engine.windows(1234).empty());
}

TEST_F(AXWindowEngineTest, FindsTheFocusedWindowOfTheFrontmostOrOfAnApplicationByIdentifier) {
    EXPECT_FALSE(engine.focusedWindow());
    const WindowHandle window = addWindow(Rect(0, 0, 10, 10));
    workspace.setFrontmost(editorPID);
    EXPECT_FALSE(engine.focusedWindow());  // no focused window
    ax.setFocusedWindow(editorPID, window.element);
    EXPECT_EQ(engine.focusedWindow(), window);

    // The first instance is terminated: the second one's window. Its focused window is absent, so
    // its first standard window.
    workspace.addApplication({50, "org.example.Viewer", "Viewer", ActivationPolicy::regular, true});
    workspace.addApplication({51, "org.example.Viewer", "Viewer", ActivationPolicy::regular, false});
    workspace.addApplication({52, "org.example.Viewer", "Viewer", ActivationPolicy::regular, false});
    addWindow(Rect(0, 0, 10, 10), 50);
    const WindowHandle viewer = addWindow(Rect(0, 0, 10, 10), 51);
    EXPECT_EQ(engine.focusedWindow("org.example.Viewer"), viewer);
    EXPECT_EQ(engine.focusedWindow("org.example.Viewer")->pid, 51);

    // Only the first running instance counts, even when it has no windows and a later one has.
    ax.closeWindow(viewer.element);
    addWindow(Rect(0, 0, 10, 10), 52);
    EXPECT_FALSE(engine.focusedWindow("org.example.Viewer"));
    EXPECT_FALSE(engine.focusedWindow("org.example.Missing"));
}

TEST_F(AXWindowEngineTest, TheWindowAtAPointIsFoundThroughWhateverIsUnderIt) {
    const WindowHandle window = addWindow(Rect(100, 100, 400, 300), 77);
    ax.addChild(window.element, Rect(110, 110, 30, 20));
    EXPECT_EQ(engine.window(Point{120, 115}), window);
    EXPECT_EQ(engine.window(Point{120, 115})->pid, 77);
    EXPECT_EQ(engine.window(Point{300, 300}), window);
    EXPECT_FALSE(engine.window(Point{900, 900}));
    ax.setHitTestError(AXError::cannotComplete);
    EXPECT_FALSE(engine.window(Point{120, 115}));
}

// A press on the title bar is what the drag controller trusts to move the window without reading
// its frame: only the bar itself may say so, not a button on it nor the window's content.
TEST_F(AXWindowEngineTest, AHitOnTheTitleBarSaysSoAndAnythingElseOnTheWindowDoesNot) {
    const WindowHandle window = addWindow(Rect(100, 100, 400, 300), 77);
    ax.addChild(window.element, Rect(100, 100, 400, 22), std::string(ax::titleBarRole));
    ax.addChild(window.element, Rect(104, 104, 14, 14), "AXButton");
    const struct {
        const char* name;
        Point at;
        bool onTitleBar;
    } cases[] = {
        {"the bar", Point{300, 110}, true},
        {"a button on the bar", Point{110, 110}, false},
        {"the window's content", Point{300, 300}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(engine.windowHit(c.at), (WindowHit{window, c.onTitleBar}));
        EXPECT_EQ(engine.window(c.at), window);
    }
    EXPECT_FALSE(engine.windowHit(Point{900, 900}));
}

TEST_F(AXWindowEngineTest, InfoReadsASnapshotAndIsAbsentForAWindowThatIsGone) {
    const WindowHandle window = addWindow(Rect(10, 20, 300, 200));
    ax.window(window.element).readOverrides.insert_or_assign(std::string(ax::minimizedAttribute), unexpected(AXError::noValue));
    EXPECT_EQ(engine.info(window),
              (WindowInfo{window, "org.example.Editor", "Doc", Rect(10, 20, 300, 200), false, true}));

    auto& record = ax.window(window.element);
    record.readOverrides.clear();
    record.minimized = true;
    record.subrole = std::string(ax::floatingWindowSubrole);
    record.readOverrides.insert_or_assign(std::string(ax::titleAttribute), AXValue{true});  // not a string
    const WindowInfo info = *engine.info(window);
    EXPECT_TRUE(info.isMinimized);
    EXPECT_FALSE(info.isStandard);
    EXPECT_FALSE(info.title);

    const WindowHandle stranger = addWindow(Rect(0, 0, 10, 10), 555);  // no running-application record
    EXPECT_FALSE(engine.info(stranger)->bundleIdentifier);

    ax.window(window.element).readOverrides.insert_or_assign(std::string(ax::sizeAttribute), unexpected(AXError::cannotComplete));
    EXPECT_FALSE(engine.info(window));
    EXPECT_FALSE(engine.frame(window));
    ax.closeWindow(window.element);
    EXPECT_FALSE(engine.info(window));
}

TEST_F(AXWindowEngineTest, RaisingPerformsTheActionAndActivatesTheApplication) {
    const WindowHandle back = addWindow(Rect(0, 0, 10, 10));
    addWindow(Rect(0, 0, 10, 10));
    engine.raise(back);
    EXPECT_EQ(ax.stackingOrder().front(), back.element);
    EXPECT_EQ(workspace.activations(), std::vector<ProcessID>{editorPID});

    // A process without an application record is raised but not activated.
    const WindowHandle stranger = addWindow(Rect(0, 0, 10, 10), 555);
    engine.raise(stranger);
    EXPECT_EQ(ax.requestLog(stranger.element), std::vector<std::string>{"perform AXRaise"});
    EXPECT_EQ(workspace.activations(), std::vector<ProcessID>{editorPID});
}
