#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "Platform/Linux/AutostartLoginItems.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/ui/LayoutThumbnail.h"
#include "Tessary/shell/ui/OnboardingView.h"
#include "Tessary/shell/ui/StatusTag.h"
#include "QtApplication.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;

namespace {

struct Calls {
    std::vector<std::string> log;
    OnboardingView::Actions actions() {
        return {[this] { log.push_back("refresh"); }, [this] { log.push_back("request"); },
                [this](bool on) { log.push_back(on ? "login on" : "login off"); },
                [this](const std::string& url) { log.push_back("open " + url); }, [this] { log.push_back("done"); }};
    }
};

}  // namespace

TEST(Onboarding, WhatEachStateShows) {
    qttest::qtApplication();
    struct Row {
        const char* name;
        OnboardingModel model;
        bool requestShown, settingsShown, doneEnabled;
        const char* tag;
        const char* footer;
        std::vector<bool> badgesDone;
    };
    // The member types are named: GCC 12 at -O3 falsely warns that a string of a nested braced
    // member may be used uninitialised.
    const std::vector<Row> rows{
        {"untrusted", OnboardingModel{false, false, ""}, true, false, false, "Not granted",
         "Step 1 is required. You can change the rest in Settings.", {false, false, false}},
        {"trusted, launching at login", OnboardingModel{true, true, ""}, false, false, true, "Granted",
         "You can change the rest in Settings.", {true, true, false}},
        {"a desktop with a settings page", OnboardingModel{false, false, "settings://window-control"}, true, true, false,
         "Not granted", "Step 1 is required. You can change the rest in Settings.", {false, false, false}},
    };
    for (const Row& row : rows) {
        Calls calls;
        OnboardingView view(calls.actions());
        view.setModel(row.model);
        view.resize(560, 520);
        view.show();
        EXPECT_EQ(view.requestButton()->isVisible(), row.requestShown) << row.name;
        EXPECT_EQ(view.openSettingsButton()->isVisible(), row.settingsShown) << row.name;
        EXPECT_EQ(view.doneButton()->isEnabled(), row.doneEnabled) << row.name;
        EXPECT_EQ(view.statusTag()->text(), row.tag) << row.name;
        EXPECT_EQ(view.footerLabel()->text(), row.footer) << row.name;
        EXPECT_EQ(view.launchAtLoginToggle()->isChecked(), row.model.launchAtLogin) << row.name;
        std::vector<bool> done;
        for (int i = 1; i <= 3; ++i) done.push_back(view.badge(i)->isDone());
        EXPECT_EQ(done, row.badgesDone) << row.name;
        EXPECT_EQ(view.badge(1)->accessibleName(), row.model.trusted ? "Step 1, complete" : "Step 1") << row.name;
        EXPECT_EQ(calls.log, (std::vector<std::string>{"refresh"})) << row.name << ": showing re-reads trust";
        qttest::screenshot(view, "view-blocks", QString("onboarding-") + QString(row.name).replace(' ', '-').remove(','));
    }
}

// The texts name the key that shows the zones: Ctrl after a first start beside kwin, none at all
// when the zones show on every drag.
TEST(Onboarding, TheTextsNameTheKeyThatShowsTheZones) {
    qttest::qtApplication();
    struct Row {
        ActivationModifier key;
        const char* subtitle;
        const char* tryIt;
    };
    const Row rows[] = {
        {ActivationModifier::shift, "Two things to set up, then hold Shift while dragging any window.",
         "Hold Shift while dragging a window. Zones appear; drop to snap."},
        {ActivationModifier::control, "Two things to set up, then hold Ctrl while dragging any window.",
         "Hold Ctrl while dragging a window. Zones appear; drop to snap."},
        {ActivationModifier::always, "Two things to set up, then drag any window.",
         "Drag a window. Zones appear; drop to snap."},
    };
    Calls calls;
    OnboardingView view(calls.actions());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.subtitle);
        view.setModel(OnboardingModel{true, false, "", row.key});
        EXPECT_EQ(view.subtitleLabel()->text(), row.subtitle);
        EXPECT_EQ(view.tryItLabel()->text(), row.tryIt);
    }
}

TEST(Onboarding, OnlyTheUsersChoicesAct) {
    qttest::qtApplication();
    Calls calls;
    OnboardingModel model{false, false, ""};
    OnboardingWindowController controller(calls.actions(), model);
    controller.show();
    QDialog* window = controller.window();
    QTest::keyClick(window, Qt::Key_Return);
    controller.setModel({false, true, ""});  // the state changed elsewhere: nothing is written back
    QTest::mouseClick(controller.view()->requestButton(), Qt::LeftButton);
    QTest::mouseClick(controller.view()->launchAtLoginToggle(), Qt::LeftButton);
    controller.setModel({true, false, ""});
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"refresh", "request", "login off", "done"}));
    EXPECT_FALSE(window->isVisible()) << "Done closes the window";
    controller.show();
    EXPECT_TRUE(window->isVisible()) << "the same window shows again";
    EXPECT_EQ(window->windowTitle(), "Welcome to Tessary");

    // Step 3's picture says what its text says: screen readers do not hear its zones.
    auto* picture = controller.view()->findChild<LayoutThumbnail*>();
    ASSERT_NE(picture, nullptr);
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(picture);
    EXPECT_TRUE(access->state().invisible);
    EXPECT_EQ(access->childCount(), 0);
}

// Launch at login over the real autostart entry, wired to the shared state as the program wires
// it. An autostart "folder" that is a file refuses the change: the box shows the real state again.
TEST(Onboarding, TheLaunchAtLoginBoxShowsWhatTheSystemKept) {
    qttest::qtApplication();
    struct Row {
        const char* name;
        bool refused;
        bool checkedAfterClick;
    };
    const Row rows[] = {{"accepted", false, true}, {"refused", true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TemporaryFolder folder;
        const auto autostart = folder.path() / "config" / "autostart";
        std::filesystem::create_directories(autostart.parent_path());
        if (row.refused) std::ofstream(autostart) << "not a folder";
        RecordingLogSink sink;
        ScopedLogSink scoped(sink);
        AutostartLoginItems loginItems(autostart / "tessary.desktop", "/usr/bin/tessary");
        VirtualScheduler scheduler;
        AppState state(loginItems, scheduler);
        auto model = [&state] { return OnboardingModel{true, state.launchAtLogin(), ""}; };
        OnboardingView view({nullptr, nullptr, [&state](bool on) { state.setLaunchAtLogin(on); }, nullptr, nullptr});
        view.setModel(model());
        const Subscription watch = state.observe([&](AppStateField) { view.setModel(model()); });
        view.show();

        QTest::mouseClick(view.launchAtLoginToggle(), Qt::LeftButton);
        EXPECT_EQ(state.launchAtLogin(), row.checkedAfterClick);
        EXPECT_EQ(view.launchAtLoginToggle()->isChecked(), row.checkedAfterClick);
        EXPECT_EQ(view.badge(2)->isDone(), row.checkedAfterClick);
        EXPECT_EQ(std::filesystem::exists(autostart / "tessary.desktop"), row.checkedAfterClick);
    }
}
