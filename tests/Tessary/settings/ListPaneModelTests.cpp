#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/services/RuleService.h"
#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ExcludedAppsPaneModel.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "Tessary/settings/WorkspacesPaneModel.h"
#include "Tessary/shell/Preferences.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t smallest = std::numeric_limits<std::int64_t>::min();

PlacementRule rule(std::vector<std::int64_t> zones, std::optional<std::string> pattern = std::nullopt,
                   std::optional<std::string> display = std::nullopt) {
    return PlacementRule(UUID::random(), true, "XTerm", std::move(pattern), std::move(display), std::move(zones), Date(0));
}

ZoneLayout grid(std::int64_t columns) {
    return ZoneLayout(UUID::random(), std::to_string(columns) + " columns", LayoutKind(ZoneGrid::uniform(1, columns)), 0,
                      0, std::nullopt, Date(0));
}

RunningApplication running(ProcessID pid, std::optional<std::string> identifier, std::string name = "",
                           ActivationPolicy policy = ActivationPolicy::regular) {
    return RunningApplication{pid, std::move(identifier), std::move(name), policy, false};
}

InstalledApplication installed(std::string identifier, std::string name, std::optional<std::string> icon = {}) {
    return InstalledApplication{std::move(identifier), std::move(name), std::move(icon), "/usr/share/applications/x.desktop"};
}

}  // namespace

TEST(RulesPane, TheSummaryShowsZonesPatternAndDisplay) {
    const std::vector<DisplayInfo> displays{makeDisplay(1, "MAIN", Rect(0, 0, 1000, 800))};
    struct Row {
        const char* name;
        PlacementRule rule;
        std::string summary;
    };
    const Row rows[] = {
        {"zones in stored order", rule({0, 2}), "zone 1+3"},
        {"unsorted zones stay unsorted", rule({1, 0}), "zone 2+1"},
        {"no zones", rule({}), "zone "},
        {"a pattern of spaces is shown", rule({0}, "  "), "zone 1 \u00b7 title ~   "},
        {"an empty pattern is not", rule({0}, ""), "zone 1"},
        {"a connected display by its name", rule({0}, std::nullopt, "MAIN"), "zone 1 \u00b7 MAIN"},
        {"a display that is not connected", rule({0}, "^Inbox", "GONE"), "zone 1 \u00b7 title ~ ^Inbox \u00b7 missing display"},
        {"the largest index does not overflow", rule({largest}), "zone 9223372036854775808"},
        {"a negative index", rule({-1, smallest}), "zone 0+-9223372036854775807"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ruleSummary(row.rule, displays), row.summary);
    }
}

TEST(RulesPane, ToggleKeepsOneZoneAndSortsAdditions) {
    struct Row {
        const char* name;
        std::vector<std::int64_t> zones;
        std::int64_t clicked;
        std::vector<std::int64_t> after;
    };
    const Row rows[] = {
        {"adding sorts", {1}, 0, {0, 1}},
        {"removing keeps the others' order", {2, 0}, 2, {0}},
        {"the only zone stays", {0}, 0, {0}},
        {"an index beyond the layout stays", {5}, 0, {0, 5}},
        {"every occurrence goes", {3, 1, 3}, 3, {1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(toggledZones(row.zones, row.clicked), row.after);
    }
}

TEST(RulesPane, ThePickerShowsTheChosenDisplaysLayoutElseTheLargest) {
    const DisplayInfo left = makeDisplay(1, "LEFT", Rect(0, 0, 1000, 800));
    const DisplayInfo right = makeDisplay(2, "RIGHT", Rect(1000, 0, 800, 600));
    const ZoneLayout two = grid(2), four = grid(4), otherFour = grid(4);
    auto library = [&](const ZoneLayout& onLeft, const ZoneLayout& onRight) {
        LayoutLibrary made;
        made.layouts = {onLeft, onRight};
        made.assign(onLeft.id, left.displayKey());
        made.assign(onRight.id, right.displayKey());
        return made;
    };
    struct Row {
        const char* name;
        std::optional<std::string> displayID;
        LayoutLibrary library;
        std::optional<UUID> shown;
    };
    const Row rows[] = {
        {"the window's own display: the larger of 2 and 4", std::nullopt, library(two, four), four.id},
        {"the chosen display's own layout", "LEFT", library(two, four), two.id},
        {"two of 4 zones: the first display's", std::nullopt, library(four, otherFour), four.id},
        {"a disconnected display: the largest", "GONE", library(four, two), four.id},
        {"no layouts", std::nullopt, LayoutLibrary{}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto layout = pickerLayout(row.displayID, {left, right}, row.library);
        EXPECT_EQ(layout ? std::optional(layout->id) : std::nullopt, row.shown);
    }
}

TEST(AppIndex, RunningAppsAreRegularNamedOnceAndSortedIgnoringCase) {
    struct Row {
        const char* name;
        std::vector<RunningApplication> running;
        std::vector<AppInfo::RunningApp> listed;
    };
    const Row rows[] = {
        {"sorted ignoring case, stable for equal names",
         {running(1, "b", "beta"), running(2, "Z", "zed"), running(3, "a", "Alpha"), running(4, "B2", "Beta")},
         {{"a", "Alpha"}, {"b", "beta"}, {"B2", "Beta"}, {"Z", "Zed editor"}}},
        {"no identifier, or an accessory, is left out",
         {running(1, std::nullopt, "nameless"), running(2, "Panel", "panel", ActivationPolicy::accessory),
          running(3, "", "empty")},
         {}},
        {"without an installed entry the identifier names it", {running(1, "Unknown", "whatever")}, {{"Unknown", "Unknown"}}},
        {"one row per identifier, however many processes", {running(1, "XTerm"), running(2, "XTerm")}, {{"XTerm", "XTerm"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const AppInfo apps(row.running, {installed("Z", "Zed editor"), installed("b", "beta"), installed("a", "Alpha"),
                                         installed("B2", "Beta")});
        EXPECT_EQ(apps.runningApps(), row.listed);
    }
}

TEST(AppIndex, NamesAndIconsComeFromTheEntryElseTheIdentifier) {
    const AppInfo apps({}, {installed("org.example.Editor", "Editor.app & Co", "accessories-text-editor"),
                            installed("XTerm", "XTerm")});
    EXPECT_EQ(apps.appDisplayName("org.example.Editor"), "Editor.app & Co") << "no \".app\" removal";
    EXPECT_EQ(apps.icon("org.example.Editor"), "accessories-text-editor");
    EXPECT_EQ(apps.appDisplayName("xterm"), "XTerm") << "entries match window classes ignoring case";
    EXPECT_EQ(apps.appDisplayName("gone"), "gone");
    EXPECT_EQ(apps.icon("gone"), std::nullopt);
    EXPECT_EQ(apps.installedApplications().front().bundleIdentifier, "org.example.Editor");
}

TEST(AppIndex, ThePickerListsWhatTheLauncherWouldStore) {
    SimApplicationWorkspace workspace;
    workspace.addApplication(running(7, "XTerm", "xterm"));
    SimApplicationLauncher launcher;
    launcher.install("XTerm", "XTerm");
    launcher.install("org.example.Viewer", "viewer");
    const AppInfo apps = AppInfo::build(&workspace, &launcher);
    std::vector<std::string> identifiers;
    for (const auto& application : apps.installedApplications()) identifiers.push_back(application.bundleIdentifier);
    EXPECT_EQ(identifiers, (std::vector<std::string>{"org.example.Viewer", "XTerm"}));
    EXPECT_EQ(AppInfo::build(nullptr, nullptr).runningApps().size(), 0u);
}

TEST(WorkspacesPane, TextsOfDisplaysEntriesCountsAndTheSavedDate) {
    const std::vector<DisplayInfo> displays{makeDisplay(1, "Left", Rect(0, 0, 10, 10)),
                                            makeDisplay(2, "right", Rect(10, 0, 10, 10))};
    auto withDisplays = [](std::set<std::string> identifiers) {
        return Workspace(UUID::random(), "Desk", {}, std::move(identifiers), false, false, Date(0));
    };
    struct Row {
        const char* name;
        Workspace workspace;
        std::string summary;
    };
    const Row rows[] = {
        {"capitals sort before the lower-case text", withDisplays({"Left", "GONE"}), "With Left, a display that is not attached"},
        {"two detached displays, twice", withDisplays({"X", "Y"}), "With a display that is not attached, a display that is not attached"},
        {"plain order, not the locale's", withDisplays({"right", "Left"}), "With Left, right"},
        {"none", withDisplays({}), "With "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(workspaceDisplaySummary(row.workspace, displays), row.summary);
    }

    struct EntryRow {
        const char* name;
        std::vector<std::int64_t> zones;
        std::string text;
    };
    const EntryRow entries[] = {
        {"no zones", {}, "free"},
        {"two zones", {0, 2}, "zone 1+3"},
        {"the largest index", {largest}, "zone 9223372036854775808"},
        {"a negative index", {-5}, "zone -4"},
    };
    for (const EntryRow& row : entries) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(workspaceEntryZonesText(WorkspaceEntry(UUID::random(), "XTerm", "t", "K", row.zones, Rect())), row.text);
    }

    Workspace counted = withDisplays({});
    for (const char* app : {"XTerm", "Editor", "XTerm"}) counted.entries.emplace_back(UUID::random(), app, "", "K", std::vector<std::int64_t>{}, Rect());
    EXPECT_EQ(workspaceCountsText(counted), "3 windows \u00b7 2 apps");
    EXPECT_EQ(workspaceSavedText(Date::fromUnixTime(1741097100), "en_US", "UTC"), "Saved Mar 4, 2025");
}

TEST(ExcludedAppsPane, AddsOnceRemovesEveryOccurrenceAndSavesEachTime) {
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    struct Row {
        const char* name;
        std::vector<std::string> before;
        bool add;
        std::string identifier;
        bool changed;
        std::vector<std::string> after;
    };
    const Row rows[] = {
        {"a new one goes last", {"A"}, true, "B", true, {"A", "B"}},
        {"one already there changes nothing", {"A", "B"}, true, "A", false, {"A", "B"}},
        {"the comparison keeps case", {"xterm"}, true, "XTerm", true, {"xterm", "XTerm"}},
        {"removal takes every occurrence, keeping the order", {"A", "B", "A", "C"}, false, "A", true, {"B", "C"}},
        {"removing one not there still saves", {"A"}, false, "Z", true, {"A"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        preferences.setExcludedBundleIDs(row.before);
        defaults.remove("preferences.v1");
        if (row.add) {
            EXPECT_EQ(addExcludedApp(preferences, row.identifier), row.changed);
        } else {
            removeExcludedApp(preferences, row.identifier);
        }
        EXPECT_EQ(preferences.excludedBundleIDs(), row.after);
        EXPECT_EQ(defaults.contains("preferences.v1"), row.changed);
    }
}

class ListEditTest : public ::testing::Test, public PlacementWorld {
protected:
    RuleService rules{*zones, displaysReader(), store<RuleSet>("rules.json")};
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    WorkspaceService workspaces{*zones, displaysReader(), store<WorkspaceLibrary>("workspaces.json"), applications,
                                launcher, scheduler};
};

TEST_F(ListEditTest, AnEditChangesOnlyItsFieldOfTheStoredRuleAndIsDroppedOnceTheRuleIsGone) {
    const UUID id = addRule(rules, "XTerm");
    // Meanwhile a merge changes the zones; the editor's copy still has zone 1.
    rules.modifyRuleSet([&](RuleSet& set) { set.rules[0].zoneIndices = {2}; });
    ASSERT_TRUE(editRule(rules, id, [](PlacementRule& r) { r.titlePattern = "(" ; }));
    EXPECT_EQ(rules.ruleSet().rules[0].zoneIndices, (std::vector<std::int64_t>{2}));
    EXPECT_EQ(rules.ruleSet().rules[0].titlePattern, "(");
    EXPECT_GT(rules.ruleSet().rules[0].modifiedAt, Date(0));

    deleteRule(rules, id);
    const int saves = writes("rules.json");
    EXPECT_FALSE(editRule(rules, id, [](PlacementRule& r) { r.isEnabled = false; }));
    toggleZone(rules, id, 1);
    EXPECT_TRUE(rules.ruleSet().rules.empty()) << "a deleted rule must not come back";
    EXPECT_EQ(writes("rules.json"), saves);
}

TEST_F(ListEditTest, AWorkspaceEditKeepsAnUpdateMadeMeanwhileAndNeverRevivesADeletedOne) {
    engine.addWindow("XTerm", 11, "one", mainZone(0));
    const Workspace saved = workspaces.saveCurrentWindows("Desk");
    engine.addWindow("XTerm", 12, "two", mainZone(1));
    workspaces.updateWithCurrentWindows(saved.id);
    ASSERT_TRUE(editWorkspace(workspaces, saved.id, [](Workspace& w) { w.name = "Coding"; }));
    EXPECT_EQ(workspaces.library().workspaces[0].entries.size(), 2u) << "the update made meanwhile stays";
    EXPECT_EQ(workspaces.library().workspaces[0].name, "Coding");

    workspaces.updateLibrary([&](WorkspaceLibrary& library) { library.deleteWorkspace(saved.id); });
    EXPECT_FALSE(editWorkspace(workspaces, saved.id, [](Workspace& w) { w.launchesMissingApps = true; }));
    EXPECT_TRUE(workspaces.library().workspaces.empty());
    EXPECT_EQ(workspaces.library().deletedWorkspaces.size(), 1u);
}

TEST_F(ListEditTest, TheProgramsOwnWindowsAreLeftOutOfACapture) {
    engine.addWindow("Tessary", 500, "Settings", mainZone(0));
    engine.addWindow("XTerm", 11, "one", mainZone(1));
    workspaces.ownProcess = 500;
    const Workspace saved = workspaces.saveCurrentWindows("Desk");
    ASSERT_EQ(saved.entries.size(), 1u);
    EXPECT_EQ(saved.entries[0].bundleID, "XTerm");
}
