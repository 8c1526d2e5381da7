#include "Platform/Linux/FolderWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tessary {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t folderEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr uint32_t parentEvents = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;

// Every file in the folder: what a folder that was missing holds once it is there.
std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (!name.starts_with('.')) names.insert(std::move(name));
    }
    return names;
}

}  // namespace

FolderWatcher::FolderWatcher(std::vector<fs::path> folders, Scheduler& scheduler, Handler handler)
    : handler_(std::move(handler)), burst_(scheduler, quietPeriod, longestBurst, [this] { burstEnded(); }) {
    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ < 0) {
        log_.error(std::string("Cannot watch the program's folders: ") + std::strerror(errno) +
                   "; what another instance writes there is merged only when this one saves");
        return;
    }
    for (fs::path& path : folders) folders_.push_back(Folder{std::move(path)});
    for (Folder& folder : folders_) arm(folder);
}

FolderWatcher::~FolderWatcher() {
    if (watch_ >= 0) ::close(watch_);
}

void FolderWatcher::arm(Folder& folder) {
    if (folder.watch >= 0) return;
    folder.watch = ::inotify_add_watch(watch_, folder.path.c_str(), folderEvents);
    if (folder.watch >= 0) {
        // A parent watch two missing folders share stays while the other still waits on it.
        const int parent = std::exchange(folder.parentWatch, -1);
        const bool shared = std::any_of(folders_.begin(), folders_.end(),
                                        [&](const Folder& other) { return other.parentWatch == parent; });
        if (parent >= 0 && !shared) ::inotify_rm_watch(watch_, parent);
        return;
    }
    if (folder.parentWatch >= 0) return;
    folder.parentWatch = ::inotify_add_watch(watch_, folder.path.parent_path().c_str(), parentEvents);
    if (folder.parentWatch < 0) {
        log_.debug("Cannot watch " + folder.path.string() + " nor its parent: " + std::strerror(errno));
    }
}

bool FolderWatcher::processEvents() {
    if (watch_ < 0) return false;
    alignas(struct inotify_event) char buffer[16384];
    std::vector<Folder*> lost;
    std::vector<Folder*> returned;
    for (;;) {
        const ssize_t length = ::read(watch_, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR) continue;
        if (length < 0 && errno != EAGAIN) return false;
        if (length <= 0) break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
            const std::string name = event->len > 0 ? std::string(event->name) : std::string();
            for (Folder& folder : folders_) {
                if (event->mask & IN_Q_OVERFLOW) {
                    // Events were lost: any file may have changed.
                    if (folder.watch >= 0) touched_[folder.path].merge(filesIn(folder.path));
                } else if (event->wd == folder.watch) {
                    if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                        lost.push_back(&folder);
                    } else if (!name.empty() && name.front() != '.') {
                        touched_[folder.path].insert(name);
                    }
                } else if (event->wd == folder.parentWatch && name == folder.path.filename().string()) {
                    returned.push_back(&folder);
                }
            }
        }
    }
    for (Folder* folder : lost) {
        // A folder moved away is still followed by its watch: it is no longer the one named.
        if (folder->watch >= 0) ::inotify_rm_watch(watch_, folder->watch);
        folder->watch = -1;
        touched_.erase(folder->path);
        arm(*folder);
        // It may have come back before its parent was watched.
        if (folder->watch >= 0) returned.push_back(folder);
    }
    for (Folder* folder : returned) {
        arm(*folder);
        if (folder->watch >= 0) touched_[folder->path].merge(filesIn(folder->path));
    }
    if (!touched_.empty()) burst_.notice();
    return true;
}

void FolderWatcher::burstEnded() {
    for (const auto& [folder, names] : std::exchange(touched_, {})) handler_(folder, names);
}

}  // namespace tessary
