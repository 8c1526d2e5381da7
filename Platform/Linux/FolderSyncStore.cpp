#include "Platform/Linux/FolderSyncStore.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include "TessaryCore/SHA1.h"
#include "TessaryCore/UUID.h"
#include "TessaryCore/UnicodeText.h"

namespace tessary {

namespace fs = std::filesystem;

namespace {

std::string errnoText(int code) { return std::strerror(code); }

// A key is one plain, visible file name: hidden names are the temporaries of atomic writes.
bool isKeyName(std::string_view key) {
    return !key.empty() && key.front() != '.' && key.find('/') == std::string_view::npos &&
           key.find('\0') == std::string_view::npos;
}

bool isInside(const fs::path& path, const fs::path& folder) {
    const auto [end, ignored] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end() && path != folder;
}

bool isFolder(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Whether what follows "KEY.unreadable-" names a copy set aside: 16 hex digits of its content, or
// (an earlier version's) its date, YYYYMMDDTHHMMSSZ; either perhaps with "-N" after a clash.
bool isCopySuffix(std::string_view rest) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (const auto dash = rest.find('-'); dash != std::string_view::npos) {
        const std::string_view number = rest.substr(dash + 1);
        if (number.empty() || number.size() > 3 || !std::all_of(number.begin(), number.end(), isDigit)) return false;
        rest = rest.substr(0, dash);
    }
    if (rest.size() != 16) return false;
    const bool hex = std::all_of(rest.begin(), rest.end(), [&](char c) { return isDigit(c) || (c >= 'a' && c <= 'f'); });
    const bool dated = rest[8] == 'T' && rest.back() == 'Z' && std::all_of(rest.begin(), rest.begin() + 8, isDigit) &&
                       std::all_of(rest.begin() + 9, rest.end() - 1, isDigit);
    return hex || dated;
}

// The part of a copy's name that its bytes decide, so that equal bytes get one name everywhere.
std::string contentName(std::string_view bytes) {
    const auto digest = sha1(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    static const char* const hex = "0123456789abcdef";
    std::string name;
    for (std::size_t i = 0; i < 8; ++i) {
        name.push_back(hex[digest[i] >> 4]);
        name.push_back(hex[digest[i] & 0x0F]);
    }
    return name;
}

// The path without a trailing separator, so that its parent is the folder that holds it.
fs::path normalized(const fs::path& path) {
    fs::path normal = path.lexically_normal();
    return normal.has_filename() || !normal.has_relative_path() ? normal : normal.parent_path();
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

bool FolderSyncStore::isWritableFolder(const fs::path& folder) {
    if (folder.empty() || !folder.is_absolute()) return false;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    // access() also answers EROFS for a read-only mount, which matters when running as root.
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

FolderSyncStore::FolderSyncStore(std::optional<fs::path> folder, Scheduler& scheduler,
                                 std::shared_ptr<DocumentFileSystem> files)
    : folder_(folder.value_or(fs::path())),
      scheduler_(scheduler),
      files_(files ? std::move(files) : DocumentFileSystem::standard()) {
    if (!isWritableFolder(folder_)) return;
    std::error_code ec;
    canonicalFolder_ = fs::canonical(folder_, ec);
    if (ec) return;
    usable_ = true;

    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    poll_ = ::epoll_create1(EPOLL_CLOEXEC);
    watching_ = true;
    struct epoll_event interest {};
    interest.events = EPOLLIN;
    interest.data.fd = watch_;
    if (watch_ < 0 || poll_ < 0 || ::epoll_ctl(poll_, EPOLL_CTL_ADD, watch_, &interest) != 0 || !watchFolder()) {
        log_.error("Cannot watch the sync folder " + folder_.string() + ": " + errnoText(errno) +
                   "; changes from other machines are seen only when synchronising by hand");
        stopWatching();
        return;
    }
    followMounts();
}

bool FolderSyncStore::watchFolder() {
    const uint32_t mask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_DELETE_SELF |
                          IN_MOVE_SELF | IN_ONLYDIR;
    folderWatch_ = ::inotify_add_watch(watch_, canonicalFolder_.c_str(), mask);
    if (folderWatch_ < 0) return false;
    struct stat info {};
    if (::stat(canonicalFolder_.c_str(), &info) != 0) {
        unwatchFolder();
        return false;
    }
    folderDevice_ = info.st_dev;
    folderInode_ = info.st_ino;
    watchPath();
    return true;
}

void FolderSyncStore::watchPath() {
    // Only the entries on the way matter; the events of others are few (a home's own files) and
    // cost a stat each.
    const uint32_t mask = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    std::set<fs::path> levels;
    for (const fs::path& path : {normalized(folder_), canonicalFolder_}) {
        for (fs::path level = path.parent_path(); !level.empty(); level = level.parent_path()) {
            levels.insert(level);
            if (!level.has_relative_path()) break;
        }
    }
    for (const fs::path& level : levels) {
        // A link on the way that leads back to the folder itself must not take over its watch.
        struct stat info {};
        if (::stat(level.c_str(), &info) != 0 || (info.st_dev == folderDevice_ && info.st_ino == folderInode_)) continue;
        // A level this user may not read is not watched: its rename is seen when a write fails.
        if (const int watch = ::inotify_add_watch(watch_, level.c_str(), mask); watch >= 0) pathWatches_.push_back(watch);
    }
}

void FolderSyncStore::unwatchFolder() {
    if (folderWatch_ >= 0) ::inotify_rm_watch(watch_, folderWatch_);
    folderWatch_ = -1;
    for (const int watch : pathWatches_) ::inotify_rm_watch(watch_, watch);
    pathWatches_.clear();
}

bool FolderSyncStore::pathNamesFolder() const {
    struct stat info {};
    if (::stat(folder_.c_str(), &info) != 0 || info.st_dev != folderDevice_ || info.st_ino != folderInode_) return false;
    std::error_code ec;
    const fs::path canonical = fs::canonical(folder_, ec);
    return !ec && canonical == canonicalFolder_;
}

bool FolderSyncStore::checkPath() {
    if (!present_ || pathNamesFolder()) return false;
    folderLost(isFolder(folder_) ? " now names another folder (one put in its place, or a disk mounted over it)"
                                 : " was removed or moved away");
    return true;
}

void FolderSyncStore::lookAgainSoon() {
    if (lookAgain_) return;
    lookAgain_ = scheduler_.schedule(std::chrono::milliseconds(0), [this] {
        lookAgain_ = {};
        if (!checkPath()) changed_.emit();
    });
}

FolderSyncStore::~FolderSyncStore() {
    scheduler_.cancel(lookAgain_);
    if (mounts_ >= 0) ::close(mounts_);
    if (poll_ >= 0) ::close(poll_);
    if (watch_ >= 0) ::close(watch_);
}

SyncStoreError FolderSyncStore::error(SyncStoreError::Code code, std::string_view key, std::string detail) const {
    return SyncStoreError{code, std::string(key), std::move(detail)};
}

Expected<fs::path, SyncStoreError> FolderSyncStore::resolve(std::string_view key) const {
    const fs::path path = canonicalFolder_ / std::string(key);
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        return unexpected(error(SyncStoreError::Code::readFailed, key, errnoText(errno)));
    }
    if (!isInside(fs::path(resolved), canonicalFolder_)) {
        return unexpected(error(SyncStoreError::Code::outsideStore, key));
    }
    return fs::path(resolved);
}

Expected<std::optional<std::string>, SyncStoreError> FolderSyncStore::read(std::string_view key) const {
    using Code = SyncStoreError::Code;
    if (!usable_) return unexpected(error(Code::unavailable, key));
    if (!present_) return unexpected(error(Code::folderGone, key, folder_.string()));
    if (!isKeyName(key)) return unexpected(error(Code::readFailed, key, "not a file name"));
    const auto path = resolve(key);
    if (!path) return unexpected(path.error());

    // No blocking on a pipe, no controlling terminal, and no link swapped in after resolve().
    Descriptor fd(::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (fd.get() < 0) {
        if (errno == ENOENT) return std::optional<std::string>();
        if (errno == ELOOP) return unexpected(error(Code::outsideStore, key));
        return unexpected(error(Code::readFailed, key, errnoText(errno)));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return unexpected(error(Code::readFailed, key, errnoText(errno)));
    if (S_ISDIR(info.st_mode)) return unexpected(error(Code::notAFile, key, "it is a folder"));
    if (!S_ISREG(info.st_mode)) return unexpected(error(Code::notAFile, key));
    if (static_cast<std::uintmax_t>(info.st_size) > maximumValueSize) return unexpected(error(Code::tooLarge, key));

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            return unexpected(error(Code::readFailed, key, errnoText(errno)));
        }
        if (count == 0) break;
        // The file may grow while it is read.
        if (bytes.size() + static_cast<std::size_t>(count) > maximumValueSize) {
            return unexpected(error(Code::tooLarge, key));
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    if (!isValidUTF8(bytes)) {
        SyncStoreError notText = error(Code::notText, key);
        notText.bytes = std::move(bytes);
        return unexpected(std::move(notText));
    }
    return std::optional<std::string>(std::move(bytes));
}

Expected<std::optional<std::string>, SyncStoreError> FolderSyncStore::data(std::string_view key) {
    auto result = read(key);
    if (usable_ && isKeyName(key)) remember(key, result ? Known(result.value()) : Known());
    return result;
}

Expected<void, SyncStoreError> FolderSyncStore::set(std::optional<std::string_view> bytes, std::string_view key) {
    using Code = SyncStoreError::Code;
    if (!usable_) return unexpected(error(Code::unavailable, key));
    if (!present_) return unexpected(error(Code::folderGone, key, folder_.string()));
    if (!isKeyName(key)) return unexpected(error(Code::writeFailed, key, "not a file name"));
    if (!bytes) {
        const fs::path path = canonicalFolder_ / std::string(key);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            return unexpected(error(Code::writeFailed, key, errnoText(errno)));
        }
        remember(key, Known(std::optional<std::string>()));
        return {};
    }
    // A link leading out of the folder is left alone rather than written through or replaced.
    const auto path = resolve(key);
    if (!path) return unexpected(path.error());
    if (const auto failure = files_->writeAtomically(*path, *bytes)) {
        // A parent renamed away whose notice has not come yet: the folder is gone, not the disk full.
        if (failure == std::errc::no_such_file_or_directory && watching_ && !pathNamesFolder()) {
            lookAgainSoon();
            return unexpected(error(Code::folderGone, key, folder_.string()));
        }
        return unexpected(error(Code::writeFailed, key, failure.message()));
    }
    remember(key, Known(std::optional<std::string>(std::string(*bytes))));
    return {};
}

Expected<SetAsideCopy, SyncStoreError> FolderSyncStore::setAside(std::string_view key, std::string_view bytes) {
    using Code = SyncStoreError::Code;
    if (!usable_) return unexpected(error(Code::unavailable, key));
    if (!present_) return unexpected(error(Code::folderGone, key, folder_.string()));
    if (!isKeyName(key)) return unexpected(error(Code::writeFailed, key, "not a file name"));
    // The same damage met again (a sync tool restoring an old file, a peer that set it aside first):
    // nothing is made, told or pruned.
    if (auto kept = copyHolding(key, bytes)) return SetAsideCopy{std::move(*kept), false};
    // Named by the bytes, so that a peer setting the same damage aside at the same moment meets this
    // copy's name; a number is added only for other bytes under that name.
    const std::string base = std::string(key) + ".unreadable-" + contentName(bytes);
    for (int clash = 1; clash < 100; ++clash) {
        const std::string name = clash == 1 ? base : base + "-" + std::to_string(clash);
        auto made = createCopy(key, name, bytes);
        if (!made) return unexpected(made.error());
        if (made.value()) {
            pruneCopies(key, name);
            return SetAsideCopy{name, true};
        }
        const auto held = files_->readFile(canonicalFolder_ / name);
        if (held && held.value() && *held.value() == bytes) return SetAsideCopy{name, false};
    }
    return unexpected(error(Code::writeFailed, key, "too many copies set aside"));
}

std::vector<FolderSyncStore::Copy> FolderSyncStore::copies(std::string_view key) const {
    const std::string prefix = std::string(key) + ".unreadable-";
    std::vector<Copy> found;
    std::error_code failure;
    for (const auto& entry : fs::directory_iterator(canonicalFolder_, failure)) {
        const std::string name = entry.path().filename().string();
        struct stat info {};
        if (!name.starts_with(prefix) || !isCopySuffix(std::string_view(name).substr(prefix.size())) ||
            ::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        found.push_back(Copy{info.st_mtim, entry.path()});
    }
    // By each file's own time, which a sync tool carries with it: the names say nothing of age.
    std::sort(found.begin(), found.end(), [](const Copy& a, const Copy& b) {
        if (a.changed.tv_sec != b.changed.tv_sec) return a.changed.tv_sec < b.changed.tv_sec;
        if (a.changed.tv_nsec != b.changed.tv_nsec) return a.changed.tv_nsec < b.changed.tv_nsec;
        return a.path < b.path;
    });
    return found;
}

std::optional<std::string> FolderSyncStore::copyHolding(std::string_view key, std::string_view bytes) const {
    const std::string prefix = std::string(key) + ".unreadable-";
    std::error_code failure;
    for (const auto& entry : fs::directory_iterator(canonicalFolder_, failure)) {
        const std::string name = entry.path().filename().string();
        struct stat info {};
        if (!name.starts_with(prefix) || ::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            static_cast<std::uintmax_t>(info.st_size) != bytes.size()) {
            continue;
        }
        const auto held = files_->readFile(entry.path());
        if (held && held.value() && *held.value() == bytes) return name;
    }
    return std::nullopt;
}

Expected<bool, SyncStoreError> FolderSyncStore::createCopy(std::string_view key, const std::string& name,
                                                           std::string_view bytes) {
    // Written whole under a hidden name of this store's own, then given its name only where that
    // name is free: a peer's copy made in the same second is never replaced.
    const fs::path staging = canonicalFolder_ / ("." + name + "." + UUID::random().uuidString());
    const fs::path target = canonicalFolder_ / name;
    if (const auto failure = files_->writeAtomically(staging, bytes)) {
        return unexpected(error(SyncStoreError::Code::writeFailed, key, failure.message()));
    }
    int result = ::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        // A file system without the exclusive rename: a hard link is exclusive too.
        result = ::link(staging.c_str(), target.c_str());
        if (result == 0) ::unlink(staging.c_str());
    }
    const int cause = errno;
    if (result == 0) return true;
    ::unlink(staging.c_str());
    if (cause == EEXIST) return false;
    return unexpected(error(SyncStoreError::Code::writeFailed, key, errnoText(cause)));
}

void FolderSyncStore::pruneCopies(std::string_view key, const std::string& made) {
    // The copy just made stays whatever the others' times say (a peer whose clock runs ahead may
    // have made copies dated later): it is the only trace of what was just replaced.
    auto others = copies(key);
    std::erase_if(others, [&](const Copy& copy) { return copy.path.filename() == made; });
    for (std::size_t i = 0; i + keptCopies < others.size() + 1; ++i) {
        if (::unlink(others[i].path.c_str()) == 0) {
            log_.notice("Removed " + others[i].path.filename().string() + " from the sync folder: the newest " +
                        std::to_string(keptCopies) + " copies of " + std::string(key) + " set aside are kept");
        }
    }
}

bool FolderSyncStore::synchronize() {
    if (!usable_ || !present_) return false;
    Descriptor fd(::open(canonicalFolder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

bool FolderSyncStore::processEvents() {
    if (!watching_) return false;
    alignas(struct inotify_event) char buffer[16384];
    bool ended = false;
    for (;;) {
        const ssize_t length = ::read(watch_, buffer, sizeof buffer);
        if (length < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN) ended = true;
            break;
        }
        if (length == 0) break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: every watched key may have changed.
                for (const auto& [key, known] : known_) touched_.insert(key);
            } else if (event->wd != folderWatch_ || folderWatch_ < 0) {
                // An ancestor's change (looked at below), or a watch given up earlier (the removed
                // folder's last notices).
            } else if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
                ended = true;
            } else if (event->len > 0) {
                const std::string_view name(event->name);
                if (known_.find(name) != known_.end()) touched_.emplace(name);
            }
        }
    }
    if (!touched_.empty()) burst_.notice();
    takeMountNotices();
    // Whatever else woke us (a level on the way renamed or made, a disk mounted or unmounted): a
    // few stat calls tell whether the path still names the folder, or names it again.
    if (ended) {
        folderLost(" was removed or moved away");
    } else if (present_) {
        checkPath();
    } else {
        lookForFolder();
    }
    return watching_;
}

void FolderSyncStore::folderLost(std::string_view how) {
    // A folder moved away is still followed by its watch: it is no longer the one chosen.
    unwatchFolder();
    present_ = false;
    ancestorFailureLogged_ = false;
    burst_.cancel();
    touched_.clear();
    returned_ = false;
    log_.error("The sync folder " + folder_.string() + std::string(how) + "; synchronising resumes when it is back");
    // It may be back already (a copy put in its place, a disk mounted over it), and is then
    // announced as any return is.
    if (!lookForFolder()) changed_.emit();
}

bool FolderSyncStore::lookForFolder() {
    const fs::path target = normalized(folder_);
    // Each round watches one level further down, as far as levels exist; a level made between a
    // look and its watch has no event, so it is looked at once more.
    for (int round = 0; round < 256; ++round) {
        if (folderReturned()) return true;
        fs::path nearest = target.parent_path();
        while (!isFolder(nearest) && nearest.has_relative_path()) nearest = nearest.parent_path();
        const uint32_t mask = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
        const int watch = ::inotify_add_watch(watch_, nearest.c_str(), mask);
        if (watch < 0) {
            // The level went between the look and the watch (a tree being removed from the top
            // down): the next round looks from higher up.
            if (errno == ENOENT || errno == ENOTDIR) continue;
            if (!ancestorFailureLogged_) {
                log_.error("Cannot watch " + nearest.string() + " for the sync folder's return (" + errnoText(errno) +
                           "); it is looked for again when a disk is mounted");
                ancestorFailureLogged_ = true;
            }
            return false;
        }
        if (watch != ancestorWatch_) {
            if (ancestorWatch_ >= 0) ::inotify_rm_watch(watch_, ancestorWatch_);
            ancestorWatch_ = watch;
        }
        const fs::path below = target.lexically_relative(nearest);
        if (below.empty() || !isFolder(nearest / *below.begin())) return false;
    }
    return false;
}

void FolderSyncStore::followMounts() {
    // The mount table reports every mount and unmount as a priority event; nothing else is read.
    mounts_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (mounts_ < 0) return;
    struct epoll_event interest {};
    interest.events = EPOLLPRI;
    interest.data.fd = mounts_;
    if (::epoll_ctl(poll_, EPOLL_CTL_ADD, mounts_, &interest) != 0) {
        ::close(mounts_);
        mounts_ = -1;
    }
}

void FolderSyncStore::takeMountNotices() {
    if (mounts_ < 0) return;
    // Polling the set may already have taken the mount table's notice; taking the events here
    // leaves nothing ready behind it, so the main loop does not wake again for it.
    struct epoll_event events[4];
    ::epoll_wait(poll_, events, 4, 0);
}

bool FolderSyncStore::folderReturned() {
    if (present_ || !isWritableFolder(folder_)) return false;
    std::error_code ec;
    const fs::path canonical = fs::canonical(folder_, ec);
    if (ec) return false;
    canonicalFolder_ = canonical;
    // Given up first: the ancestor may be on the folder's way, where a watch of the same folder
    // would only change this one's events.
    if (ancestorWatch_ >= 0) ::inotify_rm_watch(watch_, ancestorWatch_);
    ancestorWatch_ = -1;
    if (!watchFolder()) return false;
    present_ = true;
    log_.notice("The sync folder " + folder_.string() + " is back; synchronising again");
    // Announced once the folder is quiet: a copy being put back, or a tool making the folder anew,
    // may still be writing its files, and a half-written one must not be read for damaged.
    returned_ = true;
    burst_.notice();
    return true;
}

void FolderSyncStore::burstEnded() {
    bool changed = false;
    for (const std::string& key : std::exchange(touched_, {})) {
        auto now = read(key);
        Known current = now ? Known(std::move(now.value())) : Known();
        auto& known = known_[key];
        if (current != known) {
            known = std::move(current);
            changed = true;
        }
    }
    if (changed || std::exchange(returned_, false)) changed_.emit();
}

void FolderSyncStore::stopWatching() {
    // The descriptor stays open until the store goes, so that a main loop still holding it never
    // waits on a number the process has handed out again.
    watching_ = false;
}

}  // namespace tessary
