#include "Platform/Linux/FolderSyncStore.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

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
    watching_ = true;
    if (watch_ < 0 || !watchFolder()) {
        log_.error("Cannot watch the sync folder " + folder_.string() + ": " + errnoText(errno) +
                   "; changes from other machines are seen only when synchronising by hand");
        stopWatching();
    }
}

bool FolderSyncStore::watchFolder() {
    const uint32_t mask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_DELETE_SELF |
                          IN_MOVE_SELF | IN_ONLYDIR;
    folderWatch_ = ::inotify_add_watch(watch_, canonicalFolder_.c_str(), mask);
    return folderWatch_ >= 0;
}

FolderSyncStore::~FolderSyncStore() {
    scheduler_.cancel(burstTask_);
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
    if (!isValidUTF8(bytes)) return unexpected(error(Code::notText, key));
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
        return unexpected(error(Code::writeFailed, key, failure.message()));
    }
    remember(key, Known(std::optional<std::string>(std::string(*bytes))));
    return {};
}

Expected<std::string, SyncStoreError> FolderSyncStore::setAside(std::string_view key, std::string_view bytes) {
    using Code = SyncStoreError::Code;
    if (!usable_) return unexpected(error(Code::unavailable, key));
    if (!present_) return unexpected(error(Code::folderGone, key, folder_.string()));
    if (!isKeyName(key)) return unexpected(error(Code::writeFailed, key, "not a file name"));
    // Dated to the second, so copies sort by age; a clash (two in one second) gets a number.
    std::tm utc{};
    const std::time_t seconds = std::time(nullptr);
    ::gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::string name = std::string(key) + ".unreadable-" + stamp;
    for (int clash = 2; ::access((canonicalFolder_ / name).c_str(), F_OK) == 0; ++clash) {
        if (clash > 100) return unexpected(error(Code::writeFailed, key, "too many copies set aside"));
        name = std::string(key) + ".unreadable-" + stamp + "-" + std::to_string(clash);
    }
    if (const auto failure = files_->writeAtomically(canonicalFolder_ / name, bytes)) {
        return unexpected(error(Code::writeFailed, key, failure.message()));
    }
    return name;
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
    bool returned = false;
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
            if (event->wd == parentWatch_ && parentWatch_ >= 0) {
                if (event->len > 0 && event->name == folder_.filename().string() && (event->mask & IN_ISDIR)) {
                    returned = true;
                }
            } else if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: every watched key may have changed, and the folder may be back.
                for (const auto& [key, known] : known_) touched_.insert(key);
                if (!present_) returned = true;
            } else if (event->wd != folderWatch_ || folderWatch_ < 0) {
                // A watch given up earlier (the removed folder's last notices).
            } else if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
                ended = true;
            } else if (event->len > 0) {
                const std::string_view name(event->name);
                if (known_.find(name) != known_.end()) touched_.emplace(name);
            }
        }
    }
    if (!touched_.empty()) {
        const auto now = scheduler_.now();
        if (!burstStart_) burstStart_ = now;
        const auto due = std::min(now + std::chrono::duration_cast<Scheduler::Duration>(quietPeriod),
                                  *burstStart_ + std::chrono::duration_cast<Scheduler::Duration>(longestBurst));
        scheduler_.cancel(burstTask_);
        burstTask_ = scheduler_.schedule(due - now, [this] { burstEnded(); });
    }
    if (ended) folderLost();
    if (returned && !present_ && folderReturned()) changed_.emit();
    return watching_;
}

void FolderSyncStore::folderLost() {
    // A folder moved away is still followed by its watch: it is no longer the one chosen.
    ::inotify_rm_watch(watch_, folderWatch_);
    folderWatch_ = -1;
    present_ = false;
    scheduler_.cancel(burstTask_);
    burstTask_ = {};
    burstStart_.reset();
    touched_.clear();
    parentWatch_ = ::inotify_add_watch(watch_, folder_.parent_path().c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
    if (parentWatch_ < 0) {
        log_.error("The sync folder " + folder_.string() + " was removed or moved away, and its parent cannot be " +
                   "watched (" + errnoText(errno) + "); changes from other machines are no longer seen");
        stopWatching();
        changed_.emit();
        return;
    }
    log_.error("The sync folder " + folder_.string() +
               " was removed or moved away; synchronising resumes when it is back");
    // It may have come back before its parent was watched.
    folderReturned();
    changed_.emit();
}

bool FolderSyncStore::folderReturned() {
    if (present_ || !isWritableFolder(folder_)) return false;
    std::error_code ec;
    const fs::path canonical = fs::canonical(folder_, ec);
    if (ec) return false;
    canonicalFolder_ = canonical;
    if (!watchFolder()) return false;
    ::inotify_rm_watch(watch_, parentWatch_);
    parentWatch_ = -1;
    present_ = true;
    log_.notice("The sync folder " + folder_.string() + " is back; synchronising again");
    return true;
}

void FolderSyncStore::burstEnded() {
    burstTask_ = {};
    burstStart_.reset();
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
    if (changed) changed_.emit();
}

void FolderSyncStore::stopWatching() {
    // The descriptor stays open until the store goes, so that a main loop still holding it never
    // waits on a number the process has handed out again.
    watching_ = false;
}

}  // namespace tessary
