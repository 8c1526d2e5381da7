#include <gtest/gtest.h>

#include "Platform/Sim/SimAccessibility.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "WindowEngine/FakeWindowEngine.h"

using namespace tessary;

TEST(FakeWindowEngine, MintsElementsFromItsOwnCounterWhateverTheProcess) {
    FakeWindowEngine engine;
    const WindowHandle first = engine.addWindow("org.example.A", 7, "One", Rect(0, 0, 100, 100));
    const WindowHandle second = engine.addWindow("org.example.A", 7, "Two", Rect(0, 0, 100, 100));
    EXPECT_EQ(first.element, AXElement::application(10000));
    EXPECT_EQ(second.element, AXElement::application(10001));
    EXPECT_EQ(first.pid, 7);
    EXPECT_EQ(engine.nextElementPID, 10002);
    EXPECT_EQ(engine.info(first), (WindowInfo{first, "org.example.A", "One", Rect(0, 0, 100, 100), false, true}));
    EXPECT_EQ(engine.windows(7), (std::vector<WindowHandle>{first, second}));
    EXPECT_TRUE(engine.windows(10000).empty());
}

TEST(FakeWindowEngine, SetFrameKeepsTheOriginObeysTheMinimumSizeAndRecordsTheRequest) {
    FakeWindowEngine engine;
    const WindowHandle window = engine.addWindow(std::nullopt, 1, std::nullopt, Rect(0, 0, 600, 600), Size{500, 200});
    const SetFrameResult result = engine.setFrame(Rect(10, 20, 400, 300), window);
    EXPECT_EQ(result, (SetFrameResult{Rect(10, 20, 400, 300), Rect(10, 20, 500, 300)}));
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(engine.frame(window), Rect(10, 20, 500, 300));

    engine.removeWindow(window);
    EXPECT_EQ(engine.setFrame(Rect(0, 0, 1, 1), window), (SetFrameResult{Rect(0, 0, 1, 1), std::nullopt}));
    EXPECT_EQ(engine.setFrameCalls, (std::vector<FakeWindowEngine::SetFrameCall>{{window, Rect(10, 20, 400, 300)},
                                                                                  {window, Rect(0, 0, 1, 1)}}));
    EXPECT_FALSE(engine.info(window));
    EXPECT_FALSE(engine.frame(window));
}

TEST(FakeWindowEngine, FocusFollowsRaisingAndRemoval) {
    FakeWindowEngine engine;
    const WindowHandle a = engine.addWindow("org.example.A", 1, "A", Rect(0, 0, 100, 100), {}, true);
    const WindowHandle b = engine.addWindow("org.example.B", 2, "B", Rect(50, 50, 100, 100));
    const WindowHandle b2 = engine.addWindow("org.example.B", 2, "B2", Rect(500, 500, 100, 100));
    EXPECT_EQ(engine.focusedWindow(), a);
    EXPECT_EQ(engine.focusedWindow("org.example.A"), a);
    EXPECT_EQ(engine.focusedWindow("org.example.B"), b);  // not focused: the first in table order
    EXPECT_FALSE(engine.focusedWindow("org.example.C"));

    engine.raise(b2);
    engine.raise(b2);
    EXPECT_EQ(engine.focusedWindow(), b2);
    EXPECT_EQ(engine.focusedWindow("org.example.B"), b2);
    EXPECT_EQ(engine.raised, (std::vector<WindowHandle>{b2, b2}));

    engine.removeWindow(a);
    EXPECT_EQ(engine.focusedWindow(), b2);
    engine.removeWindow(b2);
    EXPECT_FALSE(engine.focusedWindow());
    EXPECT_EQ(engine.window(Point{60, 60}), b);
    EXPECT_FALSE(engine.window(Point{150, 150}));  // the right and bottom edges are outside
    EXPECT_EQ(engine.allWindows(), std::vector<WindowHandle>{b});
}

TEST(AccessibilityPermission, AsksTheInstalledBackEndAndHasNoSettingsLink) {
    EXPECT_FALSE(AccessibilityPermission::isTrusted());
    SimAccessibility ax;
    AccessibilityPermission::setAccessibility(&ax);
    ax.trusted = false;
    EXPECT_FALSE(AccessibilityPermission::isTrusted());
    EXPECT_EQ(ax.promptCount(), 0);
    EXPECT_FALSE(AccessibilityPermission::requestTrust());
    EXPECT_EQ(ax.promptCount(), 1);
    ax.trusted = true;
    EXPECT_TRUE(AccessibilityPermission::isTrusted());
    EXPECT_FALSE(AccessibilityPermission::settingsURL());
    AccessibilityPermission::setAccessibility(nullptr);
}
