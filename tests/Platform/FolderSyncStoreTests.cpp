#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <iterator>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Linux/FolderSyncStore.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;
namespace fs = std::filesystem;

namespace {

using Code = SyncStoreError::Code;

const std::string document = "{\n  \"layouts\": [],\n  \"version\": 1\n}";

// Puts this test program into a mount namespace of its own, once, so that it may mount small file
// systems without touching anyone else's view of the machine. False where that is not allowed.
bool privateMounts() {
    static const bool allowed = ::unshare(CLONE_NEWNS) == 0 &&
                                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return allowed;
}

class FolderSyncStoreTest : public ::testing::Test {
protected:
    std::unique_ptr<FolderSyncStore> open() { return std::make_unique<FolderSyncStore>(folder.path(), scheduler); }

    // Takes the queued file events and lets the quiet period pass; the notices announced meanwhile.
    int noticesAfterBurst() {
        const int before = notices;
        store->processEvents();
        scheduler.advance(FolderSyncStore::quietPeriod);
        return notices - before;
    }

    // Whether the store, its events taken, leaves its descriptor quiet. Every folder on the sync
    // folder's way is watched, /tmp among them, where other programs (the other tests) make and
    // remove entries at any time: their notices are taken for a few rounds. A store whose own
    // handling keeps it woken stays ready through all of them.
    static bool settles(FolderSyncStore& store) {
        struct pollfd ready {store.fileDescriptor(), POLLIN, 0};
        for (int round = 0; round < 10 && ::poll(&ready, 1, 0) == 1; ++round) store.processEvents();
        return ::poll(&ready, 1, 0) == 0;
    }

    // Writes a file the way another program would, without going through the store.
    void writeOutside(const std::string& name, const std::string& bytes) { writeFile(folder / name, bytes); }
    void renameIntoPlace(const std::string& name, const std::string& bytes) {
        writeFile(folder / ".incoming", bytes);
        fs::rename(folder / ".incoming", folder / name);
    }

    RecordingLogSink log;
    ScopedLogSink scopedLog{log};
    VirtualScheduler scheduler;
    TemporaryFolder folder;
    TemporaryFolder elsewhere;
    std::unique_ptr<FolderSyncStore> store = open();
    int notices = 0;
    Subscription counting = store->changeNotification()->subscribe([this] { ++notices; });
};

TEST_F(FolderSyncStoreTest, ValuesReadBackByteForByteAndRemovalsLeaveNothing) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"a document", document},
        {"text beyond ASCII and line ends of both kinds", "{\"name\": \"Bildschirm \u00E9\u2603\"}\r\n\n"},
        {"nothing at all", ""},
        {"a large document", std::string(3 * 1024 * 1024, ' ') + document},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store->set(std::string_view(c.bytes), "layouts.v1"));
        EXPECT_EQ(store->data("layouts.v1").value(), c.bytes);
        EXPECT_EQ(readFile(folder / "layouts.v1"), c.bytes);
    }
    ASSERT_TRUE(store->set(std::nullopt, "layouts.v1"));
    EXPECT_EQ(store->data("layouts.v1").value(), std::nullopt);
    EXPECT_TRUE(store->set(std::nullopt, "layouts.v1")) << "removing what is not there";
    EXPECT_TRUE(store->synchronize());
    // No temporary file is left behind.
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST_F(FolderSyncStoreTest, ABurstOfOutsideChangesIsAnnouncedOnceAndTheStoresOwnWritesNever) {
    struct Case {
        const char* name;
        std::function<void()> change;
        int expectedNotices;
    };
    const std::vector<Case> cases = {
        {"a rename into place", [&] { renameIntoPlace("rules.v1", "{\"rules\": [1]}"); }, 1},
        {"a plain write", [&] { writeOutside("rules.v1", "{\"rules\": [2]}"); }, 1},
        {"a removal", [&] { fs::remove(folder / "rules.v1"); }, 1},
        {"three writes and a rename", [&] {
             writeOutside("rules.v1", "a");
             writeOutside("rules.v1", "b");
             writeOutside("layouts.v1", "c");
             renameIntoPlace("rules.v1", "d");
         }, 1},
        {"the store's own write", [&] { ASSERT_TRUE(store->set(std::string_view("{\"own\": 1}"), "rules.v1")); }, 0},
        {"a peer rewriting the same bytes", [&] {
             writeOutside("rules.v1", "same");
             noticesAfterBurst();
             renameIntoPlace("rules.v1", "same");
         }, 0},
        {"a file the store never read", [&] { writeOutside("notes.txt", "hello"); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The keys a sync reads first are the ones watched.
        (void)store->data("rules.v1");
        (void)store->data("layouts.v1");
        noticesAfterBurst();
        c.change();
        store->processEvents();
        const int before = notices;
        scheduler.advance(FolderSyncStore::quietPeriod - std::chrono::milliseconds(1));
        EXPECT_EQ(notices, before) << "announced before the folder was quiet";
        scheduler.advance(std::chrono::milliseconds(1));
        EXPECT_EQ(notices - before, c.expectedNotices);
    }
}

TEST_F(FolderSyncStoreTest, AnEndlessBurstIsStillAnnouncedWithinTheLongestBurst) {
    (void)store->data("rules.v1");
    for (int step = 0; step < 30; ++step) {
        writeOutside("rules.v1", std::to_string(step));
        store->processEvents();
        scheduler.advance(FolderSyncStore::quietPeriod / 2);
    }
    EXPECT_GE(notices, 1);
    EXPECT_LE(notices, 3);
}

TEST_F(FolderSyncStoreTest, WhatIsNotAFileOfTheFolderIsAReadFailureWithItsSentence) {
    struct Case {
        const char* name;
        std::function<void()> make;
        Code code;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"a folder", [&] { fs::create_directory(folder / "rules.v1"); }, Code::notAFile,
         "\u201Crules.v1\u201D is not a file: it is a folder"},
        {"a pipe", [&] { ::mkfifo((folder / "rules.v1").c_str(), 0600); }, Code::notAFile,
         "\u201Crules.v1\u201D is not a file"},
        {"a link out of the folder", [&] {
             writeFile(elsewhere / "secret", document);
             fs::create_symlink(elsewhere / "secret", folder / "rules.v1");
         }, Code::outsideStore, "\u201Crules.v1\u201D is a link to a file outside the sync folder"},
        {"more than 16 MiB", [&] { writeOutside("rules.v1", std::string(FolderSyncStore::maximumValueSize + 1, ' ')); },
         Code::tooLarge, "\u201Crules.v1\u201D is too large to be synchronised data"},
        {"invalid UTF-8", [&] { writeOutside("rules.v1", "{\"name\": \"\xC0\xAF\"}"); }, Code::notText,
         "\u201Crules.v1\u201D is not UTF-8 text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder / "rules.v1");
        c.make();
        const auto read = store->data("rules.v1");
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().code, c.code);
        EXPECT_EQ(read.error().text(), c.text);
    }
    // Writing through a link out of the folder is refused too, and the file it names stays.
    fs::remove(folder / "rules.v1");
    fs::create_symlink(elsewhere / "secret", folder / "rules.v1");
    const auto written = store->set(std::string_view("{}"), "rules.v1");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().code, Code::outsideStore);
    EXPECT_EQ(readFile(elsewhere / "secret"), document);
}

TEST_F(FolderSyncStoreTest, ALinkInsideTheFolderIsFollowedAndKept) {
    fs::create_directory(folder / "kept");
    writeFile(folder / "kept" / "rules.json", document);
    fs::create_symlink("kept/rules.json", folder / "rules.v1");
    EXPECT_EQ(store->data("rules.v1").value(), document);
    ASSERT_TRUE(store->set(std::string_view("{}"), "rules.v1"));
    EXPECT_TRUE(fs::is_symlink(folder / "rules.v1"));
    EXPECT_EQ(readFile(folder / "kept" / "rules.json"), "{}");
}

TEST_F(FolderSyncStoreTest, AFolderThatIsNotAWritableFolderMakesAnUnavailableStore) {
    writeFile(folder / "plain", "x");
    for (const fs::path& path : {fs::path(), fs::path("relative/folder"), folder / "missing", folder / "plain"}) {
        SCOPED_TRACE(path.string());
        FolderSyncStore unusable(path, scheduler);
        EXPECT_FALSE(unusable.isUsable());
        EXPECT_EQ(unusable.fileDescriptor(), -1);
        EXPECT_EQ(unusable.data("rules.v1").error().code, Code::unavailable);
        EXPECT_EQ(unusable.set(std::string_view("{}"), "rules.v1").error().code, Code::unavailable);
    }
}

// A folder that becomes read-only, and a disk that fills up: a write fails with the system's
// reason and the stored value stays as it was. As root, permissions do not stop a write, so the
// folder is a small file system of its own, remounted read-only.
TEST_F(FolderSyncStoreTest, AWriteThatCannotHappenFailsAndLeavesTheValue) {
    const bool root = ::geteuid() == 0;
    if (root && !privateMounts()) GTEST_SKIP() << "running as root without the right to mount";
    if (root) {
        ASSERT_EQ(::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=64k"), 0);
    }
    auto limited = open();
    ASSERT_TRUE(limited->set(std::string_view(document), "rules.v1"));

    if (root) {
        const auto full = limited->set(std::string_view(std::string(256 * 1024, ' ')), "rules.v1");
        ASSERT_FALSE(full);
        EXPECT_EQ(full.error().code, Code::writeFailed);
        EXPECT_EQ(full.error().detail, "No space left on device");
        EXPECT_EQ(limited->data("rules.v1").value(), document);
        ASSERT_EQ(::mount(nullptr, folder.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    } else {
        fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    }
    const auto refused = limited->set(std::string_view("{}"), "rules.v1");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, Code::writeFailed);
    EXPECT_EQ(refused.error().detail, root ? "Read-only file system" : "Permission denied");
    EXPECT_EQ(limited->data("rules.v1").value(), document);

    if (root) {
        ::umount(folder.path().c_str());
    } else {
        fs::permissions(folder.path(), fs::perms::owner_all);
    }
}

}  // namespace

// A folder that goes away (a disk unplugged, a sync tool making it anew) is said at once, and used
// and watched again once it is back, without a restart.
TEST_F(FolderSyncStoreTest, AFolderRemovedAndMadeAgainIsUsedAndWatchedAgain) {
    ASSERT_TRUE(store->set(document, "layouts.v1"));
    fs::remove_all(folder.path());
    EXPECT_EQ(noticesAfterBurst(), 1) << "said at once, so that the sync says where it stands";
    EXPECT_FALSE(store->isPresent());
    const auto read = store->data("layouts.v1");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().code, Code::folderGone);
    EXPECT_FALSE(store->set(document, "layouts.v1"));
    EXPECT_FALSE(fs::exists(folder.path())) << "a write does not make the folder itself";
    EXPECT_GE(store->fileDescriptor(), 0) << "still waited on";

    fs::create_directories(folder.path());
    EXPECT_EQ(noticesAfterBurst(), 1);
    EXPECT_TRUE(store->isPresent());
    EXPECT_EQ(store->data("layouts.v1").value(), std::nullopt);
    ASSERT_TRUE(store->set(document, "layouts.v1"));
    writeOutside("layouts.v1", "{}");
    EXPECT_EQ(noticesAfterBurst(), 1) << "a peer's write to the new folder is seen";
}

// Named by the bytes' SHA-1, so that every machine names the same damage alike.
TEST_F(FolderSyncStoreTest, BytesSetAsideKeepANameOfTheirOwn) {
    const auto first = store->setAside("rules.v1", "garbage");
    const auto second = store->setAside("rules.v1", "other garbage");
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    // printf garbage | sha1sum: 78c67c126575c20c6b468447355e9bd20d221202
    EXPECT_EQ(first.value().path, "rules.v1.unreadable-78c67c126575c20c");
    EXPECT_NE(first.value().path, second.value().path);
    EXPECT_EQ(readFile(folder / first.value().path), "garbage");
    EXPECT_EQ(readFile(folder / second.value().path), "other garbage");
}

// Another machine's copy lands under the very name this store is about to give its own.
class RacingFileSystem : public FaultyFileSystem {
public:
    explicit RacingFileSystem(std::string peerBytes) : peerBytes_(std::move(peerBytes)) {}
    std::error_code writeAtomically(const fs::path& path, std::string_view bytes,
                                    std::optional<FileStamp>* written = nullptr) override {
        const std::string name = path.filename().string();
        if (name.starts_with(".rules.v1.unreadable-") && raced.empty()) {
            raced = name.substr(1, name.size() - 1 - 37);  // ".NAME.UUID"
            writeFile(path.parent_path() / raced, peerBytes_);
        }
        return FaultyFileSystem::writeAtomically(path, bytes, written);
    }
    std::string raced;

private:
    std::string peerBytes_;
};

// Sets a file's own time, as a sync tool carries it from the machine that made the file.
void setTime(const fs::path& path, std::time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::vector<std::string> contentsOf(const fs::path& folder) {
    std::vector<std::string> held;
    for (const auto& entry : fs::directory_iterator(folder)) held.push_back(readFile(entry.path()));
    std::sort(held.begin(), held.end());
    return held;
}

// The same damage met again makes no second copy, whichever machine meets it, also when a peer's
// copy of it lands in the same instant; a copy never replaces another's other bytes; of many
// damages the newest five stay.
TEST_F(FolderSyncStoreTest, CopiesSetAsideAreMadeOnceEachAndTheNewestFiveStay) {
    for (const std::string peer : {"a peer's copy", "garbage"}) {
        SCOPED_TRACE(peer);
        TemporaryFolder shared;
        const auto racing = std::make_shared<RacingFileSystem>(peer);
        FolderSyncStore raced(shared.path(), scheduler, racing);
        const auto beside = raced.setAside("rules.v1", "garbage");
        ASSERT_TRUE(beside);
        EXPECT_EQ(beside.value().isNew, peer != "garbage") << "the same bytes, made by the peer first";
        EXPECT_EQ(beside.value().path == racing->raced, peer == "garbage");
        EXPECT_EQ(readFile(shared / racing->raced), peer);
        EXPECT_EQ(readFile(shared / beside.value().path), "garbage");
    }

    FolderSyncStore peer(folder.path(), scheduler);
    const auto first = store->setAside("rules.v1", "garbage");
    ASSERT_TRUE(first && first.value().isNew);
    for (FolderSyncStore* machine : {store.get(), &peer}) {
        const auto again = machine->setAside("rules.v1", "garbage");
        EXPECT_FALSE(again.value().isNew);
        EXPECT_EQ(again.value().path, first.value().path);
    }
    // Damages that arrive seconds apart, as a sync tool brings them.
    const std::time_t now = std::time(nullptr);
    std::vector<std::string> made;
    for (int n = 0; n < 7; ++n) {
        const auto copy = store->setAside("rules.v1", "damage " + std::to_string(n));
        ASSERT_TRUE(copy);
        setTime(folder / copy.value().path, now + 1 + n);
        made.push_back(readFile(folder / copy.value().path));
    }
    std::sort(made.begin(), made.end());
    EXPECT_EQ(contentsOf(folder.path()), std::vector<std::string>(made.end() - FolderSyncStore::keptCopies, made.end()));
}

// The copies' order is their files' own times, not their names (which an earlier version dated by
// the clock of whichever machine made them); a copy the user was told of stays when the same
// damage comes again, however old its time.
TEST_F(FolderSyncStoreTest, CopiesArePrunedByTheirOwnTimesAndNeverForTheSameDamage) {
    const std::time_t now = std::time(nullptr);
    struct Earlier {
        const char* name;
        std::time_t time;
    };
    const Earlier earlier[] = {
        {"rules.v1.unreadable-20991231T235959Z", 1'000'000'000},  // a machine years ahead, long ago
        {"rules.v1.unreadable-20240101T000000Z", now - 50},
        {"rules.v1.unreadable-20240101T000000Z-2", now - 40},
        {"rules.v1.unreadable-0123456789abcdef", now - 30},
        {"rules.v1.unreadable-fedcba9876543210", now - 20},
    };
    for (const Earlier& copy : earlier) {
        writeOutside(copy.name, copy.name);
        setTime(folder / copy.name, copy.time);
    }
    writeOutside("rules.v1.unreadable-notes.txt", "not a copy: never removed");

    const auto told = store->setAside("rules.v1", "damage");
    ASSERT_TRUE(told && told.value().isNew);
    EXPECT_FALSE(fs::exists(folder / earlier[0].name)) << "the oldest by its time goes";
    for (const Earlier& copy : std::vector<Earlier>(std::begin(earlier) + 1, std::end(earlier))) {
        EXPECT_TRUE(fs::exists(folder / copy.name)) << copy.name;
    }

    // A machine whose clock runs behind: its copy of that damage looks oldest of all.
    setTime(folder / told.value().path, 1'000'000'000);
    FolderSyncStore peer(folder.path(), scheduler);
    const auto again = peer.setAside("rules.v1", "damage");
    EXPECT_FALSE(again.value().isNew);
    EXPECT_EQ(readFile(folder / told.value().path), "damage") << "the copy the user was told of is kept";
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 6);
}

// A folder whose parents go too (a sync tool re-creating its tree), made again a level at a time:
// each level is watched as it comes, and the folder is used again without a restart.
TEST_F(FolderSyncStoreTest, AFolderWhoseParentsWentTooIsFoundAgainAtAnyDepth) {
    const fs::path root = folder / "root";
    fs::create_directories(root / "middle" / "sync");
    FolderSyncStore deep(root / "middle" / "sync", scheduler);
    int told = 0;
    const Subscription counting = deep.changeNotification()->subscribe([&] { ++told; });
    fs::remove_all(root);
    for (const fs::path& level : {root, root / "middle", root / "middle" / "sync"}) {
        deep.processEvents();
        EXPECT_FALSE(deep.isPresent()) << level;
        fs::create_directory(level);
    }
    deep.processEvents();
    scheduler.advance(FolderSyncStore::quietPeriod);
    EXPECT_TRUE(deep.isPresent());
    EXPECT_EQ(told, 2) << "gone, then back";
    EXPECT_TRUE(deep.set(document, "layouts.v1"));
}

// A disk that holds the folder, unmounted and mounted again: a mount makes no file event where the
// folder was, so the mount table wakes the main loop, once.
TEST_F(FolderSyncStoreTest, AFolderOnADiskMountedAgainIsFoundAgain) {
    if (::geteuid() != 0 || !privateMounts()) GTEST_SKIP() << "needs the right to mount";
    const fs::path disk = folder / "disk";
    fs::create_directory(disk);
    ASSERT_EQ(::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k"), 0);
    fs::create_directory(disk / "Sync");
    FolderSyncStore mounted(disk / "Sync", scheduler);
    ASSERT_EQ(::umount(disk.c_str()), 0);
    mounted.processEvents();
    EXPECT_FALSE(mounted.isPresent());
    ASSERT_EQ(::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k"), 0);
    fs::create_directory(disk / "Sync");
    struct pollfd ready {mounted.fileDescriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 1000), 1) << "the main loop is not woken";
    mounted.processEvents();
    EXPECT_TRUE(mounted.isPresent());
    // The watches given up on the way leave their last notices; then nothing keeps it awake.
    mounted.processEvents();
    EXPECT_TRUE(settles(mounted));
    ::umount(disk.c_str());
}

// A parent of the folder renamed away and a copy put back at the same path (as backup and sync
// tools do): the folder is followed by its path, as gone and back, whether the copy came before
// the notice was read or after; the new folder is written and watched, the old one left alone, and
// nothing is scheduled while idle.
TEST_F(FolderSyncStoreTest, AParentRenamedAwayAndACopyPutBackIsFollowedByItsPath) {
    const struct {
        const char* name;
        bool readBetween;
        int toldOnTheWay;
    } rows[] = {{"the copy put back before the notice is read", false, 0},
                {"the notice read while the folder is away", true, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TemporaryFolder top;
        const fs::path cloud = top / "Cloud";
        fs::create_directories(cloud / "Sync");
        FolderSyncStore followed(cloud / "Sync", scheduler);
        int told = 0;
        const Subscription counting = followed.changeNotification()->subscribe([&] { ++told; });
        ASSERT_TRUE(followed.set(document, "layouts.v1"));

        fs::rename(cloud, top / "Cloud.old");
        if (row.readBetween) followed.processEvents();
        EXPECT_EQ(told, row.toldOnTheWay);
        fs::copy(top / "Cloud.old", cloud, fs::copy_options::recursive);
        followed.processEvents();
        EXPECT_TRUE(followed.isPresent());
        EXPECT_EQ(told, row.toldOnTheWay) << "the copy may still be being written";
        scheduler.advance(FolderSyncStore::quietPeriod);
        EXPECT_EQ(told, row.toldOnTheWay + 1) << "said once it is back and quiet";
        EXPECT_TRUE(followed.isPresent());

        ASSERT_TRUE(followed.set(std::string_view("{}"), "layouts.v1"));
        EXPECT_EQ(readFile(cloud / "Sync" / "layouts.v1"), "{}");
        EXPECT_EQ(readFile(top / "Cloud.old" / "Sync" / "layouts.v1"), document) << "the old folder is left alone";
        writeFile(cloud / "Sync" / "layouts.v1", "a peer's write");
        followed.processEvents();
        scheduler.advance(FolderSyncStore::quietPeriod);
        EXPECT_EQ(told, row.toldOnTheWay + 2) << "a peer's write to the copy is seen";
        EXPECT_EQ(scheduler.pendingCount(), 0u);
    }
    const auto logged = log.messages("SyncFolder");
    EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [](const std::string& line) {
        return line.find("now names another folder (one put in its place, or a disk mounted over it)") != std::string::npos;
    })) << ::testing::PrintToString(logged);
}

// A write made before the rename's notice was read fails with "No such file or directory": that is
// the folder gone, said from the main loop (not inside the write), and looked for again.
TEST_F(FolderSyncStoreTest, AWriteThatFindsNoFolderIsTheFolderGone) {
    const fs::path cloud = folder / "Cloud";
    fs::create_directories(cloud / "Sync");
    FolderSyncStore followed(cloud / "Sync", scheduler);
    int told = 0;
    const Subscription counting = followed.changeNotification()->subscribe([&] { ++told; });
    fs::rename(cloud, folder / "Cloud.old");
    const auto written = followed.set(std::string_view(document), "layouts.v1");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().code, Code::folderGone);
    EXPECT_EQ(told, 0);
    scheduler.advance(std::chrono::milliseconds(0));
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(followed.isPresent());
    fs::create_directories(cloud / "Sync");
    followed.processEvents();
    scheduler.advance(FolderSyncStore::quietPeriod);
    EXPECT_TRUE(followed.isPresent());
    EXPECT_EQ(told, 2);
}

// A file system mounted over the folder after the store was made, then unmounted: each is the
// folder gone and back, said once the mount table wakes the main loop; values are read from and
// written to what the path names.
TEST_F(FolderSyncStoreTest, AFileSystemMountedOverTheFolderIsFollowed) {
    if (::geteuid() != 0 || !privateMounts()) GTEST_SKIP() << "needs the right to mount";
    const fs::path sync = folder / "Sync";
    fs::create_directory(sync);
    FolderSyncStore followed(sync, scheduler);
    int told = 0;
    const Subscription counting = followed.changeNotification()->subscribe([&] { ++told; });
    ASSERT_TRUE(followed.set(document, "layouts.v1"));
    struct pollfd ready {followed.fileDescriptor(), POLLIN, 0};

    ASSERT_EQ(::mount("tmpfs", sync.c_str(), "tmpfs", 0, "size=64k"), 0);
    EXPECT_EQ(::poll(&ready, 1, 1000), 1) << "the main loop is not woken";
    followed.processEvents();
    scheduler.advance(FolderSyncStore::quietPeriod);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(followed.data("layouts.v1").value(), std::nullopt) << "the new file system holds nothing yet";
    ASSERT_TRUE(followed.set(std::string_view("{}"), "layouts.v1"));
    EXPECT_EQ(readFile(sync / "layouts.v1"), "{}");

    ASSERT_EQ(::umount(sync.c_str()), 0);
    EXPECT_EQ(::poll(&ready, 1, 1000), 1);
    followed.processEvents();
    scheduler.advance(FolderSyncStore::quietPeriod);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(followed.data("layouts.v1").value(), document);
    // Then nothing keeps it awake.
    followed.processEvents();
    EXPECT_TRUE(settles(followed));
}
