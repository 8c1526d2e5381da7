// Two instances of the program on one home, each with its own store of the same file: a store knows
// the file by its stamp and a hash, reads it again only when the stamp changed, and never takes
// another's save for its own.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TessaryCore/HomeMerge.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TestSupport.h"

using namespace tessary;
namespace fs = std::filesystem;

namespace {

// A document of counters, merged key by key against the base.
struct Counters {
    std::map<std::string, std::int64_t> values;

    json::Json toJSON() const {
        json::Json object = json::Json::object();
        for (const auto& [key, value] : values) object[key] = value;
        return json::Json{{"values", object}};
    }
    static Counters fromJSON(const json::Json& value) {
        Counters counters;
        for (const auto& [key, entry] : json::asObject(json::require(value, "values"), "values").items()) {
            counters.values[key] = json::asInt64(entry, key);
        }
        return counters;
    }
    friend bool operator==(const Counters&, const Counters&) = default;
};

Counters merged(const Counters& ours, const Counters& theirs, const Counters* base) {
    return Counters{HomeMerge::threeWay(ours.values, theirs.values, base ? &base->values : nullptr,
                                        [](std::int64_t mine, std::int64_t, const std::int64_t*) { return mine; })};
}

using Values = std::map<std::string, std::int64_t>;

void setModified(const fs::path& path, fs::file_time_type time) { fs::last_write_time(path, time); }

}  // namespace

// What happens to the file between two saves of the first store, and what its second save reads and
// writes. Each of the other's changes keeps the file's size, so that only its stamp or its bytes can
// tell it.
TEST(JSONDocumentStoreChanges, ASaveReadsTheFileOnlyWhenItsStampChangedAndKeepsTheOthersSave) {
    const struct {
        const char* name;
        bool stampsUnknown;
        std::function<void(const fs::path& file)> meanwhile;
        int reads;
        Values written;
    } rows[] = {
        {"untouched", false, [](const fs::path&) {}, 0, {{"a", 1}, {"b", 1}, {"mine", 1}}},
        {"another instance saved a change", false,
         [](const fs::path& file) {
             JSONDocumentStore<Counters> other(file);
             other.mergeOutsideChanges(merged);
             ASSERT_TRUE(other.saveMerging(Counters{{{"a", 1}, {"b", 2}}}).hasValue());
         },
         1, {{"a", 1}, {"b", 2}, {"mine", 1}}},
        {"another instance saved a change, its time set back to ours", false,
         [](const fs::path& file) {
             const auto time = fs::last_write_time(file);
             JSONDocumentStore<Counters> other(file);
             ASSERT_TRUE(other.save(Counters{{{"a", 2}, {"b", 1}}}).hasValue());
             setModified(file, time);
         },
         1, {{"a", 2}, {"b", 1}, {"mine", 1}}},
        {"edited in place, later", false,
         [](const fs::path& file) {
             std::string text = readFile(file);
             text.replace(text.find("\"b\": 1"), 6, "\"b\": 7");
             const auto time = fs::last_write_time(file);
             std::fstream(file, std::ios::in | std::ios::out | std::ios::binary) << text;
             setModified(file, time + std::chrono::seconds(2));
         },
         1, {{"a", 1}, {"b", 7}, {"mine", 1}}},
        {"touched: the same bytes", false,
         [](const fs::path& file) { setModified(file, fs::last_write_time(file) + std::chrono::seconds(2)); }, 1,
         {{"a", 1}, {"b", 1}, {"mine", 1}}},
        {"removed", false, [](const fs::path& file) { fs::remove(file); }, 0, {{"a", 1}, {"b", 1}, {"mine", 1}}},
        {"no stamps: untouched", true, [](const fs::path&) {}, 1, {{"a", 1}, {"b", 1}, {"mine", 1}}},
        {"no stamps: another instance saved a change", true,
         [](const fs::path& file) {
             JSONDocumentStore<Counters> other(file);
             ASSERT_TRUE(other.save(Counters{{{"a", 1}, {"b", 3}}}).hasValue());
         },
         1, {{"a", 1}, {"b", 3}, {"mine", 1}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TemporaryFolder folder;
        const auto files = std::make_shared<FaultyFileSystem>();
        files->noStamps = row.stampsUnknown;
        JSONDocumentStore<Counters> store(folder / "counters.json", files);
        store.mergeOutsideChanges(merged);
        Counters mine{{{"a", 1}, {"b", 1}}};
        ASSERT_TRUE(store.saveMerging(mine).hasValue());

        row.meanwhile(store.url());
        files->reads.clear();
        mine.values["mine"] = 1;
        ASSERT_TRUE(store.saveMerging(mine).hasValue());
        EXPECT_EQ(files->reads["counters.json"], row.reads);
        EXPECT_EQ(JSONDocumentStore<Counters>(store.url()).load().value()->values, row.written);

        // Known as written: the next save reads nothing where stamps are told.
        files->reads.clear();
        ASSERT_TRUE(store.saveMerging(mine).hasValue());
        EXPECT_EQ(files->reads["counters.json"], row.stampsUnknown ? 1 : 0);
    }
}

// A store that heard of a change takes it in once; a save after it reads nothing more.
TEST(JSONDocumentStoreChanges, AChangeTakenInIsNotReadOrMergedAgain) {
    TemporaryFolder folder;
    const auto files = std::make_shared<FaultyFileSystem>();
    JSONDocumentStore<Counters> first(folder / "counters.json", files), second(folder / "counters.json");
    first.mergeOutsideChanges(merged);
    second.mergeOutsideChanges(merged);
    Counters mine{{{"a", 1}}};
    ASSERT_TRUE(first.saveMerging(mine).hasValue());
    ASSERT_TRUE(second.load().hasValue());
    ASSERT_TRUE(second.saveMerging(Counters{{{"a", 1}, {"theirs", 2}}}).hasValue());

    files->reads.clear();
    const auto heard = first.outsideChange(mine);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->values, (Values{{"a", 1}, {"theirs", 2}}));
    EXPECT_FALSE(first.outsideChange(*heard));
    const auto saved = first.saveMerging(*heard);
    ASSERT_TRUE(saved.hasValue());
    EXPECT_FALSE(saved.value()) << "nothing new to merge";
    EXPECT_EQ(files->reads["counters.json"], 1);
}

// The real documents keep only what their merge needs of the file, and still merge the order of the
// rules and a window forgotten on one side.
TEST(JSONDocumentStoreChanges, TheDocumentsMergeAgainstTheBaseTheStoreKeeps) {
    TemporaryFolder folder;
    const auto rule = [](int n) { return PlacementRule(idNumber(n), true, "App" + std::to_string(n), {}, {}, {0}, Date(0)); };
    JSONDocumentStore<RuleSet> firstRules(folder / "rules.json"), secondRules(folder / "rules.json");
    firstRules.mergeOutsideChanges(HomeMerge::rules);
    secondRules.mergeOutsideChanges(HomeMerge::rules);
    RuleSet mine;
    mine.rules = {rule(1), rule(2), rule(3)};
    ASSERT_TRUE(firstRules.saveMerging(mine).hasValue());
    RuleSet theirs = secondRules.load().value().value();
    theirs.rules = {rule(3), rule(1), rule(2)};
    ASSERT_TRUE(secondRules.saveMerging(theirs).hasValue());
    mine.rules.push_back(rule(4));
    const auto rules = firstRules.saveMerging(mine);
    ASSERT_TRUE(rules.hasValue() && rules.value());
    std::vector<UUID> order;
    for (const PlacementRule& r : rules.value()->rules) order.push_back(r.id);
    EXPECT_EQ(order, (std::vector<UUID>{idNumber(3), idNumber(1), idNumber(2), idNumber(4)}));

    const auto at = [](double seconds) { return WindowPlacement("right@1920x1080", idNumber(1), {0}, Date(seconds)); };
    JSONDocumentStore<WindowPlacementMemory> firstMemory(folder / "memory.json"), secondMemory(folder / "memory.json");
    firstMemory.mergeOutsideChanges(HomeMerge::memory);
    secondMemory.mergeOutsideChanges(HomeMerge::memory);
    WindowPlacementMemory remembered;
    remembered.record(at(1), "XTerm", "one");
    remembered.record(at(2), "XTerm", "two");
    ASSERT_TRUE(firstMemory.saveMerging(remembered).hasValue());
    WindowPlacementMemory other = secondMemory.load().value().value();
    other.record(at(3), "XTerm", "three");
    ASSERT_TRUE(secondMemory.saveMerging(other).hasValue());
    remembered.forgetWindow("XTerm", "two");
    ASSERT_TRUE(firstMemory.saveMerging(remembered).hasValue());
    const auto onDisk = JSONDocumentStore<WindowPlacementMemory>(folder / "memory.json").load().value().value();
    EXPECT_TRUE(onDisk.windowPlacement("XTerm", "one"));
    EXPECT_FALSE(onDisk.windowPlacement("XTerm", "two")) << "forgotten here, untouched there: it stays forgotten";
    EXPECT_TRUE(onDisk.windowPlacement("XTerm", "three"));
}
