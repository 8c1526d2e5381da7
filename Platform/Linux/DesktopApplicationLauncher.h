#pragma once

// Finds applications through their installed .desktop files and starts them from their Exec line,
// without a shell and detached from this process.
//
// The identifier only ever selects among the entries found in the applications folders (by the
// rules of ApplicationIndex): it is never joined to a path and never put on a command line, so an
// identifier from a hand-edited or synchronised document ("../../x", a slash, a NUL) cannot name a
// file outside those folders or run anything the desktop does not list as an installed application.
//
// The entries are read once into an index (from the folders the environment names then), and again
// when an applications folder (or a folder below one) changed: installing or removing a package adds or renames files there. A file edited
// in place, which package managers never do, is seen at the next change of its folder. Each
// look-up costs one stat per folder; nothing is watched or polled meanwhile. Folder times are only
// trusted a second after they were set: the file system stamps changes with a coarse clock.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/ApplicationLauncher.h"
#include "Platform/Linux/DesktopEntry.h"
#include "Platform/Logger.h"

namespace tessary {

class DesktopApplicationLauncher : public ApplicationLauncher {
public:
    // Reads one environment variable; nothing when it is unset.
    using Environment = std::function<std::optional<std::string>(const char* name)>;
    // Starts a program with arguments (the first is the program, looked up in $PATH when it has no
    // slash) in a folder; true when the program started. Replaceable, for tests that only look.
    using Spawner = std::function<bool(const std::vector<std::string>& arguments,
                                       const std::optional<std::filesystem::path>& workingDirectory)>;

    // The process environment and spawnDetached.
    DesktopApplicationLauncher();
    DesktopApplicationLauncher(Environment environment, Spawner spawner);

    std::optional<InstalledApplication> application(const std::string& bundleIdentifier) const override;
    // The launchable entries, each desktop file ID once, the more important folder first and,
    // within one folder, in file ID order; each stored under its StartupWMClass, else its id.
    std::shared_ptr<const ApplicationIndex> applicationIndex() const override;
    bool launch(const std::string& bundleIdentifier) override;
    // The index's entries; an entry without a StartupWMClass under the first running identifier
    // that names it. An entry whose identifier isAcceptableIdentifier refuses is left out.
    std::vector<InstalledApplication> installedApplications(
        const std::vector<std::string>& runningIdentifiers = {}) const override;

    // A launchable entry found for an identifier.
    struct Match {
        InstalledApplication application;
        std::string desktopFileID;  // "org.example.Editor.desktop"; folders below become dashes
        std::vector<std::string> arguments;
        std::optional<std::filesystem::path> workingDirectory;
    };
    // The launchable entry the identifier names (ApplicationIndex::entryNamed: its StartupWMClass,
    // its id, the last component of its id or its program, ignoring ASCII case). Entries that are
    // hidden (Hidden, NoDisplay), not applications, meant for a terminal, whose TryExec program is
    // missing or whose Exec line is unusable are passed over; an entry hides the entries of less
    // important folders with the same desktop file ID.
    std::optional<Match> find(std::string_view bundleIdentifier) const;

    // $XDG_DATA_HOME/applications (default ~/.local/share), then each of $XDG_DATA_DIRS (default
    // /usr/local/share:/usr/share) with "applications"; relative entries are ignored.
    std::vector<std::filesystem::path> applicationFolders() const;

    // Whether an identifier can name an application at all: not empty, at most 255 bytes, no
    // slash, no control character (NUL included), not "." or "..".
    static bool isAcceptableIdentifier(std::string_view bundleIdentifier);

    // Starts the program in a session of its own, with standard input from /dev/null, default signal
    // handling, no inherited descriptors beyond standard output and error, and reaps the
    // intermediate process so that the program never stays this process's child. True when the
    // program was executed.
    static bool spawnDetached(const std::vector<std::string>& arguments,
                              const std::optional<std::filesystem::path>& workingDirectory);

private:
    // What the folders held when they were last read: each folder read (an applications folder or
    // one below it) with its modification time, or -1 when it did not exist.
    struct FolderStamp {
        std::filesystem::path folder;
        std::int64_t modified = -1;
    };
    struct Entries {
        std::vector<FolderStamp> stamps;
        // False when a folder changed within a second of the read: a change in the same tick of
        // the file system's clock would leave its time as it was, so the next look-up reads again.
        bool settled = false;
        std::shared_ptr<const ApplicationIndex> index;
        // In the index's order.
        std::vector<Match> matches;
    };

    // The entries, read again when a folder changed.
    const Entries& entries() const;
    Entries read() const;
    // The entry as a launchable match; nothing when the skip rules pass it over.
    std::optional<Match> launchable(const DesktopEntry& entry, const std::filesystem::path& path,
                                    const std::string& desktopFileID, const std::string& language) const;
    std::optional<std::string> locale() const;
    bool programExists(const std::string& program) const;

    Environment environment_;
    Spawner spawner_;
    mutable std::optional<Entries> entries_;
    Logger log{"ApplicationLauncher"};
};

}  // namespace tessary
