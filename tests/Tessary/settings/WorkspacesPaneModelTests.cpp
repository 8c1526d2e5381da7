#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/WorkspacesPaneModel.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();

}  // namespace

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

class WorkspaceEditTest : public ::testing::Test, public PlacementWorld {
protected:
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    WorkspaceService workspaces{*zones, displaysReader(), store<WorkspaceLibrary>("workspaces.json"), applications,
                                launcher, scheduler};
};

TEST_F(WorkspaceEditTest, AWorkspaceEditKeepsAnUpdateMadeMeanwhileAndNeverRevivesADeletedOne) {
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

