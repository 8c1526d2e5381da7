#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>

#include "Platform/Linux/JSONFileUserDefaults.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;
namespace fs = std::filesystem;

namespace {

// Both stores must read back what they were given with its type, and refuse the same values.
struct StoreFactory {
    const char* name;
    std::function<std::unique_ptr<UserDefaults>(const fs::path&)> make;
};

class EveryStore : public ::testing::TestWithParam<StoreFactory> {
protected:
    TemporaryFolder folder;
    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    std::unique_ptr<UserDefaults> make() { return GetParam().make(folder.path() / "Tessary" / "defaults.json"); }
};

const std::string binary("\x00\xff\x10\x80 bytes", 10);

}  // namespace

TEST_P(EveryStore, ValuesKeepTheirTypes) {
    auto store = make();
    store->set("flag", true);
    store->set("count", std::int64_t{-42});
    store->set("ratio", 1.0);
    store->set("name", std::string("Ünïcode ✓"));
    store->set("json", UserDefaultsData{R"({"a":1})"});
    store->set("blob", UserDefaultsData{binary});

    EXPECT_EQ(store->boolValue("flag"), true);
    EXPECT_EQ(store->integerValue("count"), -42);
    EXPECT_EQ(store->doubleValue("ratio"), 1.0);
    EXPECT_FALSE(store->integerValue("ratio"));  // 1.0 stays a floating-point number
    EXPECT_EQ(store->doubleValue("count"), -42.0);  // a whole number also reads as a number
    EXPECT_EQ(store->stringValue("name"), "Ünïcode ✓");
    EXPECT_EQ(store->dataValue("json"), R"({"a":1})");
    EXPECT_EQ(store->dataValue("blob"), binary);
    // Text is not data and a Boolean is not a number.
    EXPECT_FALSE(store->dataValue("name"));
    EXPECT_FALSE(store->stringValue("json"));
    EXPECT_FALSE(store->integerValue("flag"));
    EXPECT_FALSE(store->boolValue("count"));
    EXPECT_FALSE(store->object("missing"));
    EXPECT_EQ(store->keys(), (std::vector<std::string>{"blob", "count", "flag", "json", "name", "ratio"}));

    store->remove("flag");
    EXPECT_FALSE(store->contains("flag"));
}

TEST_P(EveryStore, RefusesValuesThatCannotBeKept) {
    auto store = make();
    store->set("ratio", 0.5);
    store->set("ratio", std::numeric_limits<double>::quiet_NaN());
    store->set("ratio", std::numeric_limits<double>::infinity());
    store->set("name", std::string("ok"));
    store->set("name", std::string("\xc3\x28"));
    store->set(std::string_view("\xff"), true);
    EXPECT_EQ(store->doubleValue("ratio"), 0.5);
    EXPECT_EQ(store->stringValue("name"), "ok");
    EXPECT_EQ(store->keys().size(), 2u);
    EXPECT_EQ(sink.messages("UserDefaults").size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(
    UserDefaults, EveryStore,
    ::testing::Values(StoreFactory{"memory", [](const fs::path&) { return std::make_unique<MemoryUserDefaults>(); }},
                      StoreFactory{"file",
                                   [](const fs::path& path) { return std::make_unique<JSONFileUserDefaults>(path); }}),
    [](const auto& info) { return std::string(info.param.name); });

class JSONFileUserDefaultsTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    fs::path path = folder.path() / "Tessary" / "defaults.json";
    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
};

TEST_F(JSONFileUserDefaultsTest, ValuesSurviveARestartAndTheFileIsReadable) {
    {
        JSONFileUserDefaults store(path);
        EXPECT_TRUE(store.keys().empty());
        EXPECT_FALSE(fs::exists(path));  // reading writes nothing
        store.set("reviewPrompt.snapCount", std::int64_t{3});
        store.set("preferences.v1", UserDefaultsData{R"({"zoneOpacity":0.5})"});
        store.set("blob", UserDefaultsData{binary});
        store.set("firstSeen", 2.0);
    }
    JSONFileUserDefaults reopened(path);
    EXPECT_EQ(reopened.integerValue("reviewPrompt.snapCount"), 3);
    EXPECT_EQ(reopened.dataValue("preferences.v1"), R"({"zoneOpacity":0.5})");
    EXPECT_EQ(reopened.dataValue("blob"), binary);
    EXPECT_EQ(reopened.doubleValue("firstSeen"), 2.0);
    EXPECT_FALSE(reopened.integerValue("firstSeen"));

    const auto text = readFile(path);
    EXPECT_NE(text.find(R"("preferences.v1": {)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("data": "{\"zoneOpacity\":0.5}")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("base64": "AP8QgCBieXRlcw==")"), std::string::npos) << text;
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(JSONFileUserDefaultsTest, AFileThatDoesNotParseIsSetAsideBeforeItIsReplaced) {
    for (const std::string& bad : {std::string("{\"a\": tru"), std::string("[1, 2]"), std::string("\"text\"")}) {
        writeFile(path, bad);
        fs::remove(path.string() + ".unreadable");
        JSONFileUserDefaults store(path);
        EXPECT_TRUE(store.isWritable());
        EXPECT_TRUE(store.keys().empty());
        EXPECT_EQ(readFile(path.string() + ".unreadable"), bad);
        store.set("flag", true);
        EXPECT_EQ(JSONFileUserDefaults(path).boolValue("flag"), true);
        EXPECT_EQ(readFile(path.string() + ".unreadable"), bad);
    }
}

TEST_F(JSONFileUserDefaultsTest, AFileThatCannotBeSetAsideOrReadIsNeverOverwritten) {
    // The place for the copy is taken by a folder, so the copy fails.
    writeFile(path, "not json");
    fs::create_directories(path.string() + ".unreadable");
    {
        JSONFileUserDefaults store(path);
        EXPECT_FALSE(store.isWritable());
        store.set("flag", true);
        EXPECT_EQ(store.boolValue("flag"), true);  // kept in memory for this run
    }
    EXPECT_EQ(readFile(path), "not json");

    // A path that cannot be read at all (here a folder) is left alone as well.
    const fs::path folderPath = folder.path() / "folder.json";
    fs::create_directories(folderPath);
    JSONFileUserDefaults store(folderPath);
    EXPECT_FALSE(store.isWritable());
    store.set("flag", true);
    EXPECT_TRUE(fs::is_directory(folderPath));
    EXPECT_FALSE(sink.messages("UserDefaults").empty());
}

TEST_F(JSONFileUserDefaultsTest, EntriesOfUnknownFormAreKeptAndWrittenBack) {
    writeFile(path, R"({"future": {"kind": "date", "value": 1}, "list": [1, 2], "nothing": null, "old": 7})");
    JSONFileUserDefaults store(path);
    EXPECT_TRUE(store.contains("future"));
    EXPECT_FALSE(store.object("future"));
    EXPECT_TRUE(store.contains("nothing"));
    store.set("old", std::int64_t{8});
    const auto reread = json::parse(readFile(path));
    EXPECT_EQ(reread["future"], json::parse(R"({"kind": "date", "value": 1})"));
    EXPECT_EQ(reread["list"], json::parse("[1, 2]"));
    EXPECT_TRUE(reread["nothing"].is_null());
    EXPECT_EQ(reread["old"], 8);
}

TEST_F(JSONFileUserDefaultsTest, WritesThroughASymbolicLink) {
    const fs::path real = folder.path() / "dotfiles" / "defaults.json";
    writeFile(real, "{}");
    fs::create_directories(path.parent_path());
    fs::create_symlink(real, path);
    JSONFileUserDefaults(path).set("flag", true);
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(JSONFileUserDefaults(real).boolValue("flag"), true);
}

TEST_F(JSONFileUserDefaultsTest, KeepsThePermissionsOfTheFileItReplaces) {
    writeFile(path, "{}");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    JSONFileUserDefaults(path).set("flag", true);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Two instances of the program on one home share the settings: each writes its own changes over a
// merge of the other's, key by key and, inside the settings snapshot, member by member; one hears of
// the other's change and is told of it.
TEST_F(JSONFileUserDefaultsTest, TwoInstancesSharingTheFileKeepEachOthersChanges) {
    const auto snapshot = [](const char* text) { return UserDefaultsData{text}; };
    {
        JSONFileUserDefaults setup(path);
        setup.set("preferences.v1", snapshot(R"({"zoneOpacity":0.5,"showZoneNumbers":true})"));
        setup.set("reviewPrompt.snapCount", std::int64_t{3});
    }
    JSONFileUserDefaults first(path), second(path);
    int toldSecond = 0;
    const Subscription watch = second.observeOutsideChanges([&] { ++toldSecond; });

    first.set("preferences.v1", snapshot(R"({"zoneOpacity":0.8,"showZoneNumbers":true})"));
    first.set("GlobalShortcuts_snapLeft", std::string("shortcut"));
    second.set("preferences.v1", snapshot(R"({"zoneOpacity":0.5,"showZoneNumbers":false})"));
    second.remove("reviewPrompt.snapCount");
    EXPECT_EQ(toldSecond, 1) << "the merge brought the first one's settings";

    JSONFileUserDefaults reopened(path);
    const auto preferences = json::parse(reopened.dataValue("preferences.v1").value_or(""));
    EXPECT_EQ(preferences, json::parse(R"({"zoneOpacity":0.8,"showZoneNumbers":false})"));
    EXPECT_EQ(reopened.stringValue("GlobalShortcuts_snapLeft"), "shortcut");
    EXPECT_FALSE(reopened.contains("reviewPrompt.snapCount"));

    // The first hears of it: what the second wrote comes in, its own stays.
    int toldFirst = 0;
    const Subscription firstWatch = first.observeOutsideChanges([&] { ++toldFirst; });
    first.takeOutsideChanges();
    EXPECT_EQ(toldFirst, 1);
    EXPECT_EQ(first.dataValue("preferences.v1"), reopened.dataValue("preferences.v1"));
    EXPECT_FALSE(first.contains("reviewPrompt.snapCount"));
    first.takeOutsideChanges();
    EXPECT_EQ(toldFirst, 1) << "nothing new";
}

TEST(JSONFileUserDefaultsPath, FollowsTheBaseDirectoryRules) {
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = savedConfig ? savedConfig : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";

    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(JSONFileUserDefaults::defaultPath(), fs::path("/tmp/cfg/Tessary/defaults.json"));
    for (const char* ignored : {"", "relative/cfg"}) {
        ::setenv("XDG_CONFIG_HOME", ignored, 1);
        EXPECT_EQ(JSONFileUserDefaults::defaultPath(), fs::path(home) / ".config/Tessary/defaults.json") << ignored;
    }
    if (savedConfig) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}
