#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "Platform/Linux/FolderSyncStore.h"
#include "Platform/Sim/InMemorySyncStore.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/integrations/CloudSync.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;
using namespace std::chrono_literals;

namespace {

template <typename Document>
std::string encoded(const Document& document) {
    return JSONDocumentStore<Document>::encode(document).value();
}

template <typename Document>
Document decoded(const std::string& text) {
    return JSONDocumentStore<Document>::decode(text).value();
}

ZoneLayout layoutNamed(const std::string& name, Date modifiedAt) {
    ZoneLayout layout(LayoutTemplate::columns, 2, name);
    layout.setModifiedAt(modifiedAt);
    return layout;
}

PlacementRule ruleFor(const std::string& bundleID, Date modifiedAt) {
    return PlacementRule(UUID::random(), true, bundleID, std::nullopt, std::nullopt, {0}, modifiedAt);
}

// One machine: the real zone, rule and workspace services over documents in a folder of its own
// (a new zone service starts from its own starter library), and its sync over the given store.
struct Machine {
    Machine(KeyValueSyncStore& store, VirtualScheduler& scheduler,
            CloudSync::Availability availability = CloudSync::Availability::available)
        : time(scheduler),
          sync(store, zones, rules, workspaces, [this] { return enabled; }, availability, scheduler,
               [this] { return clock; }) {}

    template <typename Document>
    JSONDocumentStore<Document> document(const std::string& name) {
        return JSONDocumentStore<Document>(folder / name, files);
    }
    int saves() const { return files->writeCount(); }

    VirtualScheduler& time;
    TemporaryFolder folder;
    std::shared_ptr<FaultyFileSystem> files = std::make_shared<FaultyFileSystem>();
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    ZoneService zones{std::make_shared<FakeWindowEngine>(), document<LayoutLibrary>("layouts.json")};
    RuleService rules{zones, [] { return std::vector<DisplayInfo>{}; }, document<RuleSet>("rules.json")};
    WorkspaceService workspaces{zones, [] { return std::vector<DisplayInfo>{}; },
                                document<WorkspaceLibrary>("workspaces.json"), applications, launcher, time};
    bool enabled = true;
    Date clock = Date(800'000'000);
    CloudSync sync;
};

class CloudSyncTest : public ::testing::Test {
protected:
    RecordingLogSink log;
    ScopedLogSink scopedLog{log};
    VirtualScheduler scheduler;
    InMemorySyncStore store;
};

// The machine under test plus the documents "another machine" put in the store.
class OneMachineTest : public CloudSyncTest {
protected:
    void SetUp() override { machine = std::make_unique<Machine>(store, scheduler); }
    // The starter library as another machine stored it, plus one layout of its own.
    LayoutLibrary remoteLayouts(const std::string& extra) {
        LayoutLibrary library = machine->zones.library();
        library.upsert(layoutNamed(extra, Date(900'000'000)));
        return library;
    }

    std::unique_ptr<Machine> machine;
};

// A launch whose pull finds nothing new: nothing local is replaced or saved, and the push runs,
// writing only what the store lacks.
TEST_F(CloudSyncTest, APullWithNothingNewChangesNothingLocalAndStillPushes) {
    struct Case {
        const char* name;
        bool storeHoldsTheLocalDocuments;
        std::vector<std::string> writes;
    };
    const std::vector<Case> cases = {
        {"an empty store", false, {"set layouts.v1", "set rules.v1", "set workspaces.v1"}},
        {"a store holding the same documents", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InMemorySyncStore shared;
        Machine machine(shared, scheduler);
        const LayoutLibrary before = machine.zones.library();
        if (c.storeHoldsTheLocalDocuments) {
            shared.values = {{"layouts.v1", encoded(before)},
                             {"rules.v1", encoded(RuleSet{})},
                             {"workspaces.v1", encoded(WorkspaceLibrary{})}};
        }
        int notices = 0;
        const Subscription counting = machine.zones.observe([&] { ++notices; });
        const int saves = machine.saves();

        machine.sync.start();

        EXPECT_EQ(shared.writes, c.writes);
        EXPECT_EQ(shared.values.at("layouts.v1"), encoded(before));
        EXPECT_EQ(shared.values.at("rules.v1"), encoded(RuleSet{}));
        EXPECT_EQ(notices, 0);
        EXPECT_EQ(machine.saves(), saves);
        EXPECT_EQ(shared.synchronizeCount, 1u);
        EXPECT_EQ(machine.sync.lastSync(), machine.clock);
        EXPECT_EQ(machine.sync.lastError(), std::nullopt);
    }
}

TEST_F(OneMachineTest, APullAppliesRemoteChangesAndPushesTheMergeAtOnce) {
    const PlacementRule remoteRule = ruleFor("Mail", Date(900'000'000));
    RuleSet remoteRules;
    remoteRules.upsert(remoteRule);
    const LayoutLibrary remote = remoteLayouts("From afar");
    store.values["layouts.v1"] = encoded(remote);
    store.values["rules.v1"] = encoded(remoteRules);
    machine->rules.modifyRuleSet([](RuleSet& set) { set.upsert(ruleFor("Notes", Date(900'000'001))); });

    machine->sync.start();

    EXPECT_EQ(machine->zones.library().layouts.back().name, "From afar");
    ASSERT_EQ(machine->rules.ruleSet().rules.size(), 2u);
    EXPECT_EQ(machine->rules.ruleSet().rules[1], remoteRule);
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "the pull's replacements scheduled an upload";
    // The store lacked the local rule, so the merged rules went out; the layouts it had already.
    EXPECT_EQ(store.writes, (std::vector<std::string>{"set rules.v1", "set workspaces.v1"}));
    EXPECT_EQ(decoded<RuleSet>(store.values.at("rules.v1")), machine->rules.ruleSet());
    EXPECT_EQ(store.values.at("layouts.v1"), encoded(remote));
}

TEST_F(OneMachineTest, LocalEditsArePushedOnceTwoSecondsAfterTheLast) {
    machine->sync.start();
    store.writes.clear();
    for (int edit = 0; edit < 3; ++edit) {
        machine->zones.updateLibrary([&](LayoutLibrary& library) {
            library.upsert(layoutNamed("Edit " + std::to_string(edit), Date(900'000'000 + edit)));
        });
        scheduler.advance(1s);
    }
    scheduler.advance(999ms);
    EXPECT_TRUE(store.writes.empty());
    scheduler.advance(1ms);
    EXPECT_EQ(store.writes, (std::vector<std::string>{"set layouts.v1"}));
    EXPECT_EQ(decoded<LayoutLibrary>(store.values.at("layouts.v1")), machine->zones.library());
}

// Every way of asking for a sync while the guard does not hold: nothing is read or written.
TEST_F(CloudSyncTest, NothingHappensUnlessStartedAvailableAndSwitchedOn) {
    struct Case {
        const char* name;
        CloudSync::Availability availability;
        bool startFirst;  // with sync on, against the empty store
        std::function<void(Machine&, InMemorySyncStore&)> act;
    };
    const auto edit = [](Machine& machine) {
        machine.zones.updateLibrary([](LayoutLibrary& library) { library.upsert(layoutNamed("Local", Date(1))); });
    };
    const std::vector<Case> cases = {
        {"switched off during the upload delay", CloudSync::Availability::available, true,
         [&](Machine& machine, InMemorySyncStore&) {
             edit(machine);
             machine.time.advance(1s);
             machine.enabled = false;
             machine.time.advance(5s);
         }},
        {"a change notice while switched off", CloudSync::Availability::available, true,
         [](Machine& machine, InMemorySyncStore& shared) {
             machine.enabled = false;
             shared.postChange();
             machine.sync.pull();
         }},
        {"a change notice and an edit before start", CloudSync::Availability::available, false,
         [&](Machine& machine, InMemorySyncStore& shared) {
             shared.postChange();
             machine.sync.externalChange();
             machine.sync.scheduleUpload();
             edit(machine);
             machine.time.advance(5s);
         }},
        {"an unavailable build", CloudSync::Availability::missingEntitlement, true,
         [&](Machine& machine, InMemorySyncStore& shared) {
             shared.postChange();
             machine.sync.pull();
             edit(machine);
             machine.time.advance(5s);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InMemorySyncStore shared;
        VirtualScheduler time;
        Machine machine(shared, time, c.availability);
        if (c.startFirst) machine.sync.start();
        const auto lastSync = machine.sync.lastSync();
        shared.writes.clear();
        shared.synchronizeCount = 0;
        // What a read would have merged in: seeing this layout locally means the store was read.
        LayoutLibrary remote;
        remote.upsert(layoutNamed("Remote", Date(2)));
        shared.values["layouts.v1"] = encoded(remote);

        c.act(machine, shared);

        EXPECT_TRUE(shared.writes.empty());
        EXPECT_EQ(shared.synchronizeCount, 0u);
        EXPECT_FALSE(machine.zones.library().layout(remote.layouts[0].id).has_value());
        EXPECT_EQ(machine.sync.lastSync(), lastSync);
        EXPECT_EQ(machine.sync.lastError(), std::nullopt);
    }
    EXPECT_TRUE(log.messages("CloudSync").empty());
}

TEST_F(OneMachineTest, StartingTwiceHooksOnceAndPullsOnce) {
    machine->sync.start();
    machine->sync.start();
    EXPECT_EQ(store.synchronizeCount, 1u);
    store.postChange();
    EXPECT_EQ(store.synchronizeCount, 2u) << "one notice, one pull";
}

TEST_F(OneMachineTest, AnUndecodableValueStaysUntouchedAndItsErrorStaysShown) {
    const std::string future = "{\"version\": 7, \"rules\": \"kept elsewhere\"}";
    store.values["layouts.v1"] = encoded(remoteLayouts("From afar"));
    store.values["rules.v1"] = future;

    machine->sync.start();

    EXPECT_EQ(machine->zones.library().layouts.back().name, "From afar") << "the layouts were still merged";
    EXPECT_EQ(store.values.at("rules.v1"), future);
    EXPECT_EQ(store.writes, (std::vector<std::string>{"set workspaces.v1"}));
    ASSERT_TRUE(machine->sync.lastError().has_value());
    const std::string error = *machine->sync.lastError();
    EXPECT_EQ(error, "Could not read sync folder data: \u201Crules.v1\u201D in the sync folder is damaged or was written "
                     "by a newer version of Tessary. It is left as it is and synchronised again once it can be read.")
        << "a sentence a user reads, with the file's name; the decoder's words go to the log";
    ASSERT_FALSE(log.messages("CloudSync").empty());
    EXPECT_EQ(log.messages("CloudSync")[0].rfind("pull failed: \u201Crules.v1\u201D", 0), 0u);

    // A later local change is pushed, and still leaves the value and the error alone.
    machine->rules.modifyRuleSet([](RuleSet& set) { set.upsert(ruleFor("Notes", Date(900'000'001))); });
    scheduler.advance(CloudSync::uploadDelay);
    EXPECT_EQ(store.values.at("rules.v1"), future);
    EXPECT_EQ(machine->sync.lastError(), error);
    EXPECT_EQ(machine->sync.lastSync(), machine->clock);

    // Once the other machine stores a readable copy, a pull clears the error.
    store.values["rules.v1"] = encoded(RuleSet{});
    store.postChange();
    EXPECT_EQ(machine->sync.lastError(), std::nullopt);
    EXPECT_EQ(decoded<RuleSet>(store.values.at("rules.v1")), machine->rules.ruleSet());
}

// Garbage or a truncated file of this version: its bytes are kept under a name of their own, the
// local document takes its place, the user is told once, and nothing of the error stays.
TEST_F(CloudSyncTest, AValueThatDoesNotDecodeIsSetAsideAndReplacedByTheLocalDocument) {
    struct Case {
        const char* key;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"rules.v1", "\x01garbage that is not JSON"},
        {"workspaces.v1", "{\"version\": 1, \"workspaces\": [{\"id\": \"9F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        InMemorySyncStore shared;
        Machine machine(shared, scheduler);
        shared.values[c.key] = c.bytes;
        std::vector<std::string> told;
        machine.sync.onSetAside = [&](const std::string& key, const std::string& copy) { told.push_back(key + " " + copy); };

        machine.sync.start();

        const std::string copy = std::string(c.key) + ".unreadable-1";
        EXPECT_EQ(told, std::vector<std::string>{std::string(c.key) + " " + copy});
        ASSERT_TRUE(shared.values.contains(copy));
        EXPECT_EQ(shared.values.at(copy), c.bytes) << "nothing of it lost";
        EXPECT_EQ(shared.values.at("rules.v1"), encoded(machine.rules.ruleSet()));
        EXPECT_EQ(shared.values.at("workspaces.v1"), encoded(machine.workspaces.library()));
        EXPECT_EQ(machine.sync.lastError(), std::nullopt);
        EXPECT_EQ(machine.sync.lastSync(), machine.clock);

        // The next pull finds a sound value: nothing more is set aside or told.
        shared.postChange();
        EXPECT_EQ(told.size(), 1u);
        EXPECT_FALSE(shared.values.contains(std::string(c.key) + ".unreadable-2"));
    }

    // Where the copy cannot be made, the value stays as it is and the failure is shown.
    InMemorySyncStore readOnly;
    Machine machine(readOnly, scheduler);
    readOnly.values["rules.v1"] = "garbage";
    readOnly.writeFailure = "Read-only file system";
    machine.sync.start();
    EXPECT_EQ(readOnly.values, (std::map<std::string, std::string, std::less<>>{{"rules.v1", "garbage"}}));
    EXPECT_TRUE(machine.sync.lastError().has_value());
}

// Two machines on one sync folder: B's push lands between A's pull and A's push (as when a folder
// comes back and both synchronise at once). A's push reads B's document and has nothing to write;
// A's store then counts B's bytes as read and never announces them, so A must take them in there.
TEST_F(CloudSyncTest, WhatAPushReadsFromAPeerIsTakenIn) {
    TemporaryFolder folder;
    FolderSyncStore storeA(folder.path(), scheduler), storeB(folder.path(), scheduler);
    Machine a(storeA, scheduler), b(storeB, scheduler);
    a.sync.start();
    b.sync.start();
    const PlacementRule rule = ruleFor("Mail", Date(900'000'000));
    b.rules.modifyRuleSet([&](RuleSet& set) { set.upsert(rule); });
    scheduler.advance(CloudSync::uploadDelay);
    a.sync.push();
    storeA.processEvents();
    scheduler.advance(FolderSyncStore::quietPeriod);
    EXPECT_EQ(a.rules.ruleSet().rules, std::vector<PlacementRule>{rule});
}

// Two newer documents this version cannot decode: both are named, neither hides behind the other.
TEST_F(OneMachineTest, EveryUndecodableValueIsNamed) {
    store.values["layouts.v1"] = "{\"version\": 9, \"layouts\": \"elsewhere\"}";
    store.values["workspaces.v1"] = "{\"version\": 9}";
    machine->sync.start();
    const auto sentence = [](const char* key) {
        return std::string("\u201C") + key + "\u201D in the sync folder is damaged or was written by a newer version of "
               "Tessary. It is left as it is and synchronised again once it can be read.";
    };
    EXPECT_EQ(machine->sync.lastError(),
              "Could not read sync folder data: " + sentence("layouts.v1") + "\n" + sentence("workspaces.v1"));
    EXPECT_EQ(machine->sync.unreadableKeys(), (std::vector<std::string>{"layouts.v1", "workspaces.v1"}));
    EXPECT_EQ(store.values.at("layouts.v1"), "{\"version\": 9, \"layouts\": \"elsewhere\"}") << "left as it is";

    store.values["layouts.v1"] = encoded(remoteLayouts("Mended"));
    store.postChange();
    EXPECT_EQ(machine->sync.lastError(), "Could not read sync folder data: " + sentence("workspaces.v1"));
    EXPECT_EQ(machine->sync.unreadableKeys(), std::vector<std::string>{"workspaces.v1"});
}

// A newer Tessary on another machine shares the folder: what this version reads of its layouts is
// merged here, and its value is never written over (keys this version does not know would go).
TEST_F(OneMachineTest, ANewerVersionsValueIsMergedButNeverWrittenOver) {
    json::Json newer = remoteLayouts("From a newer machine").toJSON();
    newer["version"] = 2;
    newer["stacks"] = json::Json::array({"kept by the newer version"});
    const std::string stored = json::dumpPretty(newer);
    store.values["layouts.v1"] = stored;

    machine->sync.start();
    EXPECT_EQ(machine->zones.library().layouts.back().name, "From a newer machine");
    EXPECT_EQ(machine->zones.library().version, 1) << "what is held is what this version read";
    EXPECT_EQ(store.values.at("layouts.v1"), stored);
    const std::string said = "\u201Clayouts.v1\u201D in the sync folder was written by a newer version of Tessary. This "
                             "version reads it but does not write over it, so changes made here are not synchronised "
                             "until Tessary is updated.";
    EXPECT_EQ(machine->sync.lastError(), said);

    // A local change is pushed to the other keys, never to this one; the log says it once.
    machine->zones.updateLibrary([](LayoutLibrary& library) { library.upsert(layoutNamed("Local", Date(900'000'100))); });
    scheduler.advance(CloudSync::uploadDelay);
    EXPECT_EQ(store.values.at("layouts.v1"), stored);
    EXPECT_EQ(machine->sync.lastError(), said);
    std::size_t lines = 0;
    for (const std::string& line : log.messages("CloudSync")) lines += line.starts_with("leaving layouts.v1 as it is") ? 1 : 0;
    EXPECT_EQ(lines, 1u);

    // Once this version's copy is there again, the key is written and the sentence goes.
    store.values["layouts.v1"] = encoded(remoteLayouts("From afar"));
    store.postChange();
    EXPECT_EQ(machine->sync.lastError(), std::nullopt);
    const auto written = decoded<LayoutLibrary>(store.values.at("layouts.v1")).layouts;
    EXPECT_TRUE(std::any_of(written.begin(), written.end(), [](const ZoneLayout& l) { return l.name == "Local"; }));
}

TEST_F(OneMachineTest, AFailedWriteShowsItsReasonAndKeepsTheLastSync) {
    machine->sync.start();
    const Date firstSync = *machine->sync.lastSync();
    store.writeFailure = "No space left on device";
    machine->clock = firstSync.addingSeconds(60);
    machine->zones.updateLibrary([](LayoutLibrary& library) { library.upsert(layoutNamed("Local", Date(900'000'000))); });
    scheduler.advance(CloudSync::uploadDelay);

    const std::string reason = "\u201Clayouts.v1\u201D could not be written: No space left on device";
    EXPECT_EQ(machine->sync.lastError(), "Could not write sync folder data: " + reason);
    EXPECT_EQ(machine->sync.lastSync(), firstSync);
    EXPECT_EQ(store.synchronizeCount, 1u) << "a failed push flushes nothing";
    EXPECT_EQ(log.messages("CloudSync"), std::vector<std::string>{"push failed: " + reason});

    store.writeFailure.reset();
    machine->sync.pull();
    EXPECT_EQ(machine->sync.lastError(), std::nullopt);
    EXPECT_EQ(machine->sync.lastSync(), machine->clock);
}

// A folder that refuses writes (read-only, full): the change is tried again 1, 2, 4 … s apart and
// arrives once the folder takes it, with no further edit; until then nothing says it is up to date,
// and then the error goes and no timer stays.
TEST_F(OneMachineTest, AFailedPushIsTriedAgainUntilTheChangeArrives) {
    machine->sync.start();
    store.writeFailure = "Read-only file system";
    machine->zones.updateLibrary([](LayoutLibrary& library) { library.upsert(layoutNamed("Local", Date(900'000'000))); });
    EXPECT_TRUE(machine->sync.hasPendingChanges());
    scheduler.advance(CloudSync::uploadDelay);
    EXPECT_EQ(machine->sync.lastError(),
              "Could not write sync folder data: \u201Clayouts.v1\u201D could not be written: Read-only file system");
    const auto tries = [&] { return store.refusedWrites; };
    const struct {
        std::chrono::milliseconds wait;
        std::size_t tries;
    } steps[] = {{999ms, 1}, {1ms, 2}, {2s, 3}, {4s, 4}, {8s, 5}};
    for (const auto& step : steps) {
        scheduler.advance(step.wait);
        EXPECT_EQ(tries(), step.tries) << "after another " << step.wait.count() << " ms";
        EXPECT_TRUE(machine->sync.hasPendingChanges());
    }

    EXPECT_EQ(log.messages("CloudSync").size(), 1u) << "logged once for the reason, not for each try";
    store.writeFailure.reset();
    machine->clock = Date(800'000'100);
    scheduler.advance(16s);
    EXPECT_EQ(decoded<LayoutLibrary>(store.values.at("layouts.v1")).layouts.back().name, "Local");
    EXPECT_EQ(machine->sync.lastError(), std::nullopt);
    EXPECT_EQ(machine->sync.lastSync(), machine->clock);
    EXPECT_FALSE(machine->sync.hasPendingChanges());
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "an idle sync keeps no timer";
}

// A change made just before quitting goes out at quit, not at the next start.
TEST_F(OneMachineTest, AQuitPushesWhatWaits) {
    machine->sync.start();
    machine->zones.updateLibrary([](LayoutLibrary& library) { library.upsert(layoutNamed("Late", Date(900'000'000))); });
    machine->sync.flush();
    EXPECT_EQ(decoded<LayoutLibrary>(store.values.at("layouts.v1")).layouts.back().name, "Late");
    EXPECT_FALSE(machine->sync.hasPendingChanges());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

// A parent of the sync folder renamed away before the store read its notice: the push's "No such
// file or directory" is the folder gone, so nothing is retried on a timer; the change waits and
// goes out as soon as a copy is put back at the path.
TEST_F(CloudSyncTest, AChangeMadeWhileTheFolderIsAwayGoesOutWhenACopyIsBack) {
    TemporaryFolder top;
    const std::filesystem::path cloud = top / "Cloud";
    std::filesystem::create_directories(cloud / "Sync");
    FolderSyncStore folder(cloud / "Sync", scheduler);
    Machine machine(folder, scheduler);
    machine.sync.start();
    std::filesystem::rename(cloud, top / "Cloud.old");

    const PlacementRule rule = ruleFor("Mail", Date(900'000'000));
    machine.rules.modifyRuleSet([&](RuleSet& set) { set.upsert(rule); });
    scheduler.advance(CloudSync::uploadDelay);
    scheduler.advance(0ms);
    ASSERT_TRUE(machine.sync.lastError().has_value());
    EXPECT_TRUE(machine.sync.lastError()->starts_with("Could not read sync folder data: the sync folder is not there"))
        << *machine.sync.lastError();
    EXPECT_TRUE(machine.sync.hasPendingChanges());
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "the store says when the folder is back";

    std::filesystem::copy(top / "Cloud.old", cloud, std::filesystem::copy_options::recursive);
    folder.processEvents();
    scheduler.advance(FolderSyncStore::quietPeriod);
    EXPECT_EQ(decoded<RuleSet>(readFile(cloud / "Sync" / "rules.v1")).rules, std::vector<PlacementRule>{rule});
    EXPECT_EQ(machine.sync.lastError(), std::nullopt);
    EXPECT_FALSE(machine.sync.hasPendingChanges());
}

// One machine's view of a store shared with another: its writes reach the shared values, and the
// other machine hears of them, as a sync folder's watcher tells it; its own writes it does not hear.
class PeerView final : public KeyValueSyncStore {
public:
    explicit PeerView(InMemorySyncStore& shared) : shared_(shared) {}

    Expected<std::optional<std::string>, SyncStoreError> data(std::string_view key) override { return shared_.data(key); }
    Expected<void, SyncStoreError> set(std::optional<std::string_view> bytes, std::string_view key) override {
        ++writes;
        if (other) other->noticeDue = true;
        return shared_.set(bytes, key);
    }
    Expected<SetAsideCopy, SyncStoreError> setAside(std::string_view key, std::string_view bytes) override {
        return shared_.setAside(key, bytes);
    }
    bool synchronize() override { return shared_.synchronize(); }
    Signal<>* changeNotification() override { return &changed; }

    PeerView* other = nullptr;
    bool noticeDue = false;
    int writes = 0;
    Signal<> changed;

private:
    InMemorySyncStore& shared_;
};

class TwoMachinesTest : public CloudSyncTest {
protected:
    // Delivers the change notices until none is due; the number of rounds it took.
    int settle() {
        int rounds = 0;
        while ((viewA.noticeDue || viewB.noticeDue) && rounds < 20) {
            ++rounds;
            for (PeerView* view : {&viewA, &viewB}) {
                if (std::exchange(view->noticeDue, false)) view->changed.emit();
            }
        }
        return rounds;
    }
    std::set<UUID> layoutIDs(const Machine& machine) {
        std::set<UUID> ids;
        for (const auto& layout : machine.zones.library().layouts) ids.insert(layout.id);
        return ids;
    }

    PeerView viewA{store};
    PeerView viewB{store};
    std::unique_ptr<Machine> a;
    std::unique_ptr<Machine> b;

    void SetUp() override {
        viewA.other = &viewB;
        viewB.other = &viewA;
        a = std::make_unique<Machine>(viewA, scheduler);
        b = std::make_unique<Machine>(viewB, scheduler);
    }
};

TEST_F(TwoMachinesTest, MachinesWithTheirOwnStarterLibrariesGoQuietAfterOneExchange) {
    a->sync.start();
    b->sync.start();
    EXPECT_LE(settle(), 3);
    ASSERT_FALSE(viewA.noticeDue || viewB.noticeDue) << "the machines kept rewriting each other's documents";
    EXPECT_EQ(layoutIDs(*a), layoutIDs(*b));
    EXPECT_EQ(a->zones.library().layouts.size(), 6u) << "the starter layouts are the same on every machine";
    EXPECT_EQ(a->zones.library().defaultLayoutID, b->zones.library().defaultLayoutID);
    const int writesA = viewA.writes, writesB = viewB.writes;
    viewA.changed.emit();
    viewB.changed.emit();
    EXPECT_EQ(viewA.writes, writesA);
    EXPECT_EQ(viewB.writes, writesB);

    // A deletion travels as a tombstone.
    const PlacementRule rule = ruleFor("Mail", Date(900'000'000));
    a->rules.modifyRuleSet([&](RuleSet& set) { set.upsert(rule); });
    scheduler.advance(CloudSync::uploadDelay);
    settle();
    ASSERT_EQ(b->rules.ruleSet().rules, std::vector<PlacementRule>{rule});
    b->rules.modifyRuleSet([&](RuleSet& set) { set.deleteRule(rule.id, Date(900'000'100)); });
    scheduler.advance(CloudSync::uploadDelay);
    EXPECT_LE(settle(), 3);
    EXPECT_TRUE(a->rules.ruleSet().rules.empty());
    EXPECT_EQ(a->rules.ruleSet().deletedRules.count(rule.id.uuidString()), 1u);
}

}  // namespace
