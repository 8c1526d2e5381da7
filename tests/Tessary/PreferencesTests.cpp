#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Tessary/services/Preferences.h"

using namespace tessary;
using json::Json;

namespace {

// A stored snapshot with every key set away from its default, and the defaults. Either drag key
// read as its default still differs from the other.
Json customSnapshot() {
    return json::parse(R"({
        "activationModifier": "command", "spanModifier": "none",
        "overlayColor": {"red": 0.1, "green": 0.2, "blue": 0.3, "alpha": 0.9},
        "zoneOpacity": 0.25, "highlightOpacity": 0.75, "showZoneNumbers": false,
        "flashOnLayoutChange": false, "excludedBundleIDs": ["firefox", "XTerm"],
        "restoreOnDisplayChange": false, "moveNewWindowsToLastZone": true,
        "iCloudSyncEnabled": true, "appearance": "dark", "centerUnresizableWindows": false})");
}

Json defaultSnapshot() {
    return json::parse(R"({
        "activationModifier": "shift", "spanModifier": "control",
        "overlayColor": {"red": 0.357, "green": 0.294, "blue": 0.859, "alpha": 1.0},
        "zoneOpacity": 0.5, "highlightOpacity": 0.1, "showZoneNumbers": true,
        "flashOnLayoutChange": true, "excludedBundleIDs": [],
        "restoreOnDisplayChange": true, "moveNewWindowsToLastZone": false,
        "iCloudSyncEnabled": false, "appearance": "system", "centerUnresizableWindows": true})");
}

// The custom snapshot with these keys back at their defaults.
Json customExcept(std::initializer_list<const char*> keys) {
    Json snapshot = customSnapshot();
    for (const char* key : keys) snapshot[key] = defaultSnapshot()[key];
    return snapshot;
}

class PreferencesTest : public ::testing::Test {
protected:
    MemoryUserDefaults defaults;
    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};

    void store(const Json& snapshot) { defaults.set(Preferences::storageKey, UserDefaultsData{json::dumpCompact(snapshot)}); }
    Json stored() const { return json::parse(*defaults.dataValue(Preferences::storageKey)); }
    std::size_t writes() const { return defaults.writeCount(Preferences::storageKey); }
    // Every setting as the preferences hold it, through a save.
    Json held(Preferences& preferences) {
        preferences.save();
        return stored();
    }
};

}  // namespace

TEST_F(PreferencesTest, FirstStartHasTheDefaultsAndWritesOnlyOnTheFirstAssignment) {
    Preferences preferences(defaults);
    EXPECT_FALSE(defaults.contains(Preferences::storageKey));
    preferences.setShowZoneNumbers(true);
    EXPECT_EQ(stored(), defaultSnapshot());
    EXPECT_TRUE(sink.records().empty());
    // Written in its documented key order (read in any order).
    EXPECT_EQ(std::string(*defaults.dataValue(Preferences::storageKey)),
              R"({"activationModifier":"shift","spanModifier":"control",)"
              R"("overlayColor":{"red":0.357,"green":0.294,"blue":0.859,"alpha":1.0},"zoneOpacity":0.5,)"
              R"("highlightOpacity":0.1,"showZoneNumbers":true,"flashOnLayoutChange":true,"excludedBundleIDs":[],)"
              R"("restoreOnDisplayChange":true,"moveNewWindowsToLastZone":false,"iCloudSyncEnabled":false,)"
              R"("appearance":"system","centerUnresizableWindows":true})");
}

TEST_F(PreferencesTest, AStoredSnapshotLoadsEverySetting) {
    store(customSnapshot());
    Preferences loaded(defaults);
    EXPECT_EQ(held(loaded), customSnapshot());

    // Written before the setting existed: absent or null reads as on.
    for (const bool absent : {true, false}) {
        Json snapshot = customSnapshot();
        if (absent) snapshot.erase("centerUnresizableWindows");
        else snapshot["centerUnresizableWindows"] = nullptr;
        store(snapshot);
        Preferences preferences(defaults);
        EXPECT_EQ(held(preferences), customExcept({"centerUnresizableWindows"}));
    }
    EXPECT_TRUE(sink.records().empty());
}

TEST_F(PreferencesTest, ABadKeyTakesItsDefaultAndTheOthersKeepTheirValues) {
    struct Case {
        const char* key;
        Json value;  // null: the key is removed
    };
    const Case cases[] = {
        {"appearance", nullptr},
        {"activationModifier", "hyper"},
        {"spanModifier", 3},
        {"overlayColor", json::parse(R"({"red": 0.1, "green": 0.2, "blue": 0.3})")},
        {"zoneOpacity", "half"},
        {"showZoneNumbers", 1},
        {"excludedBundleIDs", json::parse(R"(["firefox", 7])")},
        {"centerUnresizableWindows", "yes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        sink.clear();
        Json snapshot = customSnapshot();
        if (c.value.is_null()) snapshot.erase(c.key);
        else snapshot[c.key] = c.value;
        store(snapshot);

        Preferences preferences(defaults);
        ASSERT_EQ(sink.messages("Preferences").size(), 1u);
        EXPECT_NE(sink.messages("Preferences")[0].find(c.key), std::string::npos);
        // The next save keeps the user's values instead of writing defaults over them.
        EXPECT_EQ(held(preferences), customExcept({c.key}));
        Preferences reloaded(defaults);
        EXPECT_EQ(held(reloaded), customExcept({c.key}));
    }
}

TEST_F(PreferencesTest, AValueThatIsNotASnapshotGivesEveryDefaultAndIsLogged) {
    const UserDefaultsValue bad[] = {UserDefaultsData{"{\"zoneOpacity\": "}, UserDefaultsData{"[1]"},
                                     UserDefaultsData{"null"}, json::dumpCompact(customSnapshot())};  // text, not data
    for (const auto& value : bad) {
        sink.clear();
        defaults.set(Preferences::storageKey, value);
        Preferences preferences(defaults);
        EXPECT_EQ(sink.messages("Preferences").size(), 1u);
        EXPECT_EQ(held(preferences), defaultSnapshot());
    }
}

TEST_F(PreferencesTest, TheFormerDefaultColourMigratesAndNothingElseDoes) {
    const std::pair<ColorComponents, ColorComponents> cases[] = {
        {{0.212, 0.541, 0.902, 1.0}, {0.357, 0.294, 0.859, 1.0}},
        {{0.212, 0.541, 0.902, 0.8}, {0.212, 0.541, 0.902, 0.8}},
        {{0.212, 0.541, 0.9, 1.0}, {0.212, 0.541, 0.9, 1.0}},
    };
    for (const auto& [storedColor, loaded] : cases) {
        Json snapshot = customSnapshot();
        snapshot["overlayColor"] = storedColor.toJSON();
        store(snapshot);
        const auto before = writes();
        EXPECT_EQ(Preferences(defaults).overlayColor(), loaded);
        EXPECT_EQ(writes(), before);  // loading writes nothing
    }
}

TEST_F(PreferencesTest, EverySetterSavesButAnnouncesOnlyRealChanges) {
    store(customSnapshot());
    Preferences preferences(defaults);
    std::vector<PreferenceSetting> changes;
    auto subscription = preferences.observe([&](PreferenceSetting s) { changes.push_back(s); });
    int appearanceApplied = 0;
    preferences.appearanceHandler = [&](AppAppearance) { ++appearanceApplied; };

    struct Step {
        std::function<void()> assign;
        std::optional<PreferenceSetting> announced;
    };
    const Step steps[] = {
        {[&] { preferences.setActivationModifier(ActivationModifier::command); }, std::nullopt},
        {[&] { preferences.setActivationModifier(ActivationModifier::always); }, PreferenceSetting::activationModifier},
        {[&] { preferences.setExcludedBundleIDs({"firefox", "XTerm"}); }, std::nullopt},
        {[&] { preferences.setExcludedBundleIDs({"XTerm", "firefox"}); }, PreferenceSetting::excludedBundleIDs},
        {[&] { preferences.setAppearance(AppAppearance::dark); }, std::nullopt},
    };
    for (const auto& step : steps) {
        changes.clear();
        const auto before = writes();
        step.assign();
        EXPECT_EQ(writes(), before + 1);
        if (step.announced) {
            EXPECT_EQ(changes, std::vector<PreferenceSetting>{*step.announced});
        } else {
            EXPECT_TRUE(changes.empty());
        }
    }
    EXPECT_EQ(appearanceApplied, 1);  // applied again although unchanged
    EXPECT_EQ(stored()["activationModifier"], "always");
    EXPECT_EQ(stored()["excludedBundleIDs"], json::parse(R"(["XTerm", "firefox"])"));

    subscription.reset();
    preferences.setShowZoneNumbers(true);
    EXPECT_TRUE(changes.empty());
}

// Stored by a version that let both drag keys be one key: the drag key stays, spanning goes to its
// partner, and the stored text is left as it is until a setting is saved.
TEST_F(PreferencesTest, StoredDragKeysThatNameOneKeyKeepTheDragKeyAndMoveSpanning) {
    struct Row {
        const char* key;
        DragKeys read;
        const char* logged;
    };
    const Row rows[] = {
        {"control", {ActivationModifier::control, SpanModifier::command},
         "The stored drag key and span key are both Ctrl: Ctrl shows the zones and Super spans them"},
        {"shift", {ActivationModifier::shift, SpanModifier::control},
         "The stored drag key and span key are both Shift: Shift shows the zones and Ctrl spans them"},
        {"command", {ActivationModifier::command, SpanModifier::control},
         "The stored drag key and span key are both Super: Super shows the zones and Ctrl spans them"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        sink.clear();
        Json snapshot = customSnapshot();
        snapshot["activationModifier"] = row.key;
        snapshot["spanModifier"] = row.key;
        store(snapshot);
        const auto before = writes();
        Preferences preferences(defaults);
        EXPECT_EQ(preferences.dragKeys(), row.read);
        EXPECT_EQ(writes(), before);
        EXPECT_EQ(stored(), snapshot);
        EXPECT_EQ(sink.messages("Preferences"), std::vector<std::string>{row.logged});
        preferences.setShowZoneNumbers(true);
        EXPECT_EQ(stored()["spanModifier"], rawValue(row.read.span));
    }
}

TEST_F(PreferencesTest, ADragKeyGivenTheOthersKeyMovesTheOtherInOneSave) {
    Preferences preferences(defaults);
    std::vector<PreferenceSetting> changes;
    auto subscription = preferences.observe([&](PreferenceSetting s) { changes.push_back(s); });
    using A = ActivationModifier;
    using S = SpanModifier;
    struct Step {
        const char* name;
        std::function<void()> assign;
        DragKeys after;
        std::vector<PreferenceSetting> announced;
    };
    const std::vector<PreferenceSetting> both = {PreferenceSetting::activationModifier, PreferenceSetting::spanModifier};
    const Step steps[] = {
        {"Ctrl to show the zones", [&] { preferences.setActivationModifier(A::control); }, {A::control, S::command}, both},
        {"Ctrl to span", [&] { preferences.setSpanModifier(S::control); }, {A::command, S::control}, both},
        {"spanning off", [&] { preferences.setSpanModifier(S::none); }, {A::command, S::none},
         {PreferenceSetting::spanModifier}},
        {"one key for both at once", [&] { preferences.setDragKeys({A::shift, S::shift}); }, {A::shift, S::control}, both},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        changes.clear();
        const auto before = writes();
        step.assign();
        EXPECT_EQ(writes(), before + 1);
        EXPECT_EQ(preferences.dragKeys(), step.after);
        EXPECT_EQ(changes, step.announced);
        EXPECT_EQ(stored()["activationModifier"], rawValue(step.after.activation));
        EXPECT_EQ(stored()["spanModifier"], rawValue(step.after.span));
    }
}

// A first start is one whose stored settings name no drag key; whatever saves the settings stores
// one, and another instance's value is judged again when it is read.
TEST_F(PreferencesTest, ADragKeyIsStoredOnceTheSettingsAreSaved) {
    Preferences fresh(defaults);
    EXPECT_FALSE(fresh.storesDragKey());
    fresh.setZoneOpacity(0.4);
    EXPECT_TRUE(fresh.storesDragKey());

    Json withoutKeys = customSnapshot();
    withoutKeys.erase("activationModifier");
    store(withoutKeys);
    Preferences older(defaults);
    EXPECT_FALSE(older.storesDragKey());
    EXPECT_EQ(sink.messages("Preferences").size(), 1u) << "the missing key is logged as before";

    defaults.changeFromOutside(Preferences::storageKey, UserDefaultsData{json::dumpCompact(customSnapshot())});
    EXPECT_TRUE(older.storesDragKey());
}

TEST_F(PreferencesTest, NumbersThatCannotBeSavedAreRefusedAndOpacitiesStayWithinRange) {
    Preferences preferences(defaults);
    preferences.setZoneOpacity(0.3);
    int announcements = 0;
    auto subscription = preferences.observe([&](PreferenceSetting) { ++announcements; });
    const auto before = writes();

    preferences.setZoneOpacity(std::numeric_limits<double>::quiet_NaN());
    preferences.setHighlightOpacity(std::numeric_limits<double>::infinity());
    preferences.setOverlayColor({0.1, std::numeric_limits<double>::quiet_NaN(), 0.3, 1.0});
    EXPECT_EQ(preferences.zoneOpacity(), 0.3);
    EXPECT_EQ(preferences.highlightOpacity(), 0.1);
    EXPECT_EQ(preferences.overlayColor(), Preferences::defaultOverlayColor);
    EXPECT_EQ(writes(), before);
    EXPECT_EQ(announcements, 0);
    EXPECT_EQ(sink.messages("Preferences").size(), 3u);

    preferences.setZoneOpacity(1.5);
    preferences.setHighlightOpacity(-2);
    preferences.setOverlayColor({2, -1, 0.5, 7});
    EXPECT_EQ(preferences.zoneOpacity(), 1.0);
    EXPECT_EQ(preferences.highlightOpacity(), 0.0);
    EXPECT_EQ(preferences.overlayColor(), (ColorComponents{1, 0, 0.5, 1}));
    EXPECT_EQ(stored()["zoneOpacity"], 1.0);

    // A later save still works: nothing unsaveable got in.
    preferences.setShowZoneNumbers(false);
    EXPECT_EQ(stored()["showZoneNumbers"], false);

    // Out-of-range stored opacities (a hand edit) are brought into range as well.
    Json snapshot = customSnapshot();
    snapshot["highlightOpacity"] = 3;
    store(snapshot);
    EXPECT_EQ(Preferences(defaults).highlightOpacity(), 1.0);
}

TEST_F(PreferencesTest, ResetPutsBackOnlyTheZoneAppearance) {
    store(customSnapshot());
    Preferences preferences(defaults);
    std::vector<PreferenceSetting> changes;
    auto subscription = preferences.observe([&](PreferenceSetting s) { changes.push_back(s); });
    preferences.setZoneOpacity(0.5);  // already the default: not announced by the reset
    changes.clear();
    const auto before = writes();

    preferences.resetToDefaults();
    EXPECT_EQ(writes(), before + 5);
    EXPECT_EQ(changes, (std::vector<PreferenceSetting>{PreferenceSetting::overlayColor,
                                                       PreferenceSetting::highlightOpacity,
                                                       PreferenceSetting::showZoneNumbers,
                                                       PreferenceSetting::flashOnLayoutChange}));
    EXPECT_EQ(stored(), customExcept({"overlayColor", "zoneOpacity", "highlightOpacity", "showZoneNumbers",
                                      "flashOnLayoutChange"}));
}

TEST_F(PreferencesTest, KeysOfANewerVersionAreKeptAcrossSaves) {
    Json snapshot = customSnapshot();
    snapshot["snapSound"] = "glass";
    store(snapshot);
    Preferences preferences(defaults);
    preferences.setZoneOpacity(0.4);
    EXPECT_EQ(stored()["snapSound"], "glass");
    EXPECT_TRUE(sink.records().empty());
}

TEST_F(PreferencesTest, IdentifiersThatAreNotTextAreDropped) {
    Preferences preferences(defaults);
    preferences.setExcludedBundleIDs({"firefox", "bad\xff", "XTerm"});
    EXPECT_EQ(preferences.excludedBundleIDs(), (std::vector<std::string>{"firefox", "XTerm"}));
    EXPECT_EQ(stored()["excludedBundleIDs"], json::parse(R"(["firefox", "XTerm"])"));
}

TEST_F(PreferencesTest, TheWindowFilterLeavesAloneDialogsAndExcludedApplications) {
    Preferences preferences(defaults);
    preferences.setExcludedBundleIDs({"firefox", ""});
    struct Case {
        std::optional<std::string> application;
        bool standard;
        bool ignored;
    };
    const Case cases[] = {
        {"XTerm", true, false},
        {"firefox", true, true},
        {"XTerm", false, true},
        {std::nullopt, true, true},  // compared as the empty text, which is excluded here
        {"Firefox", true, false},    // identifiers compare exactly
    };
    for (const auto& c : cases) {
        WindowInfo window;
        window.bundleIdentifier = c.application;
        window.isStandard = c.standard;
        EXPECT_EQ(preferences.isIgnoredWindow(window), c.ignored) << c.application.value_or("(none)");
    }
    preferences.setExcludedBundleIDs({});
    WindowInfo anonymous;
    anonymous.isStandard = true;
    EXPECT_FALSE(preferences.isIgnoredWindow(anonymous));
}

// Another instance of the program (the user's, on another display) changed two settings: they are
// read at once, each observer is told of what changed and nothing else, and the next assignment
// here writes them back as they now are.
TEST_F(PreferencesTest, SettingsAnotherInstanceChangedAreTakenInAndKept) {
    store(defaultSnapshot());
    Preferences preferences(defaults);
    std::vector<PreferenceSetting> told;
    const Subscription watch = preferences.observe([&](PreferenceSetting setting) { told.push_back(setting); });

    Json changed = defaultSnapshot();
    changed["zoneOpacity"] = 0.8;
    changed["excludedBundleIDs"] = Json::array({"firefox"});
    defaults.changeFromOutside(Preferences::storageKey, UserDefaultsData{json::dumpCompact(changed)});
    EXPECT_EQ(told, (std::vector<PreferenceSetting>{PreferenceSetting::zoneOpacity, PreferenceSetting::excludedBundleIDs}));
    EXPECT_EQ(preferences.zoneOpacity(), 0.8);

    preferences.setShowZoneNumbers(false);
    changed["showZoneNumbers"] = false;
    EXPECT_EQ(stored(), changed);
}
