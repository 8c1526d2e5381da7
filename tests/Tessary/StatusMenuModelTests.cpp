#include <gtest/gtest.h>

#include "Tessary/shell/StatusMenuModel.h"
#include "TestWorld.h"

using namespace tessary;
using tessary::testing::makeDisplay;

namespace {

// The menu as lines: "Zone 1 [snapToZone1]", "---", "> Workspaces" followed by its items indented,
// "(disabled)" after an item that cannot be chosen.
std::vector<std::string> lines(const std::vector<StatusMenuItem>& items, const std::string& indent = "") {
    std::vector<std::string> out;
    for (const auto& item : items) {
        std::string line = indent;
        switch (item.kind) {
            case StatusMenuItem::Kind::separator: line += "---"; break;
            case StatusMenuItem::Kind::submenu: line += "> " + item.text; break;
            case StatusMenuItem::Kind::layoutRow:
                line += "row " + item.accessibilityLabel + " (" + std::to_string(item.layouts.size()) + " tiles)";
                break;
            case StatusMenuItem::Kind::twoLineRow: line += "two-line " + item.text + " / " + item.subtitle; break;
            case StatusMenuItem::Kind::action: line += item.text; break;
        }
        if (item.boundName) line += " [" + *item.boundName + "]";
        if (!item.keyEquivalent.empty()) line += " Ctrl+" + item.keyEquivalent;
        if (!item.enabled) line += " (disabled)";
        if (item.checked) line += " (checked)";
        out.push_back(line);
        for (const auto& child : lines(item.children, indent + "  ")) out.push_back(child);
    }
    return out;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<std::string> kTail{
    "Show Zones [showZones]", "Restore Windows to Zones [restoreAllWindows]", "> Workspaces",
    "  Save Current Windows…", "Edit Layouts… [openEditor]", "---"};
const std::vector<std::string> kBottom{"About Tessary", "Send Feedback…", "---", "Settings… Ctrl+,", "Quit Tessary Ctrl+q"};

LayoutLibrary libraryOf(std::vector<ZoneLayout> layouts) {
    LayoutLibrary library;
    library.layouts = std::move(layouts);
    return library;
}

}  // namespace

TEST(StatusMenuModel, ItemsForEachState) {
    const DisplayInfo main = makeDisplay(1, "MAIN", Rect(0, 0, 1000, 800));
    const DisplayInfo side = makeDisplay(2, "SIDE", Rect(1000, 0, 800, 600));
    const ZoneLayout three(LayoutTemplate::columns, 3, "Three");
    const ZoneLayout six(LayoutTemplate::grid, 6, "Six");
    const ZoneLayout twelve(LayoutTemplate::grid, 12, "Twelve");
    LayoutLibrary threeAndSix = libraryOf({three, six});
    threeAndSix.assign(six.id, side.displayKey());

    StatusMenuInputs none;
    none.displays = {};
    StatusMenuInputs emptyLibrary;
    emptyLibrary.displays = {main};
    StatusMenuInputs mixed;
    mixed.displays = {main, side};
    mixed.library = threeAndSix;
    StatusMenuInputs large;
    large.displays = {main};
    large.library = libraryOf({twelve});
    StatusMenuInputs untrusted = none;
    untrusted.windowControlGranted = false;
    StatusMenuInputs update = none;
    update.pendingUpdateVersion = "0.2.0";
    update.updaterConfigured = true;
    update.updaterCanCheck = true;
    StatusMenuInputs busyUpdater = none;
    busyUpdater.updaterConfigured = true;
    StatusMenuInputs review = none;
    review.offerReview = true;

    std::vector<std::string> zones1to6{"> Snap Focused Window"};
    for (int i = 1; i <= 6; ++i) zones1to6.push_back("  Zone " + std::to_string(i) + " [snapToZone" + std::to_string(i) + "]");
    std::vector<std::string> zones1to12{"> Snap Focused Window"};
    for (int i = 1; i <= 12; ++i) {
        zones1to12.push_back("  Zone " + std::to_string(i) + (i <= 9 ? " [snapToZone" + std::to_string(i) + "]" : ""));
    }
    const std::vector<std::string> noZones{"> Snap Focused Window", "  No zones (disabled)"};

    struct Row {
        const char* name;
        StatusMenuInputs inputs;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows{
        {"no displays: no rows, no separator, no zones", none, joined({noZones, kTail, kBottom})},
        {"empty library: a name-only row", emptyLibrary, joined({{"row MAIN:  (0 tiles)", "---"}, noZones, kTail, kBottom})},
        {"3 and 6 zones list zones 1 to 6", mixed,
         joined({{"row MAIN: Three (2 tiles)", "row SIDE: Six (2 tiles)", "---"}, zones1to6, kTail, kBottom})},
        {"12 zones: only 1 to 9 bound", large, joined({{"row MAIN: Twelve (1 tiles)", "---"}, zones1to12, kTail, kBottom})},
        {"untrusted: set-up item first", untrusted,
         joined({{"Set Up Window Control…", "---"}, noZones, kTail, kBottom})},
        {"update pending and configured", update,
         joined({noZones, kTail,
                 {"two-line Tessary 0.2.0 is available / See what is new and install…", "---", "About Tessary",
                  "Check for Updates…", "Send Feedback…", "---", "Settings… Ctrl+,", "Quit Tessary Ctrl+q"}})},
        {"configured but unable to check", busyUpdater,
         joined({noZones, kTail,
                 {"About Tessary", "Check for Updates… (disabled)", "Send Feedback…", "---", "Settings… Ctrl+,",
                  "Quit Tessary Ctrl+q"}})},
        {"review due", review,
         joined({noZones, kTail, {"two-line Enjoying Tessary? / Write a review or tell us what is missing…", "---"}, kBottom})},
    };
    for (const Row& row : rows) EXPECT_EQ(lines(StatusMenuModel::build(row.inputs)), row.expected) << row.name;
}

TEST(StatusMenuModel, WorkspacesKeepTheirNamesAndTheWorkspaceAsBuilt) {
    StatusMenuInputs inputs;
    Workspace odd;
    odd.id = UUID::parsing("11111111-2222-3333-4444-555555555555").value();
    odd.name = "R&D <b>%1</b>";
    inputs.workspaces.workspaces = {odd};
    const auto items = StatusMenuModel::build(inputs);
    const auto& menu = items[3];
    ASSERT_EQ(menu.text, "Workspaces");
    EXPECT_EQ(lines(menu.children), (std::vector<std::string>{
                                        "R&D <b>%1</b> [workspace.11111111-2222-3333-4444-555555555555]", "---",
                                        "Save Current Windows…"}));
    EXPECT_EQ(menu.children[0].action.workspace, odd);
}

TEST(StatusMenuModel, WithoutWidgetRowsEachDisplayGetsASubmenuOfLayouts) {
    const DisplayInfo main = makeDisplay(1, "MAIN", Rect(0, 0, 1000, 800));
    const ZoneLayout a(LayoutTemplate::columns, 2, "Halves");
    const ZoneLayout b(LayoutTemplate::columns, 3, "Thirds");
    StatusMenuInputs inputs;
    inputs.displays = {main};
    inputs.library = libraryOf({a, b});
    inputs.library.assign(b.id, main.displayKey());
    inputs.offerReview = true;
    const auto plain = StatusMenuModel::withoutWidgetRows(StatusMenuModel::build(inputs));
    const auto text = lines(plain);
    EXPECT_EQ(std::vector<std::string>(text.begin(), text.begin() + 3),
              (std::vector<std::string>{"> MAIN · Thirds", "  Halves", "  Thirds (checked)"}));
    EXPECT_EQ(plain[0].children[0].action.layoutID, a.id);
    EXPECT_EQ(plain[0].children[0].action.display, main);
    EXPECT_NE(std::find(text.begin(), text.end(), "Enjoying Tessary?"), text.end());
}

// Where a 365 x 900 menu opens on a 1920 x 1080 monitor when the tray's icon sits at the top right
// (a menu opened at the pointer covers it), at the bottom right, or beside a menu about as tall
// as the monitor.
TEST(StatusMenuModel, TheMenuOpensBesideItsIconNeverOverIt) {
    const Rect monitor(0, 0, 1920, 1080);
    const Rect top(1897, 1, 22, 22), bottom(1897, 1057, 22, 22);
    struct Row {
        const char* name;
        Rect placed, icon, expected;
    };
    const Row rows[] = {
        {"apart from the icon: left where it is", Rect(100, 100, 365, 900), top, Rect(100, 100, 365, 900)},
        {"over the icon at the top: below it", Rect(1555, 12, 365, 900), top, Rect(1555, 23, 365, 900)},
        {"over the icon at the bottom: above it", Rect(1555, 180, 365, 900), bottom, Rect(1555, 157, 365, 900)},
        {"too tall for above or below: to its left", Rect(1555, 12, 365, 1060), top, Rect(1532, 12, 365, 1060)},
        {"the icon at the left edge: to its right", Rect(0, 12, 365, 1060), Rect(0, 1, 22, 22), Rect(22, 12, 365, 1060)},
        {"fits nowhere: left where it is", Rect(0, 0, 1920, 1080), top, Rect(0, 0, 1920, 1080)},
        {"no icon: left where it is", Rect(1555, 12, 365, 900), Rect::null(), Rect(1555, 12, 365, 900)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(StatusMenuModel::menuBesideIcon(row.placed, row.icon, monitor), row.expected);
    }
}

// What each display's row shows of its tiles when the menu has room for `fit` rows of them.
TEST(StatusMenuModel, RowsOfTilesShareTheRoomTheTallestGivingFirst) {
    struct Row {
        const char* name;
        std::vector<int> needed;
        int fit;
        std::vector<int> shown;
    };
    const Row rows[] = {
        {"all fit", {2, 4}, 20, {2, 4}},
        {"capped", {334, 2}, 20, {6, 2}},
        {"the tallest gives first", {334, 334, 2}, 9, {3, 4, 2}},
        {"never under one row", {334, 334, 334}, 1, {1, 1, 1}},
        {"an empty library shows none", {0, 334}, 0, {0, 1}},
        {"no room at all", {3}, -5, {1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(StatusMenuModel::tileRowsShown(row.needed, row.fit, 6), row.shown);
    }
}
