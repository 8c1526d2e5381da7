#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/shell/AppState.h"
#include "WindowEngine/AccessibilityPermission.h"

using namespace tessary;
using namespace std::chrono_literals;

namespace {

class AppStateTest : public ::testing::Test {
public:
    AppStateTest() { AccessibilityPermission::setAccessibility(&accessibility); }
    ~AppStateTest() override { AccessibilityPermission::setAccessibility(nullptr); }

    AppState& make() {
        state = std::make_unique<AppState>(loginItems, scheduler);
        state->onAccessibilityGranted = [this] { ++grants; };
        subscription = state->observe([this](AppStateField field) { notices.push_back(field); });
        return *state;
    }

    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    SimAccessibility accessibility;
    MemoryLoginItems loginItems;
    VirtualScheduler scheduler;
    std::unique_ptr<AppState> state;
    Subscription subscription;
    std::vector<AppStateField> notices;
    int grants = 0;
};

TEST_F(AppStateTest, TrustedAtLaunchNoPollRunsAndTheHookIsLeftToTheLaunchSequence) {
    AppState& state = make();
    state.refreshAccessibility();
    EXPECT_TRUE(state.accessibilityTrusted());
    EXPECT_FALSE(state.isPolling());
    scheduler.advance(5s);
    EXPECT_EQ(grants, 0);
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "an idle trusted program never wakes";
}

TEST_F(AppStateTest, TheTrustPoll) {
    struct Row {
        const char* name;
        std::function<void(AppStateTest&)> whileWaiting;  // run after the poll started, trust still missing
    };
    const Row rows[] = {
        {"granted while polling", [](AppStateTest&) {}},
        {"asked again while polling", [](AppStateTest& t) {
             t.state->refreshAccessibility();
             t.state->requestAccessibility();
         }},
        {"already turned true by a refresh before the tick", [](AppStateTest& t) {
             t.accessibility.trusted = true;
             t.state->refreshAccessibility();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        accessibility.trusted = false;
        grants = 0;
        AppState& state = make();
        state.refreshAccessibility();
        EXPECT_TRUE(state.isPolling());
        scheduler.advance(2s);
        row.whileWaiting(*this);
        EXPECT_EQ(scheduler.pendingCount(), 1u) << "one poll at most";
        accessibility.trusted = true;
        scheduler.advance(999ms);
        EXPECT_EQ(grants, 0);
        scheduler.advance(1ms);
        EXPECT_TRUE(state.accessibilityTrusted());
        EXPECT_EQ(grants, 1);
        EXPECT_FALSE(state.isPolling());
        scheduler.advance(10s);
        EXPECT_EQ(grants, 1);
    }
}

TEST_F(AppStateTest, ARevokedTrustIsPolledForAgainAndItsReturnCallsTheHookAgain) {
    AppState& state = make();
    accessibility.trusted = false;
    state.refreshAccessibility();
    accessibility.trusted = true;
    scheduler.advance(1s);
    accessibility.trusted = false;
    state.refreshAccessibility();
    accessibility.trusted = true;
    scheduler.advance(1s);
    EXPECT_EQ(grants, 2);
}

TEST_F(AppStateTest, TheStateEndingEndsItsPoll) {
    accessibility.trusted = false;
    make().refreshAccessibility();
    state.reset();
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(AppStateTest, LaunchAtLogin) {
    struct Row {
        const char* name;
        bool enabledBefore;
        bool wanted;
        bool awaitingApproval;
        bool refused;
        bool flagAfter;
        bool logged;
    };
    const Row rows[] = {
        {"switched on", false, true, false, false, true, false},
        {"switched off", true, false, false, false, false, false},
        {"on, waiting for approval", false, true, true, false, false, false},
        {"off refused", true, false, false, true, true, true},
        {"on refused", false, true, false, true, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sink.clear();
        loginItems = MemoryLoginItems();
        (void)loginItems.setEnabled(row.enabledBefore);
        AppState& state = make();
        EXPECT_EQ(state.launchAtLogin(), row.enabledBefore);
        loginItems.awaitingApproval = row.awaitingApproval;
        if (row.refused) loginItems.refusal = LoginItemError{"the folder is read-only"};
        state.setLaunchAtLogin(row.wanted);
        EXPECT_EQ(state.launchAtLogin(), row.flagAfter);
        const auto logged = sink.messages("AppState");
        EXPECT_EQ(logged, row.logged ? std::vector<std::string>{"Launch at login change failed: the folder is read-only"}
                                     : std::vector<std::string>{});
    }
}

TEST_F(AppStateTest, EveryRequestedSectionIsAnnouncedAndNumberedEvenAnEqualOne) {
    AppState& state = make();
    state.setRequestedSettingsSection(SettingsSection::about);
    state.setRequestedSettingsSection(SettingsSection::about);
    state.setRequestedSettingsSection(std::nullopt);
    EXPECT_EQ(notices, std::vector<AppStateField>(3, AppStateField::requestedSettingsSection));
    EXPECT_EQ(state.settingsRequestNumber(), 3u);
}

TEST(SettingsSection, RawValuesAreExactAndCaseSensitive) {
    struct Row {
        const char* raw;
        std::optional<SettingsSection> section;
    };
    const Row rows[] = {
        {"zones", SettingsSection::zones}, {"excludedApps", SettingsSection::excludedApps},
        {"about", SettingsSection::about}, {"Zones", std::nullopt},
        {"", std::nullopt},                {"excludedapps", std::nullopt},
        {"ZONES", std::nullopt},           {"zone", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(settingsSectionFromRawValue(row.raw), row.section);
    }
    for (SettingsSection section : allSettingsSections) EXPECT_EQ(settingsSectionFromRawValue(rawValue(section)), section);
}

}  // namespace
