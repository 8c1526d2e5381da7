#include <gtest/gtest.h>

#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/LayoutPreset.h"

using namespace tessary;

namespace {

const UUID idA = *UUID::parsing("00000000-0000-0000-0000-00000000000A");
const UUID idB = *UUID::parsing("00000000-0000-0000-0000-00000000000B");
const UUID idC = *UUID::parsing("00000000-0000-0000-0000-00000000000C");
const DisplayKey mainDisplay("MAIN", 1920, 1080);

ZoneLayout layout(const UUID& id, std::string name, double modifiedAt = 1000) {
    return ZoneLayout(id, std::move(name), ZoneGrid::uniform(1, 2), 8, 8, std::nullopt, Date(modifiedAt));
}

LayoutLibrary libraryOf(std::vector<ZoneLayout> layouts, std::optional<UUID> defaultID = std::nullopt) {
    LayoutLibrary library;
    library.layouts = std::move(layouts);
    library.defaultLayoutID = defaultID;
    return library;
}

std::vector<std::string> names(const LayoutLibrary& library) {
    std::vector<std::string> out;
    for (const ZoneLayout& l : library.layouts) out.push_back(l.name);
    return out;
}

std::optional<std::string> nameFor(const LayoutLibrary& library, const DisplayKey& key) {
    const auto found = library.layout(key);
    return found ? std::optional<std::string>(found->name) : std::nullopt;
}

LayoutLibrary roundTrip(const LayoutLibrary& library) {
    return LayoutLibrary::fromJSON(json::parse(json::dumpPretty(library.toJSON())));
}

}  // namespace

TEST(LayoutLibrary, StarterLibrary) {
    const LayoutLibrary starter = LayoutLibrary::starter();
    EXPECT_EQ(starter.version, 1);
    EXPECT_EQ(names(starter),
              (std::vector<std::string>{"Columns", "Three Columns", "Priority Grid", "Grid", "Rows", "Focus"}));
    using Origin = ZoneLayout::Origin;
    const std::vector<Origin> origins{{LayoutTemplate::columns, 2, {}}, {LayoutTemplate::columns, 3, {}},
                                      {LayoutTemplate::priorityGrid, 3, {}}, {LayoutTemplate::grid, 4, {}},
                                      {LayoutTemplate::rows, 2, {}},         {LayoutTemplate::focus, 3, {}}};
    for (std::size_t i = 0; i < origins.size(); ++i) {
        EXPECT_EQ(starter.layouts[i].origin, origins[i]) << i;
        // The names by which layouts without an origin are recognised are the starter's own.
        EXPECT_EQ(LayoutLibrary::starterOrigins().at(starter.layouts[i].name), origins[i]);
    }
    EXPECT_EQ(starter.defaultLayoutID, starter.layouts[2].id);
    // The same on every machine, so that two new profiles synchronised together list each once.
    for (std::size_t i = 0; i < starter.layouts.size(); ++i) {
        EXPECT_EQ(LayoutLibrary::starter().layouts[i].id, starter.layouts[i].id) << i;
    }
    EXPECT_EQ(starter.layouts[0].id.uuidString(), "8BFCFA43-3F3D-4C4F-A16B-C9AE92F9AD98") << "fixed forever";
}

// A new machine's untouched starters meet a library where the user renamed one and deleted
// another: whichever machine merges, the user's changes stay.
TEST(LayoutLibraryMerge, UntouchedStartersNeverBeatAUsersEditOrDeletion) {
    const Date now(800'000'000);
    const LayoutLibrary fresh = LayoutLibrary::starter();
    EXPECT_EQ(SyncMerge::mergeLayouts(fresh, LayoutLibrary::starter()), fresh) << "two new machines: one set of six";
    LayoutLibrary edited = LayoutLibrary::starter();
    ZoneLayout renamed = edited.layouts[0];
    renamed.name = "Mine";
    renamed.setModifiedAt(SyncMerge::editStamp(renamed.modifiedAt(), now));
    edited.upsert(renamed);
    const UUID grid = edited.layouts[3].id;
    edited.deleteLayout(grid, now);
    const std::vector<std::string> kept{"Mine", "Three Columns", "Priority Grid", "Rows", "Focus"};
    EXPECT_EQ(names(SyncMerge::mergeLayouts(edited, fresh)), kept);
    EXPECT_EQ(names(SyncMerge::mergeLayouts(fresh, edited)), kept) << "on the machine that just joined";
}

TEST(LayoutLibrary, LayoutForADisplayFallsBackToTheDefaultThenTheFirst) {
    LayoutLibrary library = libraryOf({layout(idA, "A"), layout(idB, "B")}, idB);
    EXPECT_EQ(nameFor(library, mainDisplay), "B");
    library.assign(idA, mainDisplay);
    EXPECT_EQ(nameFor(library, mainDisplay), "A");
    EXPECT_EQ(nameFor(library, DisplayKey("MAIN", 2560, 1440)), "B") << "the work-area size is part of the key";
    library.assign(idC, mainDisplay);  // dangling
    EXPECT_EQ(library.assignments.at("MAIN@1920x1080"), idC);
    EXPECT_EQ(nameFor(library, mainDisplay), "B");
    library.defaultLayoutID = idC;
    EXPECT_EQ(nameFor(library, mainDisplay), "A");
    EXPECT_EQ(nameFor(LayoutLibrary(), mainDisplay), std::nullopt);
}

TEST(LayoutLibrary, DuplicateIdentifiersActOnTheFirst) {
    LayoutLibrary library = libraryOf({layout(idA, "first"), layout(idB, "B"), layout(idA, "second")});
    EXPECT_EQ(library.layout(idA)->name, "first");
    library.upsert(layout(idA, "replaced"));
    EXPECT_EQ(names(library), (std::vector<std::string>{"replaced", "B", "second"}));
    library.upsert(layout(idC, "new"));
    EXPECT_EQ(names(library), (std::vector<std::string>{"replaced", "B", "second", "new"}));
    library.deleteLayout(idA, Date(5000));
    EXPECT_EQ(names(library), (std::vector<std::string>{"B", "new"}));
}

TEST(LayoutLibrary, DeleteWritesTombstonesDropsAssignmentsAndHandsOverTheDefault) {
    LayoutLibrary library = libraryOf({layout(idA, "A", 1000), layout(idB, "B", 9000)}, idA);
    library.assign(idA, mainDisplay);
    library.assign(idB, DisplayKey("SIDE", 1080, 1920));
    library.deleteLayout(idA, Date(5000.0004));
    EXPECT_EQ(names(library), (std::vector<std::string>{"B"}));
    EXPECT_EQ(library.deletedLayouts.at(idA.uuidString()), Date(5000)) << "now, rounded to whole milliseconds";
    EXPECT_EQ(library.assignments, (std::map<std::string, UUID>{{"SIDE@1080x1920", idB}}));
    EXPECT_EQ(library.defaultLayoutID, idB);

    // A stamp from a clock ahead of this one: the tombstone must still beat it.
    library.deleteLayout(idB, Date(6000));
    EXPECT_EQ(library.deletedLayouts.at(idB.uuidString()), Date(9000));
    EXPECT_TRUE(library.layouts.empty());
    EXPECT_EQ(library.defaultLayoutID, std::nullopt);
    EXPECT_TRUE(library.assignments.empty());

    // An identifier no layout has still gets a tombstone and loses its assignments.
    LayoutLibrary other = libraryOf({layout(idB, "B")}, idB);
    other.assign(idC, mainDisplay);
    other.deleteLayout(idC, Date(7000));
    EXPECT_EQ(other.deletedLayouts.at(idC.uuidString()), Date(7000));
    EXPECT_TRUE(other.assignments.empty());
    EXPECT_EQ(other.defaultLayoutID, idB) << "another default stays";
}

TEST(LayoutLibrary, MinimalDocumentAndRoundTrip) {
    const std::string minimal = R"({"version":1,"layouts":[]})";
    const LayoutLibrary decoded = LayoutLibrary::fromJSON(json::parse(minimal));
    EXPECT_EQ(decoded, LayoutLibrary());
    EXPECT_EQ(json::dumpCompact(decoded.toJSON()), R"({"assignments":{},"deletedLayouts":{},"layouts":[],"version":1})");
    EXPECT_EQ(LayoutLibrary::fromJSON(json::parse(
                  R"({"version":7,"layouts":[],"assignments":null,"defaultLayoutID":null,"deletedLayouts":null})")),
              (LayoutLibrary{7, {}, {}, {}, {}}));

    LayoutLibrary full = LayoutLibrary::starter();
    full.assign(full.layouts[1].id, mainDisplay);
    full.deleteLayout(idC, Date(12.345));
    full.layouts.push_back(LayoutPreset::preset("centered-pair")->makeLayout());
    EXPECT_EQ(roundTrip(full), full);

    for (const char* bad : {R"({"layouts":[]})", R"({"version":1})", R"({"version":1,"layouts":{}})",
                            R"({"version":1,"layouts":[],"assignments":{"MAIN@1x1":"nope"}})",
                            R"({"version":1,"layouts":[],"defaultLayoutID":5})",
                            R"({"version":1,"layouts":[],"deletedLayouts":{"X":"yesterday"}})",
                            R"({"version":1,"layouts":[{"id":"00000000-0000-0000-0000-00000000000A"}]})"}) {
        EXPECT_THROW(LayoutLibrary::fromJSON(json::parse(bad)), json::DecodingError) << bad;
    }
}

TEST(LayoutLibrary, RefreshFillsOnlyMissingOrigins) {
    LayoutLibrary library = libraryOf({layout(idA, "A"), layout(idB, "odd"), layout(idC, "Rows")});
    library.layouts[1].kind = ZoneGrid::make({1}, {5, 1}, {{0, 1}}).value();
    library.layouts[2].kind = ZoneGrid::make({1}, {5, 1}, {{0, 1}}).value();
    library.layouts[2].origin = ZoneLayout::Origin{LayoutTemplate::focus, 4, std::nullopt};  // kept, though stale
    const LayoutLibrary before = library;
    EXPECT_TRUE(library.refreshPresetLayouts());
    EXPECT_EQ(library.layouts[0].origin, (ZoneLayout::Origin{LayoutTemplate::blank, 2, "halves"}));
    EXPECT_EQ(library.layouts[1].origin, std::nullopt);
    EXPECT_EQ(library.layouts[2].origin, before.layouts[2].origin);
    EXPECT_EQ(library.layouts[0].modifiedAt(), before.layouts[0].modifiedAt());
    EXPECT_FALSE(library.refreshPresetLayouts()) << "nothing left to infer";
}

TEST(LayoutLibraryMerge, LayoutsTombstonesAndLocalFields) {
    LayoutLibrary local = libraryOf({layout(idA, "A local", 1000), layout(idB, "B local", 1000)}, idA);
    local.version = 1;
    LayoutLibrary remote = libraryOf({layout(idC, "C remote", 1000), layout(idB, "B remote", 1000.001),
                                      layout(idA, "A remote", 1000)},
                                     idC);
    remote.version = 9;
    const LayoutLibrary merged = SyncMerge::mergeLayouts(local, remote);
    // A's copies share a stamp: the larger one, here the remote one, in local's place.
    EXPECT_EQ(names(merged), (std::vector<std::string>{"A remote", "B remote", "C remote"}));
    EXPECT_EQ(merged.version, 1);
    EXPECT_EQ(merged.defaultLayoutID, idA);
}

TEST(LayoutLibraryMerge, AssignmentsFollowSurvivingLayoutsWithLocalWinning) {
    const DisplayKey side("SIDE", 1080, 1920);
    const DisplayKey third("THIRD", 800, 600);
    LayoutLibrary local = libraryOf({layout(idA, "A", 1000), layout(idB, "B", 1000)});
    local.assign(idA, mainDisplay);
    local.assign(idB, side);
    LayoutLibrary remote = libraryOf({layout(idB, "B", 1000)});
    remote.assign(idB, mainDisplay);
    remote.assign(idB, third);
    remote.assign(idA, side);
    remote.deletedLayouts[idA.uuidString()] = Date(1000);  // not earlier than A's stamp: A goes
    const LayoutLibrary merged = SyncMerge::mergeLayouts(local, remote);
    EXPECT_EQ(names(merged), (std::vector<std::string>{"B"}));
    // MAIN was assigned to A here: it loses its assignment rather than taking the remote one.
    EXPECT_EQ(merged.assignments, (std::map<std::string, UUID>{{"SIDE@1080x1920", idB}, {"THIRD@800x600", idB}}));
    EXPECT_EQ(merged.deletedLayouts.count(idA.uuidString()), 1u);
}

TEST(LayoutLibraryMerge, DefaultFallsBackToRemoteThenFirstThenNone) {
    LayoutLibrary local = libraryOf({layout(idA, "A", 1000), layout(idB, "B", 1000)}, idA);
    LayoutLibrary remote = libraryOf({layout(idB, "B", 1000), layout(idC, "C", 1000)}, idC);
    remote.deletedLayouts[idA.uuidString()] = Date(2000);
    EXPECT_EQ(SyncMerge::mergeLayouts(local, remote).defaultLayoutID, idC);
    remote.deletedLayouts[idC.uuidString()] = Date(2000);
    EXPECT_EQ(SyncMerge::mergeLayouts(local, remote).defaultLayoutID, idB);
    remote.deletedLayouts[idB.uuidString()] = Date(2000);
    const LayoutLibrary empty = SyncMerge::mergeLayouts(local, remote);
    EXPECT_TRUE(empty.layouts.empty());
    EXPECT_EQ(empty.defaultLayoutID, std::nullopt);
    // A layout changed after its deletion elsewhere survives and takes its tombstone away.
    local.layouts[0].setModifiedAt(Date(3000));
    const LayoutLibrary revived = SyncMerge::mergeLayouts(local, remote);
    EXPECT_EQ(names(revived), (std::vector<std::string>{"A"}));
    EXPECT_EQ(revived.deletedLayouts.count(idA.uuidString()), 0u);
    EXPECT_EQ(revived.defaultLayoutID, idA);
}
