#include <gtest/gtest.h>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/WorkspaceLibrary.h"
#include "TessaryCore/WorkspaceMatcher.h"
#include "TestSupport.h"

using namespace tessary;

namespace {


WorkspaceEntry entry(int n, std::optional<std::string> title, std::string bundle = "Term") {
    return WorkspaceEntry(idNumber(n), std::move(bundle), std::move(title), "D@1920x1080", {0}, Rect(0, 0, 100, 50));
}

using Window = WorkspaceMatcher::Candidate<int>;

// Entry number -> window number, in result order.
std::vector<std::pair<int, int>> pairs(const std::vector<WorkspaceEntry>& entries, const std::vector<Window>& windows) {
    std::vector<std::pair<int, int>> out;
    for (const auto& p : WorkspaceMatcher::match(entries, windows)) {
        out.emplace_back(std::stoi(p.entry.id.uuidString().substr(24)), p.windowID);
    }
    return out;
}

Workspace workspace(int n, std::string name, std::set<std::string> displays, bool restores, double modified) {
    return Workspace(idNumber(n), std::move(name), {entry(n, "T")}, std::move(displays), restores, false,
                     Date(modified));
}

}  // namespace

TEST(WorkspaceMatcher, PairsExactTitlesFirstThenByApplication) {
    using P = std::vector<std::pair<int, int>>;
    const struct {
        const char* name;
        std::vector<WorkspaceEntry> entries;
        std::vector<Window> windows;
        P expected;
    } cases[] = {
        {"nothing to match", {entry(1, "T")}, {}, {}},
        {"no entries", {}, {Window(1, "Term", "T")}, {}},
        {"titles cross over", {entry(1, "T1"), entry(2, "T2")}, {Window(10, "Term", "T2"), Window(11, "Term", "T1")},
         P{{1, 11}, {2, 10}}},
        {"exact titles settle first",
         {entry(1, std::nullopt), entry(2, "T1")},
         {Window(10, "Term", "T1"), Window(11, "Term", "T2")},
         P{{2, 10}, {1, 11}}},
        {"untitled pair in order",
         {entry(1, std::nullopt), entry(2, std::nullopt)},
         {Window(10, "Term", std::nullopt), Window(11, "Term", std::nullopt)},
         P{{1, 10}, {2, 11}}},
        {"empty titles are present", {entry(1, "")}, {Window(10, "Term", std::nullopt), Window(11, "Term", "")},
         P{{1, 11}}},
        {"empty title against none only by application", {entry(1, "")}, {Window(10, "Term", std::nullopt)},
         P{{1, 10}}},
        {"each window once", {entry(1, "A"), entry(2, "A"), entry(3, "A")}, {Window(10, "Term", "A")}, P{{1, 10}}},
        {"other applications are not taken", {entry(1, "A")}, {Window(10, "Edit", "A")}, {}},
        {"title case counts in the first pass",
         {entry(1, "inbox"), entry(2, "Inbox")},
         {Window(10, "Term", "Inbox"), Window(11, "Term", "x")},
         P{{2, 10}, {1, 11}}},
        {"canonically equal titles", {entry(1, "Caf\xC3\xA9")}, {Window(10, "Term", "x"), Window(11, "Term", "Cafe\xCC\x81")},
         P{{1, 11}}},
        {"invalid bytes match as saved",
         {entry(1, std::string("R\xE9sum\xE9"))},
         {Window(10, "Term", "other"), Window(11, "Term", std::string("R\xE9sum\xE9"))},
         P{{1, 11}}},
    };
    for (const auto& c : cases) EXPECT_EQ(pairs(c.entries, c.windows), c.expected) << c.name;
}

TEST(WorkspaceLibrary, ChoosesTheWorkspaceForExactlyTheseDisplays) {
    WorkspaceLibrary library;
    library.workspaces = {workspace(1, "Only A", {"A"}, true, 50), workspace(2, "Three", {"A", "B", "C"}, true, 50),
                          workspace(3, "Not flagged", {"A", "B"}, false, 90), workspace(4, "First", {"A", "B"}, true, 60),
                          workspace(5, "Second", {"B", "A"}, true, 60), workspace(6, "Older", {"A", "B"}, true, 10)};
    EXPECT_EQ(library.workspaceToRestore({"A", "B"})->name, "First");
    EXPECT_EQ(library.workspaceToRestore({"A"})->name, "Only A");
    EXPECT_FALSE(library.workspaceToRestore({"B"}).has_value());
    library.workspaces[5].modifiedAt = Date(61);
    EXPECT_EQ(library.workspaceToRestore({"A", "B"})->name, "Older");
}

TEST(WorkspaceLibrary, LooksUpByIdentifierAndByNameIgnoringCase) {
    WorkspaceLibrary library;
    library.workspaces = {workspace(1, "Coding", {}, false, 1), workspace(2, "CODING", {}, false, 1),
                          workspace(3, "R\xC3\xA9sum\xC3\xA9", {}, false, 1)};
    EXPECT_EQ(library.workspaceNamed("coding")->id, idNumber(1));
    EXPECT_EQ(library.workspaceNamed("R\xC3\x89SUM\xC3\x89")->id, idNumber(3));
    EXPECT_FALSE(library.workspaceNamed("Resume").has_value());
    EXPECT_EQ(library.workspace(idNumber(2))->name, "CODING");
    EXPECT_FALSE(library.workspace(idNumber(9)).has_value());
}

TEST(WorkspaceLibrary, UpsertReplacesInPlaceAndDeleteLeavesATombstone) {
    WorkspaceLibrary library;
    library.workspaces = {workspace(1, "A", {}, false, 1), workspace(2, "B", {}, false, 1)};
    library.upsert(workspace(1, "A2", {}, false, 2));
    library.upsert(workspace(3, "Future", {}, false, 5000));
    ASSERT_EQ(library.workspaces.size(), 3u);
    EXPECT_EQ(library.workspaces[0].name, "A2");
    library.deleteWorkspace(idNumber(3), Date(100));
    EXPECT_EQ(library.deletedWorkspaces.at(idNumber(3).uuidString()), Date(5000));
    EXPECT_EQ(library.workspaces.size(), 2u);
}

TEST(WorkspaceLibrary, DocumentForm) {
    WorkspaceLibrary library;
    Workspace w(idNumber(1), "Desk", {entry(2, std::nullopt)}, {"B", "A"}, true, false, Date(763637213.5894));
    w.entries[0].frame = Rect(-10.5, 20, 300, 400);
    library.workspaces = {w};
    const json::Json doc = library.toJSON();
    EXPECT_EQ(doc, json::parse(R"({"version": 1, "deletedWorkspaces": {}, "workspaces": [{
        "id": "00000000-0000-4000-8000-000000000001", "name": "Desk", "displayIdentifiers": ["A", "B"],
        "restoresWhenDisplaysMatch": true, "launchesMissingApps": false, "modifiedAt": "2025-03-14T09:26:53.589Z",
        "entries": [{"id": "00000000-0000-4000-8000-000000000002", "bundleID": "Term", "displayKey": "D@1920x1080",
                     "zoneIndices": [0], "frame": [[-10.5, 20.0], [300.0, 400.0]]}]}]})"));
    EXPECT_EQ(WorkspaceLibrary::fromJSON(doc), library);

    const auto minimal = WorkspaceLibrary::fromJSON(json::parse(R"({"version": 1, "workspaces": []})"));
    EXPECT_TRUE(minimal.deletedWorkspaces.empty());
    json::Json withoutFlag = doc;
    withoutFlag["workspaces"][0].erase("launchesMissingApps");
    EXPECT_THROW(WorkspaceLibrary::fromJSON(withoutFlag), json::DecodingError);
    json::Json nullTitle = doc;
    nullTitle["workspaces"][0]["entries"][0]["title"] = nullptr;
    nullTitle["workspaces"][0]["entries"][0]["extra"] = 1;
    EXPECT_EQ(WorkspaceLibrary::fromJSON(nullTitle), library);
    json::Json badFrame = doc;
    badFrame["workspaces"][0]["entries"][0]["frame"] = json::parse("[1, 2, 3, 4]");
    EXPECT_THROW(WorkspaceLibrary::fromJSON(badFrame), json::DecodingError);
}

TEST(WorkspaceLibrary, MergeDecidesTiesByContentAndHonoursTombstones) {
    WorkspaceLibrary local;
    local.workspaces = {workspace(1, "Local", {}, false, 10), workspace(2, "Deleted remotely", {}, false, 10)};
    WorkspaceLibrary remote;
    remote.version = 2;
    remote.workspaces = {workspace(1, "Remote", {}, false, 10), workspace(3, "Revived", {}, false, 30)};
    remote.deletedWorkspaces = {{idNumber(2).uuidString(), Date(10)}, {idNumber(3).uuidString(), Date(20)}};
    const WorkspaceLibrary merged = SyncMerge::mergeWorkspaces(local, remote);
    EXPECT_EQ(merged.version, 1);
    ASSERT_EQ(merged.workspaces.size(), 2u);
    EXPECT_EQ(merged.workspaces[0].name, "Remote") << "equal times: the larger copy, whichever side is local";
    EXPECT_EQ(merged.workspaces[1].name, "Revived");
    EXPECT_EQ(merged.deletedWorkspaces, (Tombstones{{idNumber(2).uuidString(), Date(10)}}));
}

TEST(WorkspaceLibrary, TitlesWithInvalidBytesNeverStopTheSaves) {
    TemporaryFolder folder;
    JSONDocumentStore<WorkspaceLibrary> store(folder / "workspaces.json");
    WorkspaceLibrary library;
    library.workspaces = {Workspace(idNumber(1), "Desk", {entry(2, std::string("xterm \xC0\xFF"), "XTerm\xE9")},
                                    {"DP-\xFF"}, false, false, Date(1))};
    ASSERT_TRUE(store.save(library).hasValue());
    EXPECT_EQ(store.load().value(), library);
    EXPECT_EQ(library.workspaces[0].entries[0].title, "xterm \xEF\xBF\xBD\xEF\xBF\xBD");
}
