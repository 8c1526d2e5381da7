#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/SimScreens.h"

using namespace tessary;

namespace {

std::optional<Rect> frameOf(SimAccessibility& ax, const AXElement& window) {
    auto position = ax.copyAttributeValue(window, ax::positionAttribute);
    auto size = ax.copyAttributeValue(window, ax::sizeAttribute);
    if (!position || !size) return std::nullopt;
    return Rect(std::get<Point>(position.value()), std::get<Size>(size.value()));
}

}  // namespace

TEST(SimAccessibility, WritesObeyTheWindowsSizeRules) {
    struct Case {
        const char* name;
        std::function<void(SimAccessibility::Window&)> configure;
        std::vector<std::pair<std::string_view, AXValue>> writes;
        Rect expected;
        AXError lastResult = AXError::success;
    };
    const Rect start(0, 0, 1900, 1000);
    const Case cases[] = {
        {"free", [](auto&) {}, {{ax::positionAttribute, Point{10, 20}}, {ax::sizeAttribute, Size{300, 200}}},
         Rect(10, 20, 300, 200)},
        {"minimum", [](auto& w) { w.minimumSize = {500, 100}; }, {{ax::sizeAttribute, Size{300, 200}}},
         Rect(0, 0, 500, 200)},
        {"maximum", [](auto& w) { w.maximumSize = Size{800, 600}; }, {{ax::sizeAttribute, Size{900, 500}}},
         Rect(0, 0, 800, 500)},
        {"steps from the minimum", [](auto& w) { w.minimumSize = {20, 10}; w.sizeIncrement = {7, 13}; },
         {{ax::sizeAttribute, Size{800, 600}}}, Rect(0, 0, 797, 595)},
        // Moving a wide window right is pulled back so it stays inside; a size is cut at the origin.
        {"confined position", [](auto& w) { w.confinedTo = Rect(0, 0, 1920, 1080); },
         {{ax::positionAttribute, Point{1000, 0}}}, Rect(20, 0, 1900, 1000)},
        {"confined size", [](auto& w) { w.confinedTo = Rect(0, 0, 1920, 1080); w.frame = Rect(1000, 100, 400, 300); },
         {{ax::sizeAttribute, Size{1500, 1500}}}, Rect(1000, 100, 920, 980)},
        {"not movable", [](auto& w) { w.movable = false; }, {{ax::positionAttribute, Point{5, 5}}}, start,
         AXError::attributeUnsupported},
        {"not resizable", [](auto& w) { w.resizable = false; }, {{ax::sizeAttribute, Size{5, 5}}}, start,
         AXError::attributeUnsupported},
        {"wrong value type", [](auto&) {}, {{ax::sizeAttribute, Point{5, 5}}}, start, AXError::illegalArgument},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimAccessibility ax;
        const AXElement window = ax.addWindow(7, start);
        c.configure(ax.window(window));
        AXError result = AXError::success;
        for (const auto& [attribute, value] : c.writes) result = ax.setAttributeValue(window, attribute, value);
        EXPECT_EQ(result, c.lastResult);
        EXPECT_EQ(frameOf(ax, window), c.expected);
    }
}

TEST(SimAccessibility, AWindowVanishesAfterItsCountOfRequestsAndEverythingOnItFailsThen) {
    SimAccessibility ax;
    const AXElement window = ax.addWindow(7, Rect(0, 0, 100, 100), "doc");
    ax.window(window).requestsBeforeVanishing = 2;
    EXPECT_EQ(ax.setAttributeValue(window, ax::positionAttribute, Point{1, 1}), AXError::success);
    EXPECT_TRUE(ax.copyAttributeValue(window, ax::titleAttribute));
    EXPECT_EQ(ax.copyAttributeValue(window, ax::titleAttribute).error(), AXError::invalidUIElement);
    EXPECT_FALSE(ax.hasWindow(window));
    EXPECT_EQ(ax.pid(window).error(), AXError::invalidUIElement);
    EXPECT_EQ(ax.performAction(window, ax::raiseAction), AXError::invalidUIElement);
    EXPECT_TRUE(std::get<std::vector<AXElement>>(ax.copyAttributeValue(AXElement::application(7), ax::windowsAttribute).value()).empty());
    EXPECT_EQ(ax.requestLog(window),
              (std::vector<std::string>{"set AXPosition (1, 1)", "copy AXTitle", "copy AXTitle", "pid", "perform AXRaise"}));
}

TEST(SimAccessibility, HitTestingFindsTheFrontmostWindowAndTheChildInsideIt) {
    SimAccessibility ax;
    const AXElement back = ax.addWindow(1, Rect(0, 0, 500, 500));
    const AXElement front = ax.addWindow(2, Rect(100, 100, 200, 200));
    const AXElement button = ax.addChild(front, Rect(110, 110, 20, 20));
    const AXElement systemWide = AXElement::systemWide();

    EXPECT_EQ(ax.copyElementAtPosition(systemWide, 150, 150).value(), front);
    EXPECT_EQ(ax.copyElementAtPosition(systemWide, 115, 115).value(), button);
    EXPECT_EQ(std::get<AXElement>(ax.copyAttributeValue(button, ax::windowAttribute).value()), front);
    EXPECT_EQ(ax.pid(button).value(), 2);
    EXPECT_EQ(ax.copyElementAtPosition(systemWide, 50, 50).value(), back);
    EXPECT_EQ(ax.copyElementAtPosition(systemWide, 600, 50).error(), AXError::noValue);

    // Raising brings a window to the front and makes it its application's focused window.
    EXPECT_EQ(ax.performAction(back, ax::raiseAction), AXError::success);
    EXPECT_EQ(ax.copyElementAtPosition(systemWide, 150, 150).value(), back);
    EXPECT_EQ(std::get<AXElement>(ax.copyAttributeValue(AXElement::application(1), ax::focusedWindowAttribute).value()), back);
}

TEST(SimAccessibility, ObserversAnswerAsScriptedAndDeliverOnlyWhenStarted) {
    SimAccessibility ax;
    ax.addApplication(7);
    ax.scriptAddNotificationResults(7, {AXError::cannotComplete});
    std::vector<AXElement> created;
    const auto callback = [&](const AXElement& element, std::string_view name) {
        if (name == ax::windowCreatedNotification) created.push_back(element);
    };
    const AXObserverID refused = ax.createObserver(7, callback).value();
    EXPECT_EQ(ax.addNotification(refused, AXElement::application(7), ax::windowCreatedNotification),
              AXError::cannotComplete);
    ax.removeObserver(refused);

    const AXObserverID observer = ax.createObserver(7, callback).value();
    EXPECT_EQ(ax.addNotification(observer, AXElement::application(7), ax::windowCreatedNotification), AXError::success);
    ax.addWindow(7, Rect(0, 0, 10, 10));  // not started: nothing delivered
    ax.startObserver(observer);
    const AXElement window = ax.addWindow(7, Rect(0, 0, 10, 10));
    ax.addWindow(8, Rect(0, 0, 10, 10));  // another process
    EXPECT_EQ(created, std::vector<AXElement>{window});
    EXPECT_EQ(ax.activeObserverCount(7), 1u);
    ax.removeObserver(observer);
    EXPECT_EQ(ax.activeObserverCount(7), 0u);

    ax.setCreateObserverError(9, AXError::failure);
    EXPECT_EQ(ax.createObserver(9, callback).error(), AXError::failure);
}

TEST(SimApplicationWorkspace, AnnouncesLaunchesAndTerminationsAndActivates) {
    SimApplicationWorkspace workspace;
    std::vector<std::string> notices;
    Subscription launched = workspace.onLaunch([&](const RunningApplication& app) { notices.push_back("launch " + app.localizedName); });
    Subscription terminated = workspace.onTerminate([&](const RunningApplication& app) {
        notices.push_back("terminate " + app.localizedName + (app.isTerminated ? " (terminated)" : ""));
    });
    workspace.addApplication({1, "org.example.Quiet", "Quiet", ActivationPolicy::regular, false});
    workspace.launch({2, "org.example.Editor", "Editor", ActivationPolicy::regular, false});
    EXPECT_TRUE(workspace.activate(2));
    EXPECT_EQ(workspace.frontmostApplication()->pid, 2);
    workspace.terminate(2);
    workspace.terminate(99);
    EXPECT_FALSE(workspace.frontmostApplication());
    EXPECT_FALSE(workspace.activate(2));
    EXPECT_EQ(notices, (std::vector<std::string>{"launch Editor", "terminate Editor (terminated)"}));
    EXPECT_EQ(workspace.runningApplicationsWithBundleIdentifier("org.example.Quiet").size(), 1u);
    EXPECT_EQ(workspace.activations(), (std::vector<ProcessID>{2, 2}));
}

TEST(SimScreens, AnnouncesEveryChange) {
    SimScreens screens;
    int changes = 0;
    Subscription subscription = screens.onChange([&] { ++changes; });
    screens.setScreens({SimScreens::makeScreen(1, Rect(0, 0, 1920, 1080), "DP-1", 32)});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(screens.screens().front().workArea, Rect(0, 32, 1920, 1048));
}
