#include <gtest/gtest.h>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/WindowPlacementMemory.h"
#include "TestSupport.h"

using namespace tessary;

namespace {

const UUID layout = *UUID::parsing("6F1B3C2A-0000-4000-8000-000000000001");

WindowPlacement at(double time, std::vector<std::int64_t> zones = {0}) {
    return WindowPlacement("DISPLAY@1920x1080", layout, std::move(zones), Date(time));
}

std::string title(int i) { return "Window " + std::to_string(i); }

}  // namespace

TEST(WindowPlacementMemory, RemembersPerWindowAndPerApplication) {
    WindowPlacementMemory memory;
    memory.record(at(1, {0}), "Mail", std::string());
    EXPECT_EQ(memory.byWindow.size(), 0u);  // an empty title is remembered per application only
    EXPECT_FALSE(memory.windowPlacement("Mail", std::string()).has_value());
    EXPECT_EQ(memory.placement("Mail", std::string()), at(1, {0}));

    memory.record(at(2, {1}), "Mail", "Inbox");
    memory.record(at(3, {2}), "Mail", "Inbox");
    ASSERT_EQ(memory.byWindow.size(), 1u);
    EXPECT_EQ(memory.windowPlacement("Mail", "Inbox"), at(3, {2}));
    EXPECT_EQ(memory.byApp.size(), 1u);
    // Case and surrounding spaces make other windows; a new window falls back to the application.
    EXPECT_FALSE(memory.windowPlacement("Mail", "inbox").has_value());
    EXPECT_FALSE(memory.windowPlacement("Mail", " Inbox").has_value());
    EXPECT_EQ(memory.placement("Mail", "Drafts"), at(3, {2}));
    EXPECT_EQ(memory.placement("Mail", std::nullopt), at(3, {2}));
    EXPECT_FALSE(memory.placement("Notes", "Inbox").has_value());
    EXPECT_EQ(WindowPlacementMemory::windowKey("Mail", "Inbox"), std::string("Mail\x1FInbox"));
}

TEST(WindowPlacementMemory, ForgettingIsExact) {
    WindowPlacementMemory memory;
    memory.record(at(1), "com.a", "One");
    memory.record(at(1), "com.ab", "Two");
    memory.record(at(1), "com.a.helper", "Three");
    EXPECT_FALSE(memory.forgetWindow("com.a", "Other"));
    EXPECT_FALSE(memory.forgetWindow("com.a", std::nullopt));
    EXPECT_TRUE(memory.forgetWindow("com.a", "One"));
    EXPECT_EQ(memory.byApp.count("com.a"), 1u);  // the application's placement survives

    memory.record(at(1), "com.a", "One");
    memory.forgetApp("com.a");
    EXPECT_EQ(memory.byApp.count("com.a"), 0u);
    EXPECT_FALSE(memory.windowPlacement("com.a", "One").has_value());
    EXPECT_TRUE(memory.windowPlacement("com.ab", "Two").has_value());
    EXPECT_TRUE(memory.windowPlacement("com.a.helper", "Three").has_value());
    EXPECT_EQ(memory.byApp.size(), 2u);
}

TEST(WindowPlacementMemory, KeepsTheNewest400WindowsAndNeverTheOneJustRecordedLost) {
    WindowPlacementMemory memory;
    for (int i = 0; i < 400; ++i) memory.record(at(100 + i), "App", title(i));
    EXPECT_EQ(memory.byWindow.size(), 400u);  // exactly at the cap: nothing dropped

    memory.record(at(1000), "App", title(400));
    EXPECT_EQ(memory.byWindow.size(), 400u);
    EXPECT_FALSE(memory.windowPlacement("App", title(0)).has_value());  // the oldest went
    EXPECT_TRUE(memory.windowPlacement("App", title(400)).has_value());

    // A clock set back makes the new placement the oldest; it stays, the oldest other one goes.
    memory.record(at(5), "App", title(401));
    EXPECT_EQ(memory.byWindow.size(), 400u);
    EXPECT_EQ(memory.windowPlacement("App", title(401)), at(5));
    EXPECT_FALSE(memory.windowPlacement("App", title(1)).has_value());
    EXPECT_EQ(memory.byApp.size(), 1u);
}

TEST(WindowPlacementMemory, PruningEqualStampsIsDeterministic) {
    // A loaded memory over the cap with equal stamps: the smaller keys stay, whatever the order of insertion.
    WindowPlacementMemory forward;
    WindowPlacementMemory backward;
    for (int i = 0; i < 403; ++i) forward.byWindow["App\x1F" + std::to_string(1000 + i)] = at(7);
    for (int i = 402; i >= 0; --i) backward.byWindow["App\x1F" + std::to_string(1000 + i)] = at(7);
    forward.prune();
    backward.prune();
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(forward.byWindow.size(), 400u);
    EXPECT_EQ(forward.byWindow.count("App\x1F" "1402"), 0u);
    EXPECT_EQ(forward.byWindow.count("App\x1F" "1399"), 1u);
}

TEST(WindowPlacementMemory, DocumentHasExactlyItsKeys) {
    WindowPlacementMemory memory;
    memory.record(at(763637213.589, {2, 0}), "Mail", "Inbox");
    const std::string text = json::dumpPretty(memory.toJSON());
    EXPECT_NE(text.find("\"Mail\\u001fInbox\""), std::string::npos);
    EXPECT_EQ(memory.toJSON(), json::parse(R"({
        "version": 1,
        "byApp": {"Mail": {"displayKey": "DISPLAY@1920x1080", "layoutID": "6F1B3C2A-0000-4000-8000-000000000001",
                           "zoneIndices": [2, 0], "updatedAt": "2025-03-14T09:26:53.589Z"}},
        "byWindow": {"Mail\u001fInbox": {"displayKey": "DISPLAY@1920x1080",
                           "layoutID": "6F1B3C2A-0000-4000-8000-000000000001",
                           "zoneIndices": [2, 0], "updatedAt": "2025-03-14T09:26:53.589Z"}}})"));
    EXPECT_EQ(WindowPlacementMemory::fromJSON(memory.toJSON()), memory);

    for (const char* bad : {
             R"({"version": 1, "byWindow": {}})",
             R"({"version": 1, "byApp": {}})",
             R"({"byWindow": {}, "byApp": {}})",
             R"({"version": 1.5, "byWindow": {}, "byApp": {}})",
             R"({"version": 1, "byWindow": [], "byApp": {}})",
             R"({"version": 1, "byWindow": {}, "byApp": {"A": {"displayKey": "D@1x1", "layoutID": "nope",
                 "zoneIndices": [0], "updatedAt": "2025-03-14T09:26:53.589Z"}}})",
             R"({"version": 1, "byWindow": {}, "byApp": {"A": {"displayKey": "D@1x1",
                 "layoutID": "6F1B3C2A-0000-4000-8000-000000000001", "zoneIndices": [0.5],
                 "updatedAt": "2025-03-14T09:26:53.589Z"}}})",
             R"({"version": 1, "byWindow": {}, "byApp": {"A": {"displayKey": "D@1x1",
                 "layoutID": "6F1B3C2A-0000-4000-8000-000000000001", "zoneIndices": [0]}}})",
         }) {
        EXPECT_THROW(WindowPlacementMemory::fromJSON(json::parse(bad)), json::DecodingError) << bad;
    }
}

TEST(WindowPlacementMemory, TitlesWithInvalidBytesNeverStopTheSaves) {
    TemporaryFolder folder;
    JSONDocumentStore<WindowPlacementMemory> store(folder / "memory.json");
    WindowPlacementMemory memory;
    const std::string latin1Title = "R\xE9sum\xE9.odt - Writer";  // an X11 title in Latin-1
    memory.record(at(1), "Writer\xFF", latin1Title);
    ASSERT_TRUE(store.save(memory).hasValue());
    // Looked up with the same raw bytes, the window is found again, also after loading.
    EXPECT_TRUE(memory.windowPlacement("Writer\xFF", latin1Title).has_value());
    const auto loaded = store.load();
    ASSERT_TRUE(loaded.hasValue());
    EXPECT_EQ(*loaded.value(), memory);
    EXPECT_TRUE(loaded.value()->windowPlacement("Writer\xFF", latin1Title).has_value());
}
