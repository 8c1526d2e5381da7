#pragma once

// The synchronised store as a folder the user chose, which a file-sync tool keeps in step between
// machines: one file per key, named as the key ("layouts.v1"), holding the value's bytes.
//
// Policy:
// - Only what is inside the folder is read: a key file must be a regular file of at most 16 MiB
//   holding UTF-8 text; a symbolic link is followed only when it stays inside the folder. Anything
//   else is a read failure with its sentence, never a crash, a block or a read elsewhere. A file
//   that is not text comes with its bytes (notText), for its owner to set aside like any value that
//   does not decode.
// - Writes replace a key file whole (a temporary file beside it, flushed, renamed into place), so
//   a sync tool or a peer never sees half a value.
// - Outside changes are seen through inotify on the folder. The owner feeds fileDescriptor() to the
//   main loop and calls processEvents() when it is readable (as the X connection is fed). Only keys
//   this store has read or written are watched; when events stop for `quietPeriod` (at the latest
//   `longestBurst` after the first), each touched key is read again and the change notice is
//   emitted once if any differs from what this store last wrote, read or announced. The store's own
//   writes therefore never announce anything, and neither does a peer rewriting the same bytes.
// - The folder is taken as it is when the store is made; a folder that is not a writable folder
//   makes every read and write fail with `unavailable`.
// - The folder is followed by its path, not by what it was: every folder on the way to it (as
//   written and with links resolved) is watched for its entry being renamed, removed or made, and
//   the mount table for a disk mounted over any of them (a mount makes no file event). When the path
//   no longer names the folder watched (a parent renamed away and a copy put back, a file system
//   mounted over it), that is the folder gone and back at once. A write failing with "No such file
//   or directory" has the path looked at again as well. Nothing is polled.
// - A folder that goes away (a disk unplugged, a sync tool re-creating it) makes reads and writes
//   fail with `folderGone`. Until it is back, the nearest of its ancestors that exists is watched,
//   and watched again one level down as each missing level is made (or up, when that one goes too).
//   Its going is announced at once, so that the synchronisation says where it stands; its return
//   once the folder has been quiet for `quietPeriod` (a copy may still be being written), so that it
//   pulls, merges and pushes as at start.
// - Copies set aside are named by their content, KEY.unreadable-HASH (the first 16 hex digits of the
//   bytes' SHA-1), each created without replacing any other: equal bytes set aside by any machine
//   make one copy, and the store that finds it already made says it is not new. When a new copy is
//   made, the copies of that key beyond `keptCopies` go, oldest first by each file's own time,
//   never the one just made. Copies named by an earlier version's date are kept and pruned alike.

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Platform/BurstTimer.h"
#include "Platform/KeyValueSyncStore.h"
#include "Platform/Logger.h"
#include "Platform/Scheduler.h"
#include "Platform/Signal.h"
#include "TessaryCore/DocumentFileSystem.h"

namespace tessary {

class FolderSyncStore final : public KeyValueSyncStore {
public:
    static constexpr std::size_t maximumValueSize = 16 * 1024 * 1024;
    static constexpr std::chrono::milliseconds quietPeriod{200};
    static constexpr std::chrono::milliseconds longestBurst{2000};
    static constexpr std::size_t keptCopies = 5;

    // True for an absolute path naming a folder (links followed) that this process may write in.
    static bool isWritableFolder(const std::filesystem::path& folder);

    // Starts watching the folder when it is a writable folder. `files` does the atomic writes.
    FolderSyncStore(std::optional<std::filesystem::path> folder, Scheduler& scheduler,
                    std::shared_ptr<DocumentFileSystem> files = DocumentFileSystem::standard());
    ~FolderSyncStore() override;
    FolderSyncStore(const FolderSyncStore&) = delete;
    FolderSyncStore& operator=(const FolderSyncStore&) = delete;

    // Whether the folder was a writable folder when the store was made.
    bool isUsable() const { return usable_; }
    const std::filesystem::path& folder() const { return folder_; }

    Expected<std::optional<std::string>, SyncStoreError> data(std::string_view key) override;
    Expected<void, SyncStoreError> set(std::optional<std::string_view> bytes, std::string_view key) override;
    // Flushes the folder's entries to the disk.
    bool synchronize() override;
    Signal<>* changeNotification() override { return &changed_; }

    Expected<SetAsideCopy, SyncStoreError> setAside(std::string_view key, std::string_view bytes) override;
    // False while the folder is gone (see above).
    bool isPresent() const { return present_; }

    // The descriptor to wait on (an epoll set holding the inotify descriptor and, while the folder
    // is gone, the mount table); -1 when nothing is watched.
    int fileDescriptor() const { return watching_ ? poll_ : -1; }
    // Takes every pending event without blocking; false once watching has ended, after which the
    // descriptor need not be waited on.
    bool processEvents();

private:
    // What a key file held when this store last looked: its bytes, or nothing for no file; a key
    // whose file could not be read is known as unreadable (outer nothing).
    using Known = std::optional<std::optional<std::string>>;

    Expected<std::optional<std::string>, SyncStoreError> read(std::string_view key) const;
    // The file a key names, with a link inside the folder resolved; an error for a link leading out.
    Expected<std::filesystem::path, SyncStoreError> resolve(std::string_view key) const;
    SyncStoreError error(SyncStoreError::Code code, std::string_view key, std::string detail = {}) const;
    void remember(std::string_view key, Known known) { known_.insert_or_assign(std::string(key), std::move(known)); }
    void burstEnded();
    void stopWatching();
    // The folder went away (`how` says how, for the log): watch for its return.
    void folderLost(std::string_view how);
    // Watches the folder again when it is a writable folder once more; true when it is.
    bool folderReturned();
    bool watchFolder();
    // Watches every folder on the way to the folder, for its entry on that way.
    void watchPath();
    void unwatchFolder();
    // Whether the path still names the folder watched, as it was found.
    bool pathNamesFolder() const;
    // While the folder is there: when its path names another folder or none, it is lost (and
    // perhaps back at once); true when it was.
    bool checkPath();
    // While the folder is gone: true when it is back (its return to be announced); else watches the
    // nearest ancestor that exists.
    bool lookForFolder();
    void followMounts();
    // Takes what the epoll set holds ready, so that a mount table notice does not wake the loop again.
    void takeMountNotices();
    // A write found no folder: the path is looked at from the main loop (not inside the write, whose
    // caller would hear of a change in the middle of its own work), and the change is announced
    // either way, so that what failed is tried again.
    void lookAgainSoon();
    // The name of a copy already holding these bytes, if any.
    std::optional<std::string> copyHolding(std::string_view key, std::string_view bytes) const;
    // Makes `bytes` the file `name` in the folder without replacing anything there; false on EEXIST.
    Expected<bool, SyncStoreError> createCopy(std::string_view key, const std::string& name, std::string_view bytes);
    struct Copy {
        struct timespec changed;
        std::filesystem::path path;
    };
    // The copies of a key set aside (by this version's naming or an earlier one's), oldest first.
    std::vector<Copy> copies(std::string_view key) const;
    // Removes the oldest copies beyond keptCopies, never the one just made.
    void pruneCopies(std::string_view key, const std::string& made);

    std::filesystem::path folder_;
    std::filesystem::path canonicalFolder_;
    Scheduler& scheduler_;
    std::shared_ptr<DocumentFileSystem> files_;
    bool usable_ = false;
    int watch_ = -1;
    int poll_ = -1;
    // /proc/self/mountinfo, open while watching; -1 otherwise.
    int mounts_ = -1;
    bool watching_ = false;
    bool present_ = true;
    // The watch on the folder, or on its nearest existing ancestor while the folder is gone; -1 for none.
    int folderWatch_ = -1;
    int ancestorWatch_ = -1;
    // While the folder is there: the watches on the folders on the way to it.
    std::vector<int> pathWatches_;
    // What the folder was when it was found: its device and inode.
    dev_t folderDevice_ = 0;
    ino_t folderInode_ = 0;
    ScheduledTask lookAgain_;
    // Whether the folder came back since the last burst ended: announced when the burst ends.
    bool returned_ = false;
    // Whether the last failure to watch an ancestor was logged (said once while the folder is gone).
    bool ancestorFailureLogged_ = false;
    std::map<std::string, Known, std::less<>> known_;
    std::set<std::string> touched_;
    BurstTimer burst_{scheduler_, quietPeriod, longestBurst, [this] { burstEnded(); }};
    Signal<> changed_;
    Logger log_{"SyncFolder"};
};

}  // namespace tessary
