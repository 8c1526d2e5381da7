// The program's own windows: where they open (inside the display under the pointer, never across
// two), what a closed one gives back (its native window and backing store), and how each comes
// back after that (where it was, with what its owner keeps).

#include <gtest/gtest.h>

#include <QCursor>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/editor/ui/LayoutEditorWindowController.h"
#include "Tessary/integrations/ui/AboutWindowController.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/services/PreviewPresenting.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/OwnWindowPlacement.h"
#include "Tessary/shell/ui/ClosedWindowRelease.h"
#include "Tessary/shell/ui/ConfirmDestructive.h"
#include "Tessary/shell/ui/WindowCentring.h"
#include "tests/Tessary/AppWorld.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

// Two displays side by side, the right one smaller and with a panel on top; the left is primary.
const DisplayInfo left = makeDisplay(1, "LEFT", Rect(0, 0, 1920, 1080));
const DisplayInfo right = [] {
    DisplayInfo display = makeDisplay(2, "RIGHT", Rect(1920, 0, 1280, 1024));
    display.workArea = Rect(1920, 24, 1280, 1000);
    display.isPrimary = false;
    return display;
}();

TEST(OwnWindowPlacement, OpensCentredInTheWorkAreaOfTheDisplayUnderThePointer) {
    struct Row {
        const char* name;
        std::optional<Point> pointer;
        Size frame;
        Rect expected;
    };
    const Row rows[] = {
        {"pointer on the right display", Point{2500, 500}, Size{600, 400}, Rect(2260, 324, 600, 400)},
        {"pointer on the left display", Point{10, 10}, Size{600, 400}, Rect(660, 340, 600, 400)},
        {"pointer on the boundary belongs to the right", Point{1920, 0}, Size{600, 400}, Rect(2260, 324, 600, 400)},
        {"pointer off every display: the primary", Point{-50, 5000}, Size{600, 400}, Rect(660, 340, 600, 400)},
        {"no pointer: the primary", std::nullopt, Size{600, 400}, Rect(660, 340, 600, 400)},
        {"taller than the work area: from its top", Point{2500, 500}, Size{600, 1100}, Rect(2260, 24, 600, 1100)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto display = OwnWindowPlacement::displayFor(row.pointer, {left, right});
        ASSERT_TRUE(display);
        EXPECT_EQ(OwnWindowPlacement::centred(row.frame, *display), row.expected);
    }
    EXPECT_FALSE(OwnWindowPlacement::displayFor(Point{1, 1}, {}));
}

TEST(OwnWindowPlacement, AFrameIsInsideOneDisplayOnlyWhollyInsideOne) {
    struct Row {
        const char* name;
        Rect frame;
        bool inside;
    };
    const Row rows[] = {
        {"inside the left", Rect(100, 100, 600, 400), true},
        {"touching the boundary from the left", Rect(1320, 100, 600, 400), true},
        {"across the boundary", Rect(1639, 280, 560, 520), false},
        {"below the right display's bottom", Rect(2000, 800, 600, 400), false},
        {"off every display", Rect(-700, 0, 600, 400), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(OwnWindowPlacement::insideOneDisplay(row.frame, {left, right}), row.inside);
    }
}

// The offscreen platform has one 800 x 600 screen; the program's display list splits it in two, as
// `xrandr --setmonitor` splits one output.
class WindowsOnOneDisplay : public ::testing::Test {
protected:
    WindowsOnOneDisplay() {
        qttest::qtApplication();
        DisplayProvider::displaysOverride =
            std::vector<DisplayInfo>{makeDisplay(1, "L", Rect(0, 0, 400, 600)), makeDisplay(2, "R", Rect(400, 0, 400, 600))};
    }
    ~WindowsOnOneDisplay() override { DisplayProvider::displaysOverride.reset(); }
};

TEST_F(WindowsOnOneDisplay, AWindowOpensOnThePointersDisplayAndKeepsAPlaceInsideOne) {
    QWidget window;
    window.resize(200, 100);
    QCursor::setPos(600, 300);
    placeOnPointerDisplay(window);
    EXPECT_EQ(window.pos(), QPoint(500, 250)) << "centred on the right display";
    auto centre = [&window] { return window.frameGeometry().center(); };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    window.move(20, 30);
    window.close();
    QCursor::setPos(600, 300);
    placeOnPointerDisplay(window);
    EXPECT_EQ(window.pos(), QPoint(20, 30)) << "where the user left it, inside one display";

    window.move(300, 30);
    placeOnPointerDisplay(window);
    // Now with the frame the platform gave it (the offscreen one reports it a few pixels off).
    EXPECT_NEAR(centre().x(), 600, 4) << "left across two displays: centred again";
    EXPECT_NEAR(centre().y(), 300, 4);
}

TEST_F(WindowsOnOneDisplay, AnAlertWithoutParentIsCentredOnThePointersDisplay) {
    QCursor::setPos(100, 100);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(alert, nullptr);
        shown = true;
        const QRect frame = alert->geometry();
        EXPECT_GE(frame.left(), 0);
        EXPECT_LE(frame.right(), 399) << "inside the left display: " << frame.x() << " " << frame.width();
        EXPECT_NEAR(frame.center().x(), 200, 2);
        alert->reject();
    });
    confirmDestructive(nullptr, "Delete?", "This cannot be undone.", "Delete", [] {});
    EXPECT_TRUE(shown);
}

// What closing gives back, and what stays.
class ClosedWindows : public ::testing::Test {
protected:
    ClosedWindows() {
        qttest::qtApplication();
        DisplayProvider::displaysOverride = std::vector<DisplayInfo>{makeDisplay(1, "ONE", Rect(0, 0, 1920, 1080))};
    }
    ~ClosedWindows() override { DisplayProvider::displaysOverride.reset(); }

    void show(QWidget& window) {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_NE(window.windowHandle(), nullptr);
    }
    // Closed as the close button closes it; the release comes after the event.
    void closeAndRelease(QWidget& window) {
        release.watch(&window);
        window.close();
        EXPECT_NE(window.windowHandle(), nullptr) << "not while the closing event runs";
        scheduler.runDue();
        EXPECT_EQ(window.windowHandle(), nullptr) << "the native window stayed";
        EXPECT_EQ(window.backingStore(), nullptr) << "the backing store stayed";
    }

    VirtualScheduler scheduler;
    ClosedWindowRelease release{scheduler};
};

TEST_F(ClosedWindows, OnlyAClosedWindowGivesBackItsNativeWindow) {
    QWidget open, closed;
    show(open);
    show(closed);
    release.watch(&open);
    closeAndRelease(closed);
    EXPECT_NE(open.windowHandle(), nullptr) << "a window still open keeps its own";
    EXPECT_TRUE(open.isVisible());
    show(closed);
    EXPECT_NE(closed.backingStore(), nullptr) << "shown again, it has a new one";
}

// A close gives back the font engines and their glyph caches; windows still open, and the closed
// one shown again, draw their texts as before.
TEST_F(ClosedWindows, TextsDrawAsBeforeOnceTheFontsAreGivenBack) {
    QLabel open(QStringLiteral("Zones \u2014 1 2 3")), closed(QStringLiteral("<b>Bold</b> and plain"));
    QFont big = open.font();
    big.setPointSize(28);
    open.setFont(big);
    show(open);
    show(closed);
    const QImage openBefore = open.grab().toImage(), closedBefore = closed.grab().toImage();
    closeAndRelease(closed);
    EXPECT_EQ(open.grab().toImage(), openBefore);
    show(closed);
    EXPECT_EQ(closed.grab().toImage(), closedBefore);
}

// Its contents too may go once it is closed: shown again, it is drawn as before and its buttons act.
TEST_F(ClosedWindows, AboutComesBackWhereTheUserLeftIt) {
    int feedbackAsked = 0;
    AboutWindowController about({[] {}, [&] { ++feedbackAsked; }, [] {}}, {"Debian GNU/Linux 12", "", ""});
    about.show();
    ASSERT_NO_FATAL_FAILURE(show(*about.window()));
    about.window()->move(40, 50);
    const QStringList buttons = [&] {
        QStringList texts;
        for (auto* button : about.window()->findChildren<QPushButton*>()) texts << button->text();
        return texts;
    }();
    const QImage drawn = about.window()->grab().toImage();
    closeAndRelease(*about.window());
    about.releaseContents();
    EXPECT_TRUE(about.window()->findChildren<QPushButton*>().isEmpty()) << "the closed window kept its contents";
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about.window()));
    EXPECT_EQ(about.window()->pos(), QPoint(40, 50));
    EXPECT_EQ(about.window()->findChildren<QPushButton*>().size(), buttons.size());
    EXPECT_EQ(about.window()->grab().toImage(), drawn) << "drawn as before it closed";
    for (auto* button : about.window()->findChildren<QPushButton*>()) {
        if (button->text().startsWith(QStringLiteral("Send Feedback"))) button->click();
    }
    EXPECT_EQ(feedbackAsked, 1);
    about.show();
    about.releaseContents();
    EXPECT_EQ(about.window()->findChildren<QPushButton*>().size(), buttons.size()) << "an open window keeps them";
}

class SilentPreview final : public PreviewPresenting {
public:
    void showPreview(const std::vector<OverlayItem>&) override { ++shows; }
    void hidePreview() override {}
    int shows = 0;
};

TEST_F(ClosedWindows, TheEditorComesBackWithItsSelectionAndWithoutAPreview) {
    EditorWorld world({gridLayout("Two", ZoneGrid::uniform(1, 2)), gridLayout("Three", ZoneGrid::uniform(1, 3))});
    SilentPreview overlay;
    LayoutEditorWindowController editor(*world.zones, overlay, world.scheduler);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.window()));
    editor.model().setSelectedLayoutID(world.layout(1).id);
    editor.model().setPreviewDisplayID(1);
    closeAndRelease(*editor.window());
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.window()));
    EXPECT_EQ(editor.window()->windowTitle(), "Three");
    EXPECT_EQ(editor.model().selectedLayoutID(), world.layout(1).id);
    EXPECT_EQ(editor.model().previewDisplayID(), std::nullopt);
    EXPECT_EQ(editor.window()->size(), QSize(1120, 700));
}

TEST_F(ClosedWindows, SettingsComeBackOnThePaneLastShown) {
    SimAccessibility accessibility;
    MemoryLoginItems loginItems;
    MemoryUserDefaults defaults;
    AppState state{loginItems, scheduler};
    Preferences preferences{defaults};
    AppActions actions;
    SettingsSelection selection{state};
    SettingsWindow window(SettingsContext{state, preferences, actions, selection, nullptr, {}, &defaults,
                                          [] { return nullptr; }, std::nullopt, nullptr, nullptr, nullptr, nullptr,
                                          nullptr});
    show(window);
    selection.select(SettingsSection::shortcuts);
    EXPECT_EQ(window.paneTitle(), "Shortcuts");
    closeAndRelease(window);
    EXPECT_EQ(window.pane(), nullptr) << "a closed window holds no pane";
    show(window);
    EXPECT_EQ(window.paneTitle(), "Shortcuts");
    ASSERT_NE(window.sidebar(), nullptr);
    EXPECT_EQ(window.sidebar()->currentRow(), static_cast<int>(SettingsSection::shortcuts));
}

// Through the delegate: every window it makes opens on the pointer's display and gives its native
// window back once closed; the feedback form alone starts afresh.
TEST(AppDelegateWindows, OpenOnThePointersDisplayAndGiveBackTheirNativeWindowsWhenClosed) {
    AppWorld world;
    AppDelegate& delegate = world.launched();
    // The side display is (1000, 0, 800, 600); Qt's one screen does not reach it.
    QCursor::setPos(1400, 300);
    delegate.showAbout();
    delegate.showEditor();
    delegate.showSettings(std::nullopt);
    world.scheduler.runDue();
    for (QWidget* window : {delegate.aboutWindow(), delegate.editorWindow(), delegate.settingsWindow()}) {
        ASSERT_NE(window, nullptr);
        SCOPED_TRACE(window->windowTitle().toStdString());
        EXPECT_TRUE(window->isVisible());
        const QRect frame = window->frameGeometry();
        EXPECT_GE(frame.left(), 1000) << "on the side display";
        if (frame.width() <= 800) {
            EXPECT_NEAR(frame.center().x(), 1400, 3) << "centred on it";
        }
        window->close();
    }
    world.scheduler.runDue();
    for (QWidget* window : {delegate.aboutWindow(), delegate.editorWindow(), delegate.settingsWindow()}) {
        EXPECT_EQ(window->windowHandle(), nullptr) << window->windowTitle().toStdString();
    }
    QWidget* about = delegate.aboutWindow();
    delegate.showAbout();
    EXPECT_EQ(delegate.aboutWindow(), about) << "the same window, made anew on the X server only";
    EXPECT_NE(about->windowHandle(), nullptr);
    EXPECT_EQ(world.made("about"), 1);
}

}  // namespace
