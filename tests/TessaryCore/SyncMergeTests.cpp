#include <gtest/gtest.h>

#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/RuleSet.h"
#include "TessaryCore/SyncMerge.h"
#include "TessaryCore/WorkspaceLibrary.h"
#include "TessaryCore/ZoneGrid.h"

using namespace tessary;

namespace {

struct Item {
    UUID id;
    Date modifiedAt;
    std::string content;
    json::Json toJSON() const { return {{"content", content}, {"id", id.uuidString()}}; }
    friend bool operator==(const Item&, const Item&) = default;
};

const UUID a = *UUID::parsing("00000000-0000-0000-0000-00000000000A");
const UUID b = *UUID::parsing("00000000-0000-0000-0000-00000000000B");
const UUID c = *UUID::parsing("00000000-0000-0000-0000-00000000000C");

std::vector<std::string> contents(const std::vector<Item>& items) {
    std::vector<std::string> out;
    for (const auto& item : items) out.push_back(item.content);
    return out;
}

}  // namespace

TEST(SyncMerge, NewestChangeWinsAndTiesGoToTheLargerCopy) {
    const struct {
        const char* name;
        std::vector<Item> local, remote;
        std::vector<std::string> expected;
    } cases[] = {
        {"equal times, different copies: the larger, remote here", {{a, Date(10), "local"}}, {{a, Date(10), "remote"}},
         {"remote"}},
        {"equal times, different copies: the larger, local here", {{a, Date(10), "zlocal"}}, {{a, Date(10), "remote"}},
         {"zlocal"}},
        {"equal times, equal copies", {{a, Date(10), "same"}}, {{a, Date(10), "same"}}, {"same"}},
        {"remote 1 ms newer, in local's place",
         {{a, Date(10), "a-local"}, {b, Date(10), "b"}},
         {{a, Date(10.001), "a-remote"}},
         {"a-remote", "b"}},
        {"remote-only items come after, in remote order",
         {{a, Date(1), "a"}},
         {{c, Date(1), "c"}, {b, Date(1), "b"}},
         {"a", "c", "b"}},
        {"first duplicate within a list wins a tie",
         {{a, Date(5), "first"}, {a, Date(5), "second"}},
         {},
         {"first"}},
        {"older remote loses", {{a, Date(5), "local"}}, {{a, Date(4), "remote"}}, {"local"}},
    };
    for (const auto& c : cases) {
        const auto merged = SyncMerge::merge(c.local, {}, c.remote, {});
        EXPECT_EQ(contents(merged.items), c.expected) << c.name;
        EXPECT_TRUE(merged.tombstones.empty()) << c.name;
    }
}

TEST(SyncMerge, TombstonesDeleteWhatIsNotNewerAndSurvivorsRemoveThem) {
    const std::string keyA = a.uuidString();
    // A tombstone newer than or equal to the item drops it and stays.
    for (double itemTime : {9.0, 10.0}) {
        const auto merged = SyncMerge::merge<Item>({}, {{keyA, Date(10)}}, {{a, Date(itemTime), "x"}}, {});
        EXPECT_TRUE(merged.items.empty()) << itemTime;
        EXPECT_EQ(merged.tombstones.at(keyA), Date(10)) << itemTime;
    }
    // An item changed after its deletion survives, and its tombstone goes.
    const auto revived = SyncMerge::merge<Item>({}, {{keyA, Date(10)}}, {{a, Date(10.001), "x"}}, {});
    EXPECT_EQ(contents(revived.items), std::vector<std::string>{"x"});
    EXPECT_TRUE(revived.tombstones.empty());

    // Both sides: the later date; a tombstone for an unknown item stays.
    const auto both = SyncMerge::merge<Item>({}, {{keyA, Date(3)}, {"OTHER", Date(1)}}, {}, {{keyA, Date(7)}});
    EXPECT_EQ(both.tombstones, (Tombstones{{keyA, Date(7)}, {"OTHER", Date(1)}}));

    // Local empty: remote items not covered by a tombstone.
    const auto fromRemote = SyncMerge::merge<Item>({}, {}, {{a, Date(1), "a"}, {b, Date(1), "b"}},
                                                   {{b.uuidString(), Date(2)}});
    EXPECT_EQ(contents(fromRemote.items), std::vector<std::string>{"a"});
}

TEST(SyncMerge, TombstoneIsNeverEarlierThanTheDeletedItem) {
    EXPECT_EQ(SyncMerge::tombstone(std::nullopt, Date(100.0004)), Date(100.0));
    EXPECT_EQ(SyncMerge::tombstone(Date(50), Date(100.0006)), Date(100.001));
    EXPECT_EQ(SyncMerge::tombstone(Date(500.25), Date(100)), Date(500.25));  // a stamp from the future
}

// A deletion given the identifier of the library's own first item (as a caller holding a reference
// into the list would): that item goes and its tombstone is written, not the next one's.
TEST(SyncMerge, DeletingByAnIdentifierHeldInTheLibraryTombstonesThatItem) {
    const auto tombstoned = [](const Tombstones& stones) {
        std::vector<std::string> ids;
        for (const auto& entry : stones) ids.push_back(entry.first);
        return ids;
    };
    const std::vector<std::string> onlyA{a.uuidString()};

    LayoutLibrary layouts;
    for (const UUID& id : {a, b}) layouts.upsert(ZoneLayout(id, "L", ZoneGrid::uniform(1, 2), 0, 0, std::nullopt, Date(1)));
    layouts.deleteLayout(layouts.layouts.front().id, Date(5));
    ASSERT_EQ(layouts.layouts.size(), 1u);
    EXPECT_EQ(layouts.layouts.front().id, b);
    EXPECT_EQ(tombstoned(layouts.deletedLayouts), onlyA);

    RuleSet rules;
    for (const UUID& id : {a, b}) rules.upsert(PlacementRule(id, true, "App", std::nullopt, std::nullopt, {0}, Date(1)));
    rules.deleteRule(rules.rules.front().id, Date(5));
    ASSERT_EQ(rules.rules.size(), 1u);
    EXPECT_EQ(rules.rules.front().id, b);
    EXPECT_EQ(tombstoned(rules.deletedRules), onlyA);

    WorkspaceLibrary workspaces;
    for (const UUID& id : {a, b}) workspaces.upsert(Workspace(id, "W", {}, {}, false, false, Date(1)));
    workspaces.deleteWorkspace(workspaces.workspaces.front().id, Date(5));
    ASSERT_EQ(workspaces.workspaces.size(), 1u);
    EXPECT_EQ(workspaces.workspaces.front().id, b);
    EXPECT_EQ(tombstoned(workspaces.deletedWorkspaces), onlyA);
}

// An edit made on a machine whose clock is behind the version it edits (made by a machine a year
// ahead) must still win that version, wherever the two meet.
TEST(SyncMerge, AnEditIsStampedAfterTheVersionItEditsWhateverTheClocks) {
    const Date now(800'000'000.25);
    const Date yearAhead = now.addingSeconds(365 * 86400.0);
    EXPECT_EQ(SyncMerge::editStamp(Date(700'000'000), now), now) << "the clock, as it is, when ahead";
    EXPECT_EQ(SyncMerge::editStamp(yearAhead, now), yearAhead.addingSeconds(0.001).roundedToMilliseconds());
    EXPECT_EQ(SyncMerge::editStamp(now, now), now.addingSeconds(0.001)) << "never equal: equal times keep local";

    const Item ahead{a, yearAhead, "a year ahead"};
    const Item edited{a, SyncMerge::editStamp(ahead.modifiedAt, now), "edited here later"};
    EXPECT_EQ(contents(SyncMerge::merge(std::vector<Item>{edited}, {}, std::vector<Item>{ahead}, {}).items), std::vector<std::string>{"edited here later"});
    EXPECT_EQ(contents(SyncMerge::merge(std::vector<Item>{ahead}, {}, std::vector<Item>{edited}, {}).items), std::vector<std::string>{"edited here later"})
        << "on the machine that is ahead, too";
}

