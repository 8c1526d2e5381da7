#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

TEST_F(FolderSyncStoreTest, BytesSetAsideKeepANameOfTheirOwn) {
    const auto first = store->setAside("rules.v1", "garbage");
    const auto second = store->setAside("rules.v1", "other garbage");
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_TRUE(first.value().path.string().starts_with("rules.v1.unreadable-20")) << first.value().path;
    EXPECT_NE(first.value().path, second.value().path);
    EXPECT_EQ(readFile(folder / first.value().path), "garbage");
    EXPECT_EQ(readFile(folder / second.value().path), "other garbage");
}

// Another machine's copy lands under the very name this store is about to give its own.
class RacingFileSystem : public FaultyFileSystem {
public:
    std::error_code writeAtomically(const fs::path& path, std::string_view bytes,
                                    std::optional<FileStamp>* written = nullptr) override {
        const std::string name = path.filename().string();
        if (name.starts_with(".rules.v1.unreadable-") && raced.empty()) {
            raced = name.substr(1, name.size() - 1 - 37);  // ".NAME.UUID"
            writeFile(path.parent_path() / raced, "a peer's copy");
        }
        return FaultyFileSystem::writeAtomically(path, bytes, written);
    }
    std::string raced;
};

// The same damage met again makes no second copy; a copy never replaces another, a peer's made
// meanwhile included; of many damages the newest five stay.
TEST_F(FolderSyncStoreTest, CopiesSetAsideAreMadeOnceEachAndTheNewestFiveStay) {
    const auto racing = std::make_shared<RacingFileSystem>();
    FolderSyncStore raced(elsewhere.path(), scheduler, racing);
    const auto beside = raced.setAside("rules.v1", "garbage");
    ASSERT_TRUE(beside);
    EXPECT_EQ(readFile(elsewhere / racing->raced), "a peer's copy");
    EXPECT_EQ(readFile(elsewhere / beside.value().path), "garbage");

    const auto first = store->setAside("rules.v1", "garbage");
    ASSERT_TRUE(first && first.value().isNew);
    const auto again = store->setAside("rules.v1", "garbage");
    EXPECT_FALSE(again.value().isNew);
    EXPECT_EQ(again.value().path, first.value().path);
    std::vector<std::string> made;
    for (int n = 0; n < 7; ++n) made.push_back(readFile(folder / store->setAside("rules.v1", "damage " + std::to_string(n)).value().path));
    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder.path())) kept.push_back(readFile(entry.path()));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, std::vector<std::string>(made.end() - FolderSyncStore::keptCopies, made.end()));
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
    EXPECT_EQ(::poll(&ready, 1, 0), 0);
    ::umount(disk.c_str());
}
