#pragma once

// Tells which files in a few folders another process changed (inotify; the folders themselves, not
// what lies below them). The program watches its data and settings folders with it, so that an
// instance on another display of the same user, writing there, is heard of at once.
//
// A burst of changes is told once, `quietPeriod` after its last event (at the latest `longestBurst`
// after its first), with the names of the files written, moved in or removed (hidden ones, such as
// the temporaries of atomic writes, left out), so that the reader
// comes after a writer's rename, not between its steps. A folder that does not exist yet is waited
// for through its parent, and one that goes away is waited for again; neither is told as a change
// of its files until it is back. The owner feeds fileDescriptor() to the main loop and calls
// processEvents() when it is readable. Costs nothing while nothing changes: no timer runs.

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Platform/BurstTimer.h"
#include "Platform/Logger.h"
#include "Platform/Scheduler.h"

namespace tessary {

class FolderWatcher final {
public:
    static constexpr std::chrono::milliseconds quietPeriod{100};
    static constexpr std::chrono::milliseconds longestBurst{1000};

    // The folder and the names of its files that changed.
    using Handler = std::function<void(const std::filesystem::path& folder, const std::set<std::string>& names)>;

    FolderWatcher(std::vector<std::filesystem::path> folders, Scheduler& scheduler, Handler handler);
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // The inotify descriptor to wait on; -1 when nothing can be watched.
    int fileDescriptor() const { return watch_; }
    // Takes every pending event without blocking; false once the descriptor is broken.
    bool processEvents();

private:
    struct Folder {
        std::filesystem::path path;
        int watch = -1;        // on the folder itself
        int parentWatch = -1;  // on its parent, while it is missing
    };

    // Watches the folder, or its parent while it is missing.
    void arm(Folder& folder);
    void burstEnded();

    int watch_ = -1;
    std::vector<Folder> folders_;
    Handler handler_;
    std::map<std::filesystem::path, std::set<std::string>> touched_;
    BurstTimer burst_;
    Logger log_{"FolderWatcher"};
};

}  // namespace tessary
