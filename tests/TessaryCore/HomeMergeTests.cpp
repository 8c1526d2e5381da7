#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TessaryCore/HomeMerge.h"
#include "TessaryCore/ZoneGrid.h"
#include "TestSupport.h"

using namespace tessary;

namespace {

ZoneLayout layout(int n) {
    return ZoneLayout{idNumber(n), "Layout " + std::to_string(n), LayoutKind(ZoneGrid::uniform(2, 2)), 0, 0,
                      std::nullopt, Date(0)};
}

PlacementRule rule(int n) { return PlacementRule(idNumber(n), true, "App" + std::to_string(n), {}, {}, {0}, Date(0)); }

std::vector<UUID> ids(const std::vector<PlacementRule>& rules) {
    std::vector<UUID> out;
    for (const PlacementRule& r : rules) out.push_back(r.id);
    return out;
}

}  // namespace

// One key: what each side holds (nothing: absent) and what the merge keeps.
TEST(HomeMerge, EachKeyTakesTheSideThatChangedIt) {
    using Value = std::optional<int>;
    const struct {
        const char* name;
        bool baseKnown;
        Value base, ours, theirs, merged;
    } rows[] = {
        {"theirs changed", true, 1, 1, 2, 2},
        {"ours changed", true, 1, 3, 1, 3},
        {"both changed: ours", true, 1, 3, 2, 3},
        {"theirs removed", true, 1, 1, {}, {}},
        {"ours removed", true, 1, {}, 1, {}},
        {"ours changed, theirs removed: the change stays", true, 1, 3, {}, 3},
        {"theirs added", true, {}, {}, 2, 2},
        {"both added: ours", true, {}, 3, 2, 3},
        {"no base: nothing is removed", false, {}, {}, 2, 2},
        {"no base: ours kept", false, {}, 1, {}, 1},
    };
    const auto map = [](Value value) {
        std::map<std::string, int> m;
        if (value) m["key"] = *value;
        return m;
    };
    for (const auto& row : rows) {
        const auto base = map(row.base);
        const auto merged = HomeMerge::threeWay(map(row.ours), map(row.theirs), row.baseKnown ? &base : nullptr,
                                                [](int ours, int, const int*) { return ours; });
        EXPECT_EQ(merged, map(row.merged)) << row.name;
    }
}

// Two displays of one user share the layouts: each assigns a layout to a display, and neither undoes
// the other's assignment or default with the copy it held from before.
TEST(HomeMerge, LayoutAssignmentsAndTheDefaultKeepBothInstancesChanges) {
    LayoutLibrary base;
    base.layouts = {layout(1), layout(2), layout(3)};
    base.assignments = {{"right@1920x1080", idNumber(1)}, {"left@1920x1080", idNumber(1)}, {"old@800x600", idNumber(1)}};
    base.defaultLayoutID = idNumber(1);

    LayoutLibrary ours = base;
    ours.assignments["left@1920x1080"] = idNumber(3);
    ours.assignments.erase("old@800x600");
    LayoutLibrary theirs = base;
    theirs.assignments["right@1920x1080"] = idNumber(2);
    theirs.defaultLayoutID = idNumber(2);

    const HomeMerge::LayoutsBase was(base);
    const LayoutLibrary merged = HomeMerge::layouts(ours, theirs, &was);
    EXPECT_EQ(merged.assignments, (std::map<std::string, UUID>{{"right@1920x1080", idNumber(2)},
                                                               {"left@1920x1080", idNumber(3)}}));
    EXPECT_EQ(merged.defaultLayoutID, idNumber(2));

    // A layout the other deleted takes its assignments with it, and the default falls back.
    LayoutLibrary deleted = base;
    deleted.deleteLayout(idNumber(1), Date(100));
    const LayoutLibrary afterDelete = HomeMerge::layouts(ours, deleted, &was);
    EXPECT_FALSE(afterDelete.layout(idNumber(1)));
    EXPECT_EQ(afterDelete.assignments, (std::map<std::string, UUID>{{"left@1920x1080", idNumber(3)}}));
    ASSERT_TRUE(afterDelete.defaultLayoutID);
    EXPECT_TRUE(afterDelete.layout(*afterDelete.defaultLayoutID));
}

// The rules' order is their priority: one side's reordering survives the other's new rule, unless
// both reordered (then this side's order stands).
TEST(HomeMerge, TheOrderOfTheSideThatAloneReorderedIsKept) {
    RuleSet base;
    base.rules = {rule(1), rule(2), rule(3)};
    RuleSet reordered = base;
    reordered.rules = {rule(3), rule(1), rule(2)};
    RuleSet added = base;
    added.rules.push_back(rule(4));
    RuleSet alsoReordered = base;
    alsoReordered.rules = {rule(2), rule(1), rule(3)};

    const HomeMerge::ItemOrder was(base);
    EXPECT_EQ(ids(HomeMerge::rules(added, reordered, &was).rules),
              (std::vector<UUID>{idNumber(3), idNumber(1), idNumber(2), idNumber(4)}));
    EXPECT_EQ(ids(HomeMerge::rules(reordered, added, &was).rules),
              (std::vector<UUID>{idNumber(3), idNumber(1), idNumber(2), idNumber(4)}));
    EXPECT_EQ(ids(HomeMerge::rules(alsoReordered, reordered, &was).rules),
              (std::vector<UUID>{idNumber(2), idNumber(1), idNumber(3)}));
}

// Two instances each make a rule at nearly the same moment: whichever saves second merges the first's
// file, the first then takes in that save; both end with one order (the rules' priority), the
// earlier-made rule first, identifiers deciding equal stamps.
TEST(HomeMerge, RulesMadeOnBothSidesEndInOneOrderOnBoth) {
    const auto made = [](int n, double stamp) {
        return PlacementRule(idNumber(n), true, "App" + std::to_string(n), {}, {}, {0}, Date(stamp));
    };
    const struct {
        const char* name;
        double pStamp, qStamp;
        std::vector<UUID> order;
    } rows[] = {
        {"P made first", 10, 11, {idNumber(1), idNumber(2), idNumber(3), idNumber(4)}},
        {"Q made first", 11, 10, {idNumber(1), idNumber(2), idNumber(4), idNumber(3)}},
        {"the same stamp", 10, 10, {idNumber(1), idNumber(2), idNumber(3), idNumber(4)}},
    };
    RuleSet base;
    base.rules = {rule(1), rule(2)};
    for (const auto& row : rows) {
        RuleSet a = base, b = base;
        a.upsert(made(3, row.pStamp));
        b.upsert(made(4, row.qStamp));
        for (const bool aSavesFirst : {true, false}) {
            SCOPED_TRACE(std::string(row.name) + (aSavesFirst ? ", A saves first" : ", B saves first"));
            const RuleSet& first = aSavesFirst ? a : b;
            const RuleSet& second = aSavesFirst ? b : a;
            const HomeMerge::ItemOrder baseOrder(base), firstOrder(first);
            const RuleSet file = HomeMerge::rules(second, first, &baseOrder);
            const RuleSet takenIn = HomeMerge::rules(first, file, &firstOrder);
            EXPECT_EQ(ids(file.rules), row.order);
            EXPECT_EQ(ids(takenIn.rules), row.order);
        }
    }
    // A rule the other side made before one of ours that is not new goes where they put it.
    RuleSet mine = base;
    mine.upsert(rule(3));
    RuleSet theirs = base;
    theirs.rules = {rule(1), rule(2), rule(4), rule(3)};
    const HomeMerge::ItemOrder mineOrder(mine);
    EXPECT_EQ(ids(HomeMerge::rules(mine, theirs, &mineOrder).rules),
              (std::vector<UUID>{idNumber(1), idNumber(2), idNumber(4), idNumber(3)}));
}

// Two saves of workspaces from one starting point both stay; a deletion on one side holds.
TEST(HomeMerge, WorkspacesSavedOnEitherSideBothStayAndDeletionsHold) {
    WorkspaceLibrary base;
    base.workspaces = {Workspace(idNumber(1), "Old", {}, {}, false, false, Date(0))};
    WorkspaceLibrary ours = base;
    ours.workspaces.push_back(Workspace(idNumber(2), "First", {}, {}, false, false, Date(10)));
    WorkspaceLibrary theirs = base;
    theirs.workspaces.push_back(Workspace(idNumber(3), "Second", {}, {}, false, false, Date(11)));
    theirs.deleteWorkspace(idNumber(1), Date(12));

    const HomeMerge::ItemOrder was(base);
    std::vector<std::string> names;
    for (const Workspace& workspace : HomeMerge::workspaces(ours, theirs, &was).workspaces) names.push_back(workspace.name);
    EXPECT_EQ(names, (std::vector<std::string>{"First", "Second"}));
}

// Window memory: the newer record of a window wins whichever side has it, and a window one side
// forgot stays forgotten.
TEST(HomeMerge, WindowMemoryKeepsTheNewerRecordAndWhatWasForgotten) {
    const auto at = [](double seconds) { return WindowPlacement("right@1920x1080", idNumber(1), {0}, Date(seconds)); };
    WindowPlacementMemory base;
    base.byWindow = {{"XTerm\x1F" "one", at(1)}, {"XTerm\x1F" "two", at(1)}};
    base.byApp = {{"XTerm", at(1)}};
    WindowPlacementMemory ours = base;
    ours.byWindow.erase("XTerm\x1F" "two");
    ours.byWindow["XTerm\x1F" "three"] = at(4);
    ours.byApp["XTerm"] = at(4);
    WindowPlacementMemory theirs = base;
    theirs.byWindow["XTerm\x1F" "one"] = at(2);
    theirs.byWindow["XTerm\x1F" "three"] = at(3);
    theirs.byApp["XTerm"] = at(3);

    const HomeMerge::MemoryBase was(base);
    const WindowPlacementMemory merged = HomeMerge::memory(ours, theirs, &was);
    EXPECT_EQ(merged.byWindow, (std::map<std::string, WindowPlacement>{{"XTerm\x1F" "one", at(2)},
                                                                       {"XTerm\x1F" "three", at(4)}}));
    EXPECT_EQ(merged.byApp.at("XTerm"), at(4));
}
