#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include <functional>
#include <limits>

#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/settings/AboutPaneModel.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ExcludedAppsModel.h"
#include "Tessary/settings/GeneralPaneModel.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ShortcutsPaneModel.h"
#include "Tessary/settings/SnappingPaneModel.h"
#include "Tessary/settings/SyncPaneModel.h"
#include "Tessary/settings/WorkspacesPaneModel.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/integrations/SyncFolderSetting.h"
#include "Tessary/settings/ZonesPaneModel.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutTemplate.h"
#include "tests/Tessary/TestWorld.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;

namespace {

// One step of a settings session: the window opens or closes, something asks for a pane, or the
// user picks one in the sidebar.
struct Step {
    enum Kind { open, close, request, choose } kind;
    std::optional<SettingsSection> section = std::nullopt;
};

TEST(SettingsSelection, EachRequestIsAppliedOnceAndAPlainOpeningShowsThePaneLastShown) {
    using S = SettingsSection;
    struct Row {
        const char* name;
        std::vector<Step> steps;
        SettingsSection shown;
    };
    const Row rows[] = {
        {"a plain opening shows General", {{Step::open}}, S::general},
        {"a request before opening", {{Step::request, S::about}, {Step::open}}, S::about},
        {"a request while open moves at once", {{Step::open}, {Step::request, S::rules}}, S::rules},
        {"the same request again after the user moved on",
         {{Step::open}, {Step::request, S::rules}, {Step::choose, S::zones}, {Step::request, S::rules}},
         S::rules},
        {"an old request is not applied over the user's choice at the next opening",
         {{Step::request, S::about}, {Step::open}, {Step::choose, S::snapping}, {Step::close}, {Step::open}},
         S::snapping},
        {"a request while closed waits for the showing",
         {{Step::open}, {Step::close}, {Step::request, S::sync}, {Step::open}},
         S::sync},
        {"a request of no pane moves nothing", {{Step::open}, {Step::choose, S::zones}, {Step::request}}, S::zones},
        {"nothing selected shows General", {{Step::open}, {Step::choose, std::nullopt}}, S::general},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryLoginItems loginItems;
        VirtualScheduler scheduler;
        AppState state(loginItems, scheduler);
        SettingsSelection selection(state);
        for (const Step& step : row.steps) {
            switch (step.kind) {
            case Step::open: selection.windowShown(); break;
            case Step::close: selection.windowClosed(); break;
            case Step::request: state.setRequestedSettingsSection(step.section); break;
            case Step::choose: selection.select(step.section); break;
            }
        }
        EXPECT_EQ(selection.shown(), row.shown);
    }
}

// An update framework's controller whose two answers the test sets.
class FakeController final : public UpdaterBackendController {
public:
    FakeController(bool automatic, bool canCheck) : automatic_(automatic), canCheck_(canCheck) {}
    void checkForUpdates() override {}
    bool automaticallyChecksForUpdates() const override { return automatic_; }
    void setAutomaticallyChecksForUpdates(bool value) override { automatic_ = value; }
    bool canCheckForUpdates() const override { return canCheck_; }

private:
    bool automatic_;
    bool canCheck_;
};

TEST(GeneralPane, UpdateRowsFollowTheUpdaterAndTheTagFollowsWindowControl) {
    struct Row {
        const char* name;
        bool configured;
        bool controller;
        bool canCheck;
        bool trusted;
        GeneralUpdates updates;
        SettingsTag tag;
    };
    const SettingsTag granted{"Granted", SettingsTone::positive};
    const SettingsTag notGranted{"Not granted", SettingsTone::warning};
    // The member types are named: GCC 12 at -O3 falsely warns that a string of a nested braced
    // member may be used uninitialised.
    const Row rows[] = {
        {"no feed", false, false, false, true, GeneralUpdates{}, granted},
        {"no feed, not trusted", false, false, false, false, GeneralUpdates{}, notGranted},
        {"a feed, checks allowed", true, true, true, true, GeneralUpdates{true, true, "Version 1.4 (27)", true}, granted},
        {"a feed while a check runs", true, true, false, false, GeneralUpdates{true, true, "Version 1.4 (27)", false}, notGranted},
        {"a feed whose framework did not start", true, false, true, true, GeneralUpdates{true, false, "Version 1.4 (27)", false}, granted},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeController controller(true, row.canCheck);
        EXPECT_EQ(generalUpdates(row.configured, row.controller ? &controller : nullptr, "1.4 (27)"), row.updates);
        EXPECT_EQ(windowControlTag(row.trusted), row.tag);
    }
    EXPECT_EQ(windowControlFooter(true), "Window control granted");
    EXPECT_EQ(windowControlFooter(false), "Window control not granted");
}

TEST(ShortcutsPane, TheZoneGridHasAsManyColumnsOf200AsFit) {
    const std::pair<int, int> rows[] = {{0, 1}, {411, 1}, {412, 2}, {623, 2}, {624, 3}, {-50, 1}};
    for (auto [width, columns] : rows) EXPECT_EQ(zoneGridColumns(width), columns) << width;
}

TEST(ShortcutsPane, EveryRowIsBoundToANameTheResetCoversAndShownInThePaneOrder) {
    std::vector<std::string> bound;
    std::vector<std::string> titles;
    for (const ShortcutSection& section : shortcutSections()) {
        for (const ShortcutRow& row : section.rows) {
            bound.push_back(row.name);
            titles.push_back(row.title);
            EXPECT_FALSE(defaultShortcutText(row.name).empty()) << row.name;
            EXPECT_FALSE(row.title.empty()) << row.name;
        }
    }
    std::vector<std::string> reset = paneShortcutNames();
    EXPECT_EQ(reset.size(), 18u);
    std::sort(bound.begin(), bound.end());
    std::sort(reset.begin(), reset.end());
    EXPECT_EQ(bound, reset);
    EXPECT_EQ(titles.front(), "Zone 1");
    EXPECT_EQ(titles[8], "Zone 9");
    EXPECT_EQ(titles.back(), "Open layout editor");
    EXPECT_EQ(defaultShortcutText("snapToZone1"), "Ctrl+Alt+1");
    EXPECT_EQ(defaultShortcutText("workspace.1234"), "");
}

TEST(ZonesPane, PercentagesAreWholeAndWrittenTheLocaleWay) {
    struct Row {
        double fraction;
        const char* locale;
        const char* text;
    };
    const Row rows[] = {
        {0.5, "en_US", "50%"},  {0.1, "en_US", "10%"},          {1.0, "en_US", "100%"},
        {0.0, "en_US", "0%"},   {0.5, "de_DE", "50\u00A0%"},    {0.333, "en_US", "33%"},
    };
    for (const Row& row : rows) EXPECT_EQ(percentText(row.fraction, row.locale), row.text) << row.fraction << " " << row.locale;
}

TEST(ZonesPane, ThePreviewShowsThreeColumnsInsetAndNoneWhenTooSmall) {
    const std::vector<Zone> zones = previewZones({480, 240});
    ASSERT_EQ(zones.size(), 3u);
    const double width = (480 - 16 - 12) / 3.0;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(zones[i].index, static_cast<std::int64_t>(i));
        EXPECT_NEAR(zones[i].rect.origin.x, 8 + static_cast<double>(i) * (width + 6), 1e-9);
        EXPECT_NEAR(zones[i].rect.origin.y, 8, 1e-9);
        EXPECT_NEAR(zones[i].rect.size.width, width, 1e-9);
        EXPECT_NEAR(zones[i].rect.size.height, 224, 1e-9);
    }
    EXPECT_EQ(previewHighlightedZone, 1);
    EXPECT_TRUE(previewZones({16, 240}).empty());
    EXPECT_TRUE(previewZones({480, 10}).empty());
}

TEST(SettingsResets, EachSetsExactlyItsSettingsThroughTheSettersAndLeavesTheOthers) {
    struct Row {
        const char* name;
        std::function<void(Preferences&)> reset;
        std::size_t saves;
        bool modifiersBack;
        bool appearanceBack;
    };
    const Row rows[] = {
        {"snapping", [](Preferences& p) { resetSnappingSettings(p, DragKeys{}); }, 3, true, false},
        {"zones", [](Preferences& p) { p.resetToDefaults(); }, 5, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (bool atDefaults : {false, true}) {
            MemoryUserDefaults defaults;
            Preferences preferences(defaults);
            if (!atDefaults) {
                preferences.setActivationModifier(ActivationModifier::command);
                preferences.setSpanModifier(SpanModifier::none);
                preferences.setCenterUnresizableWindows(false);
                preferences.setOverlayColor({0.1, 0.2, 0.3, 0.4});
                preferences.setZoneOpacity(0.9);
                preferences.setHighlightOpacity(0.8);
                preferences.setShowZoneNumbers(false);
                preferences.setFlashOnLayoutChange(false);
            }
            preferences.setExcludedBundleIDs({"XTerm"});
            preferences.setMoveNewWindowsToLastZone(true);
            const std::size_t before = defaults.writeCount(Preferences::storageKey);
            row.reset(preferences);
            EXPECT_EQ(defaults.writeCount(Preferences::storageKey) - before, row.saves) << "at defaults " << atDefaults;
            const bool modifiers = atDefaults || row.modifiersBack;
            const bool look = atDefaults || row.appearanceBack;
            EXPECT_EQ(preferences.activationModifier() == ActivationModifier::shift, modifiers);
            EXPECT_EQ(preferences.spanModifier() == SpanModifier::control, modifiers);
            EXPECT_EQ(preferences.centerUnresizableWindows(), modifiers);
            EXPECT_EQ(preferences.overlayColor() == Preferences::defaultOverlayColor, look);
            EXPECT_EQ(preferences.zoneOpacity() == 0.5, look);
            EXPECT_EQ(preferences.highlightOpacity() == 0.1, look);
            EXPECT_EQ(preferences.showZoneNumbers(), look);
            EXPECT_EQ(preferences.flashOnLayoutChange(), look);
            EXPECT_EQ(preferences.excludedBundleIDs(), std::vector<std::string>{"XTerm"});
            EXPECT_TRUE(preferences.moveNewWindowsToLastZone());
        }
    }
}

// Beside a window manager that takes Shift-drag, the pane names it as it names Alt, and its reset
// gives the keys a first start there chooses.
TEST(SnappingPane, TheFooterAndTheResetFollowTheWindowManager) {
    const std::string alt = "Alt is not offered because the window manager uses Alt-drag to move windows.";
    struct Row {
        const char* windowManager;
        std::string footer;
        std::string resetHelp;
        DragKeys reset;
    };
    const Row rows[] = {
        {"Openbox", alt, "Shift to show zones, Ctrl to span, windows centered in their zone",
         {ActivationModifier::shift, SpanModifier::control}},
        {"", alt, "Shift to show zones, Ctrl to span, windows centered in their zone",
         {ActivationModifier::shift, SpanModifier::control}},
        {"KWin", alt + " KWin uses Shift-drag to tile windows, so Shift is best left to it.",
         "Ctrl to show zones, Super to span, windows centered in their zone",
         {ActivationModifier::control, SpanModifier::command}},
        {"Metacity (Marco)", alt + " Marco uses Shift-drag to snap windows to edges, so Shift is best left to it.",
         "Ctrl to show zones, Super to span, windows centered in their zone",
         {ActivationModifier::control, SpanModifier::command}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.windowManager);
        EXPECT_EQ(snappingFooter(row.windowManager), row.footer);
        const DragKeys defaults = defaultDragKeys(row.windowManager);
        EXPECT_EQ(snappingResetAction(defaults).help, row.resetHelp);
        MemoryUserDefaults stored;
        Preferences preferences(stored);
        preferences.setDragKeys({ActivationModifier::command, SpanModifier::shift});
        resetSnappingSettings(preferences, defaults);
        EXPECT_EQ(preferences.dragKeys(), row.reset);
    }
}

// A pick that moves the other key says where it went; one that moves nothing says nothing.
TEST(SnappingPane, APickThatMovesTheOtherKeySaysWhere) {
    using A = ActivationModifier;
    using S = SpanModifier;
    struct Row {
        const char* name;
        DragKeys before;
        std::function<std::string(Preferences&)> pick;
        std::string said;
    };
    const Row rows[] = {
        {"Ctrl to show the zones", {A::shift, S::control},
         [](Preferences& p) { return chooseActivationModifier(p, A::control); },
         "Ctrl now shows the zones, so spanning moved to Super."},
        {"Shift to span", {A::shift, S::control}, [](Preferences& p) { return chooseSpanModifier(p, S::shift); },
         "Shift now spans zones, so the zones show with Ctrl."},
        {"Super to show the zones", {A::shift, S::control},
         [](Preferences& p) { return chooseActivationModifier(p, A::command); }, ""},
        {"spanning off", {A::control, S::command}, [](Preferences& p) { return chooseSpanModifier(p, S::none); }, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryUserDefaults stored;
        Preferences preferences(stored);
        preferences.setDragKeys(row.before);
        EXPECT_EQ(row.pick(preferences), row.said);
    }
}

TEST(AboutPane, ReleaseNoteHeadingsDatesAndTheLinkLabel) {
    const Date march4 = *Date::parsingISO8601("2025-03-04T00:00:00Z");
    struct Row {
        const char* locale;
        const char* date;
    };
    const Row rows[] = {{"en_US", "March 4, 2025"}, {"de_DE", "4. M\u00E4rz 2025"}};
    for (const Row& row : rows) EXPECT_EQ(releaseNoteDate(march4, row.locale), row.date) << row.locale;
    EXPECT_EQ(releaseNoteHeading("1.2"), "What\u2019s New in 1.2");
    EXPECT_EQ(changelogLinkLabel("tessary.example"), "All release notes on tessary.example");
    EXPECT_EQ(changelogLinkLabel(""), "");
}

}  // namespace

namespace {

TEST(SyncPane, RowsFollowTheFolderTheSwitchAndTheLastSync) {
    const Date march4 = *Date::parsingISO8601("2025-03-04T14:05:00Z");
    const std::filesystem::path folder = "/home/ann/Sync";
    struct Row {
        const char* name;
        SyncPaneInput input;
        SyncPaneRows rows;
    };
    const SettingsTag upToDate{"Up to date", SettingsTone::positive};
    const Row rows[] = {
        {"no folder", {std::nullopt, std::nullopt, false, true, std::nullopt, std::nullopt},
         {"No folder chosen", "", false, true, "Never", std::nullopt, "", false, SettingsTone::neutral}},
        {"on, nothing synced yet in this run", {folder, folder, true, true, std::nullopt, std::nullopt},
         {folder.string(), "", true, false, "Never", std::nullopt, "", true, SettingsTone::positive}},
        {"on and synced", {folder, folder, true, true, march4, std::nullopt},
         {folder.string(), "", true, false, "Mar 4, 2025, 2:05\u202FPM", upToDate, "", true, SettingsTone::positive}},
        // Never "Up to date" while a change is still to go out.
        {"synced before, a change waits", {folder, folder, true, true, march4, std::nullopt, {}, true},
         {folder.string(), "", true, false, "Mar 4, 2025, 2:05\u202FPM", SettingsTag{"Waiting to sync", SettingsTone::neutral},
          "", true, SettingsTone::positive}},
        {"a change waits after a failed push", {folder, folder, true, true, march4, std::string("Could not write"), {}, true},
         {folder.string(), "", true, false, "Mar 4, 2025, 2:05\u202FPM", SettingsTag{"Not synced", SettingsTone::warning},
          "Could not write", true, SettingsTone::warning}},
        // The chips say what the status says: nothing went through.
        {"a failure keeps the last time and is told in full", {folder, folder, true, true, march4, std::string("Could not write")},
         {folder.string(), "", true, false, "Mar 4, 2025, 2:05\u202FPM", SettingsTag{"Not synced", SettingsTone::warning},
          "Could not write", true, SettingsTone::warning}},
        {"off", {folder, folder, true, false, march4, std::nullopt},
         {folder.string(), "", true, false, "Mar 4, 2025, 2:05\u202FPM", std::nullopt, "", false, SettingsTone::neutral}},
        {"a new folder waits for the next start", {"/srv/other", folder, true, false, std::nullopt, std::nullopt},
         {"/srv/other",
          "Tessary keeps syncing through \u201C/home/ann/Sync\u201D until you quit it. From its next start it syncs "
          "through this folder.",
          true, false, "Never", std::nullopt, "", false, SettingsTone::neutral}},
        {"a first folder, sync off: the switch is usable", {folder, std::nullopt, false, false, std::nullopt, std::nullopt},
         {folder.string(),
          "Chosen. Turn on sync below, then quit Tessary and start it again: it syncs through this folder from its next start.",
          true, false, "Never", std::nullopt, "", false, SettingsTone::neutral}},
        {"a first folder, sync on", {folder, std::nullopt, false, true, std::nullopt, std::nullopt},
         {folder.string(), "Chosen. Tessary syncs through this folder from its next start: quit Tessary and start it again.",
          true, false, "Never", std::nullopt, "", false, SettingsTone::neutral}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SyncPaneRows rows = syncPaneRows(row.input, "en_US", "UTC");
        EXPECT_EQ(rows.folderText, row.rows.folderText);
        EXPECT_EQ(rows.folderNote, row.rows.folderNote);
        EXPECT_EQ(rows.switchEnabled, row.rows.switchEnabled);
        EXPECT_EQ(rows.unavailable, row.rows.unavailable);
        EXPECT_EQ(rows.lastSyncText, row.rows.lastSyncText);
        EXPECT_EQ(rows.status, row.rows.status);
        EXPECT_EQ(rows.errorText, row.rows.errorText);
        EXPECT_EQ(rows.syncNowEnabled, row.rows.syncNowEnabled);
        EXPECT_EQ(rows.syncedTone, row.rows.syncedTone);
    }
}

// Each kind's chip says whether that kind syncs now: a document that cannot be read stops its own
// kind, a push that failed stops them all, sync off or unavailable leaves them neutral.
TEST(SyncPane, EachKindsChipMatchesWhatSyncs) {
    const std::filesystem::path folder = "/home/ann/Sync";
    const Date now = *Date::parsingISO8601("2025-03-04T14:05:00Z");
    const SettingsTag synced{"Synced", SettingsTone::positive}, idle{"Synced", SettingsTone::neutral},
        stopped{"Not synced", SettingsTone::warning};
    struct Row {
        const char* name;
        SyncPaneInput input;
        std::vector<SettingsTag> chips;  // layouts, rules, workspaces
    };
    const Row rows[] = {
        {"all well", {folder, folder, true, true, now, std::nullopt}, {synced, synced, synced}},
        {"two damaged documents",
         {folder, folder, true, true, now, std::string("Could not read"), {"layouts.v1", "workspaces.v1"}},
         {stopped, synced, stopped}},
        {"a failed push", {folder, folder, true, true, now, std::string("Could not write")}, {stopped, stopped, stopped}},
        {"sync off, a damaged document", {folder, folder, true, false, now, std::string("Could not read"), {"rules.v1"}},
         {idle, idle, idle}},
        {"unavailable", {std::nullopt, std::nullopt, false, true, std::nullopt, std::nullopt}, {idle, idle, idle}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SyncPaneRows shown = syncPaneRows(row.input, "en_US", "UTC");
        std::vector<SettingsTag> chips;
        for (const SyncedKind& kind : syncedKinds()) {
            if (kind.synced) chips.push_back(shown.syncedTag(kind));
        }
        EXPECT_EQ(chips, row.chips);
    }
}

TEST(SyncPane, AFolderThatCannotBeWrittenIsRefusedAndThePreviousChoiceKept) {
    TemporaryFolder home;
    const std::filesystem::path good = home / "good";
    const std::filesystem::path readOnly = home / "read-only";
    std::filesystem::create_directories(good);
    std::filesystem::create_directories(readOnly);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::ofstream(home / "file") << "not a folder";
    MemoryUserDefaults defaults;
    ASSERT_TRUE(chooseSyncFolder(defaults, good));
    struct Row {
        const char* name;
        std::filesystem::path folder;
        bool refused;
    };
    const Row rows[] = {
        {"a file", home / "file", true},
        {"missing", home / "missing", true},
        {"relative", "relative/folder", true},
        // Root writes through permissions: last, since it is then accepted.
        {"not writable", readOnly, ::geteuid() != 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = chooseSyncFolder(defaults, row.folder);
        EXPECT_EQ(!result, row.refused);
        if (row.refused) {
            EXPECT_THAT(result.error(), ::testing::HasSubstr("previous choice is kept"));
            EXPECT_EQ(SyncFolderSetting::read(defaults), good);
        }
    }
}

}  // namespace

namespace {

RunningApplication running(ProcessID pid, std::optional<std::string> id, std::string name,
                           ActivationPolicy policy = ActivationPolicy::regular) {
    return {pid, std::move(id), std::move(name), policy, false};
}

TEST(AppInfo, RunningAppsAreRegularNamedByTheirEntrySortedIgnoringCaseAndListedPerProcess) {
    struct Row {
        const char* name;
        std::vector<RunningApplication> running;
        std::vector<AppInfo::RunningApp> listed;
    };
    const Row rows[] = {
        {"sorted ignoring case, entry names first",
         {running(1, "zeta", "zeta"), running(2, "XTerm", "xterm"), running(3, "alpha", "alpha")},
         {{"alpha", "alpha"}, {"XTerm", "Terminal"}, {"zeta", "zeta"}}},
        {"no identifier and accessory left out",
         {running(1, std::nullopt, "ghost"), running(2, "panel", "Panel", ActivationPolicy::accessory),
          running(3, "XTerm", "xterm")},
         {{"XTerm", "Terminal"}}},
        {"one entry per process, in the platform's order among equal names",
         {running(1, "XTerm", "a"), running(2, "zeta", "zeta"), running(3, "XTerm", "b")},
         {{"XTerm", "Terminal"}, {"XTerm", "Terminal"}, {"zeta", "zeta"}}},
        {"equal names keep their order", {running(1, "b.Same", "x"), running(2, "a.Same", "y")},
         {{"b.Same", "same"}, {"a.Same", "Same"}}},
    };
    const std::vector<InstalledApplication> installed = {
        {"XTerm", "Terminal", std::string("utilities-terminal"), "/usr/share/applications/xterm.desktop"},
        {"a.Same", "Same", std::nullopt, "/a.desktop"},
        {"b.Same", "same", std::nullopt, "/b.desktop"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AppInfo(installed, row.running).runningApps(), row.listed);
    }
    const AppInfo info(installed, {});
    EXPECT_EQ(info.appDisplayName("xterm"), "Terminal") << "identifiers compare as the launcher does";
    EXPECT_EQ(info.appDisplayName("Gone.app"), "Gone.app") << "no .app removal";
    EXPECT_EQ(info.icon("XTerm"), "utilities-terminal");
    EXPECT_EQ(info.icon("a.Same"), std::nullopt);
}

// Entries of most desktop applications name no window class: their windows are told by program.
TEST(AppInfo, RunningAppsAreNamedByTheirWindowsEntryAndOnesAlreadyExcludedAreNotOfferedAgain) {
    const std::vector<InstalledApplication> installed = {
        tessary::testing::desktopEntry("org.gnome.Calculator", "Calculator", "gnome-calculator"),
        tessary::testing::desktopEntry("org.xfce.mousepad", "Mousepad", "mousepad"),
    };
    std::vector<RunningApplication> processes = {running(1, "Mousepad", "mousepad"), running(2, "XTerm", "xterm"),
                                                 running(3, "gnome-calculator", "gnome-calculator")};
    processes[0].instanceName = "mousepad";
    const AppInfo info(installed, processes);
    EXPECT_EQ(info.runningApps(), (std::vector<AppInfo::RunningApp>{
                                      {"gnome-calculator", "Calculator"}, {"Mousepad", "Mousepad"}, {"XTerm", "XTerm"}}));
    for (const char* stored : {"org.gnome.Calculator", "gnome-calculator"}) {
        EXPECT_EQ(info.appDisplayName(stored), "Calculator") << stored;
    }

    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    const struct {
        std::vector<std::string> excluded;
        std::vector<AppInfo::RunningApp> offered;
    } rows[] = {
        {{"org.gnome.Calculator"}, {{"Mousepad", "Mousepad"}, {"XTerm", "XTerm"}}},
        {{"XTerm", "org.xfce.mousepad"}, {{"gnome-calculator", "Calculator"}}},
        {{}, info.runningApps()},
    };
    for (const auto& row : rows) {
        preferences.setExcludedBundleIDs(row.excluded);
        EXPECT_EQ(runningAppsToExclude(info, preferences), row.offered) << ::testing::PrintToString(row.excluded);
    }
}

TEST(ExcludedApps, AddingKeepsOneOfEachAndRemoveNeedsAListedSelection) {
    struct Row {
        const char* name;
        std::vector<std::string> before;
        std::function<void(Preferences&)> act;
        std::vector<std::string> after;
        std::size_t saves;
    };
    const Row rows[] = {
        {"add appends", {"XTerm"}, [](Preferences& p) { addExcludedApp(p, "firefox"); }, {"XTerm", "firefox"}, 1},
        {"add of a listed one does nothing", {"XTerm"}, [](Preferences& p) { addExcludedApp(p, "XTerm"); }, {"XTerm"}, 0},
        {"add compares exactly", {"XTerm"}, [](Preferences& p) { addExcludedApp(p, "xterm"); }, {"XTerm", "xterm"}, 1},
        {"remove takes every copy", {"a", "XTerm", "b", "XTerm"}, [](Preferences& p) { removeExcludedApp(p, "XTerm"); },
         {"a", "b"}, 1},
        {"remove of an absent one still saves", {"a"}, [](Preferences& p) { removeExcludedApp(p, "XTerm"); }, {"a"}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryUserDefaults defaults;
        Preferences preferences(defaults);
        preferences.setExcludedBundleIDs(row.before);
        const std::size_t before = defaults.writeCount(Preferences::storageKey);
        row.act(preferences);
        EXPECT_EQ(preferences.excludedBundleIDs(), row.after);
        EXPECT_EQ(defaults.writeCount(Preferences::storageKey) - before, row.saves);
    }
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    preferences.setExcludedBundleIDs({"XTerm"});
    EXPECT_TRUE(canRemoveExcludedApp(preferences, "XTerm"));
    EXPECT_FALSE(canRemoveExcludedApp(preferences, std::nullopt));
    EXPECT_FALSE(canRemoveExcludedApp(preferences, "firefox")) << "a selection removed elsewhere";
    EXPECT_EQ(removeExcludedAppConfirmation("Terminal").title, "Remove Terminal from the excluded apps?");
}

}  // namespace

namespace {

DisplayInfo display(std::string identifier, std::string name, double x) {
    DisplayInfo info;
    info.identifier = std::move(identifier);
    info.localizedName = std::move(name);
    info.frame = info.workArea = Rect(x, 0, 1920, 1080);
    return info;
}

PlacementRule rule(std::vector<std::int64_t> zones, std::optional<std::string> pattern = std::nullopt,
                   std::optional<std::string> displayID = std::nullopt) {
    return PlacementRule(UUID::random(), true, "XTerm", std::move(pattern), std::move(displayID), std::move(zones),
                         Date(1000));
}

TEST(RulesPane, TheSummaryCountsZonesFromOneAndNamesThePatternAndTheDisplay) {
    const std::vector<DisplayInfo> displays = {display("LEFT", "Studio Display", 0), display("RIGHT", "Dell", 1920)};
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    struct Row {
        const char* name;
        PlacementRule rule;
        std::string summary;
    };
    const Row rows[] = {
        {"two zones", rule({0, 2}), "zone 1+3"},
        {"stored order", rule({1, 0}), "zone 2+1"},
        {"no zones", rule({}), "zone "},
        {"a pattern of spaces is shown", rule({0}, "  "), "zone 1 \u00B7 title ~   "},
        {"an empty pattern is not", rule({0}, ""), "zone 1"},
        {"a display's name", rule({0}, std::nullopt, "RIGHT"), "zone 1 \u00B7 Dell"},
        {"a display not connected", rule({0}, "Inbox", "GONE"), "zone 1 \u00B7 title ~ Inbox \u00B7 missing display"},
        {"the largest index", rule({largest}), "zone 9223372036854775808"},
        {"a negative index", rule({-5, std::numeric_limits<std::int64_t>::min()}), "zone -4+-9223372036854775807"},
    };
    for (const Row& row : rows) EXPECT_EQ(ruleSummary(row.rule, displays), row.summary) << row.name;
}

TEST(RulesPane, TogglingAZoneAddsSortedRemovesAllCopiesAndKeepsTheLastOne) {
    struct Row {
        std::vector<std::int64_t> before;
        std::int64_t index;
        std::vector<std::int64_t> after;
    };
    const Row rows[] = {
        {{1}, 0, {0, 1}}, {{2, 0}, 2, {0}}, {{0}, 0, {0}}, {{5}, 0, {0, 5}}, {{1, 1, 3}, 1, {3}},
    };
    for (const Row& row : rows) EXPECT_EQ(toggledZones(row.before, row.index), row.after);
}

TEST(RulesPane, ThePickerShowsTheChosenDisplaysLayoutElseTheLargest) {
    const DisplayInfo left = display("LEFT", "Left", 0);
    const DisplayInfo right = display("RIGHT", "Right", 1920);
    const ZoneLayout two(LayoutTemplate::columns, 2, "Two");
    const ZoneLayout four(LayoutTemplate::grid, 4, "Four");
    const ZoneLayout otherFour(LayoutTemplate::columns, 4, "Other four");
    auto library = [](std::vector<ZoneLayout> layouts, std::vector<std::pair<DisplayKey, UUID>> assigned) {
        LayoutLibrary made;
        made.layouts = std::move(layouts);
        made.defaultLayoutID = made.layouts.empty() ? std::nullopt : std::optional(made.layouts.front().id);
        for (const auto& [key, id] : assigned) made.assign(id, key);
        return made;
    };
    struct Row {
        const char* name;
        PlacementRule rule;
        std::vector<DisplayInfo> displays;
        LayoutLibrary library;
        std::optional<std::string> shown;
    };
    const Row rows[] = {
        {"the window's own display: the larger", rule({0}), {left, right},
         library({two, four}, {{left.displayKey(), two.id}, {right.displayKey(), four.id}}), "Four"},
        {"the chosen display", rule({0}, std::nullopt, "LEFT"), {left, right},
         library({two, four}, {{left.displayKey(), two.id}, {right.displayKey(), four.id}}), "Two"},
        {"two of four zones: the first display's", rule({0}), {left, right},
         library({four, otherFour}, {{left.displayKey(), four.id}, {right.displayKey(), otherFour.id}}), "Four"},
        {"a disconnected display: the largest", rule({0}, std::nullopt, "GONE"), {left, right},
         library({two, four}, {{left.displayKey(), two.id}, {right.displayKey(), four.id}}), "Four"},
        {"no displays: the first layout", rule({0}), {}, library({two, four}, {}), "Two"},
        {"no layouts", rule({0}), {left}, library({}, {}), std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto layout = pickerLayout(row.rule, row.displays, row.library);
        EXPECT_EQ(layout ? std::optional(layout->name) : std::nullopt, row.shown);
    }
}

TEST(RulesPane, AnEditChangesOnlyItsFieldOfTheStoredRuleAndNeverRevivesADeletedOne) {
    TemporaryFolder folder;
    ZoneService zones(std::make_shared<FakeWindowEngine>(), JSONDocumentStore<LayoutLibrary>(folder / "layouts.json"));
    RuleService rules(zones, [] { return std::vector<DisplayInfo>{}; }, JSONDocumentStore<RuleSet>(folder / "rules.json"));
    const PlacementRule drawn = rule({0});
    rules.modifyRuleSet([&](RuleSet& set) { set.upsert(drawn); });
    // Meanwhile a merge changed the rule's zones.
    rules.modifyRuleSet([&](RuleSet& set) { set.rules.front().zoneIndices = {2}; });
    EXPECT_TRUE(editRule(rules, drawn.id, Date(2000), [](PlacementRule& r) { r.titlePattern = "Inbox"; }));
    ASSERT_EQ(rules.ruleSet().rules.size(), 1u);
    EXPECT_EQ(rules.ruleSet().rules.front().zoneIndices, std::vector<std::int64_t>{2}) << "the merge is kept";
    EXPECT_EQ(rules.ruleSet().rules.front().titlePattern, "Inbox");
    EXPECT_EQ(rules.ruleSet().rules.front().modifiedAt, Date(2000));

    rules.modifyRuleSet([&](RuleSet& set) { set.deleteRule(drawn.id); });
    EXPECT_FALSE(editRule(rules, drawn.id, Date(3000), [](PlacementRule& r) { r.isEnabled = false; }));
    EXPECT_TRUE(rules.ruleSet().rules.empty()) << "a deleted rule does not come back";
    EXPECT_EQ(patternMessage("("), "Not a valid regular expression; the rule will not match.");
    EXPECT_EQ(patternMessage("()"), "");
}

}  // namespace

namespace {

WorkspaceEntry entry(std::string bundleID, std::vector<std::int64_t> zones) {
    return WorkspaceEntry(UUID::random(), std::move(bundleID), std::string("title"), "MAIN@1920x1080", std::move(zones),
                          Rect(0, 0, 100, 100));
}

TEST(WorkspacesPane, NamesSummariesAndZoneTexts) {
    struct NameRow {
        const char* typed;
        std::size_t count;
        const char* name;
    };
    const NameRow names[] = {{"  Coding  ", 0, "Coding"}, {"", 0, "Workspace 1"}, {"\t", 2, "Workspace 3"},
                             {"Coding", 2, "Coding"}};
    for (const NameRow& row : names) EXPECT_EQ(workspaceSaveName(row.typed, row.count), row.name) << row.typed;

    const Workspace two(UUID::random(), "Desk", {entry("XTerm", {0}), entry("XTerm", {1})}, {"LEFT", "GONE", "OFF"},
                        false, false, Date(0));
    EXPECT_EQ(workspaceRowSummary(two), "2 windows \u00B7 1 app");
    EXPECT_EQ(workspaceRowSummary(Workspace(UUID::random(), "Empty", {}, {}, false, false, Date(0))),
              "0 windows \u00B7 0 apps");
    const std::vector<DisplayInfo> displays = {display("LEFT", "Dell", 0)};
    EXPECT_EQ(workspaceDisplaySummary(two, displays),
              "With Dell, a display that is not attached, a display that is not attached");
    EXPECT_EQ(workspaceDisplaySummary(Workspace(UUID::random(), "None", {}, {}, false, false, Date(0)), displays), "With ");

    struct ZoneRow {
        std::vector<std::int64_t> zones;
        const char* text;
    };
    const ZoneRow zones[] = {{{}, "free"},
                             {{0, 2}, "zone 1+3"},
                             {{std::numeric_limits<std::int64_t>::max()}, "zone 9223372036854775808"},
                             {{-1}, "zone 0"}};
    for (const ZoneRow& row : zones) EXPECT_EQ(entryZonesText(row.zones), row.text);
    EXPECT_EQ(workspaceSavedText(*Date::parsingISO8601("2025-03-04T12:00:00Z"), "en_US", "UTC"), "Saved Mar 4, 2025");
}

// The workspace service over a document in a folder of its own.
struct WorkspaceWorld {
    VirtualScheduler scheduler;
    TemporaryFolder folder;
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    ZoneService zones{std::make_shared<FakeWindowEngine>(), JSONDocumentStore<LayoutLibrary>(folder / "layouts.json")};
    WorkspaceService workspaces{zones, [] { return std::vector<DisplayInfo>{}; },
                                JSONDocumentStore<WorkspaceLibrary>(folder / "workspaces.json"), applications, launcher,
                                scheduler};
};

TEST(WorkspacesPane, AnEditKeepsChangesMadeMeanwhileAndNeverRevivesADeletedWorkspace) {
    WorkspaceWorld world;
    WorkspaceService& service = world.workspaces;
    const Workspace saved(UUID::random(), "Desk", {entry("XTerm", {0})}, {"LEFT"}, false, false, Date(0));
    service.updateLibrary([&](WorkspaceLibrary& library) { library.upsert(saved); });
    // Meanwhile an update with the current windows replaced the entries.
    service.updateLibrary([&](WorkspaceLibrary& library) { library.workspaces.front().entries.push_back(entry("firefox", {1})); });
    EXPECT_TRUE(editWorkspace(service, saved.id, Date(50), [](Workspace& w) { w.name = "Desk 2"; }));
    ASSERT_EQ(service.library().workspaces.size(), 1u);
    EXPECT_EQ(service.library().workspaces.front().entries.size(), 2u) << "the update is kept";
    EXPECT_EQ(service.library().workspaces.front().name, "Desk 2");
    EXPECT_EQ(service.library().workspaces.front().modifiedAt, Date(50));

    service.updateLibrary([&](WorkspaceLibrary& library) { library.deleteWorkspace(saved.id); });
    EXPECT_FALSE(editWorkspace(service, saved.id, Date(60), [](Workspace& w) { w.launchesMissingApps = true; }));
    EXPECT_TRUE(service.library().workspaces.empty()) << "a deleted workspace does not come back";
}

}  // namespace
