#include "Platform/Linux/DesktopApplicationLauncher.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TessaryCore/DocumentFileSystem.h"

extern char** environ;

namespace tessary {

namespace {

namespace fs = std::filesystem;

// Desktop files are a few kilobytes; anything far larger is not one worth reading.
constexpr std::uintmax_t maximumEntrySize = 1 << 20;
// Applications folders are shallow (kde4/, wine/...); deeper trees are not followed.
constexpr int maximumFolderDepth = 4;

std::optional<std::string> processEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

bool isAbsolutePath(const std::optional<std::string>& value) {
    return value && !value->empty() && fs::path(*value).is_absolute();
}

std::vector<std::string> splitColons(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto colon = text.find(':', start);
        const auto end = colon == std::string::npos ? text.size() : colon;
        parts.push_back(text.substr(start, end - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return parts;
}

std::optional<std::string> readSmallFile(const fs::path& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    const auto size = fs::file_size(path, error);
    if (error || size > maximumEntrySize) return std::nullopt;
    // Without a stream: a stream's first use brings a quarter of a megabyte of the C++ library's
    // code in, for a file read at once.
    auto bytes = PosixDocumentFileSystem().readFile(path);
    if (!bytes || !*bytes || (*bytes)->size() > maximumEntrySize) return std::nullopt;
    return std::move(**bytes);
}

struct EntryFile {
    std::string desktopFileID;
    fs::path path;
};

// The folder's modification time in nanoseconds; -1 when it is no folder.
std::int64_t modificationTime(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return -1;
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// The .desktop files of the folders, each desktop file ID once: the most important folder wins.
// Every folder read is stamped before its files are listed, so a change during the read is seen
// at the next look-up.
template <typename Stamp>
std::vector<EntryFile> entryFiles(const std::vector<fs::path>& folders, std::vector<Stamp>& stamps) {
    std::vector<EntryFile> result;
    std::map<std::string, bool> seen;
    for (const fs::path& folder : folders) {
        stamps.push_back({folder, modificationTime(folder)});
        std::vector<EntryFile> inFolder;
        std::error_code error;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it.depth() >= maximumFolderDepth) it.disable_recursion_pending();
            const fs::path& path = it->path();
            std::error_code ignored;
            if (it->is_directory(ignored)) {
                if (it.recursion_pending()) stamps.push_back({path, modificationTime(path)});
                continue;
            }
            if (path.extension() != ".desktop") continue;
            if (!it->is_regular_file(ignored)) continue;  // follows a symbolic link to a file
            std::string id = path.lexically_relative(folder).generic_string();
            std::replace(id.begin(), id.end(), '/', '-');
            inFolder.push_back({std::move(id), path});
        }
        std::sort(inFolder.begin(), inFolder.end(),
                  [](const EntryFile& a, const EntryFile& b) { return a.desktopFileID < b.desktopFileID; });
        for (EntryFile& file : inFolder) {
            if (seen.emplace(file.desktopFileID, true).second) result.push_back(std::move(file));
        }
    }
    return result;
}

std::string stem(std::string_view desktopFileID) {
    constexpr std::string_view suffix = ".desktop";
    if (desktopFileID.ends_with(suffix)) desktopFileID.remove_suffix(suffix.size());
    return std::string(desktopFileID);
}

}  // namespace

DesktopApplicationLauncher::DesktopApplicationLauncher()
    : DesktopApplicationLauncher(processEnvironment, &DesktopApplicationLauncher::spawnDetached) {}

DesktopApplicationLauncher::DesktopApplicationLauncher(Environment environment, Spawner spawner)
    : environment_(std::move(environment)), spawner_(std::move(spawner)) {}

bool DesktopApplicationLauncher::isAcceptableIdentifier(std::string_view bundleIdentifier) {
    if (bundleIdentifier.empty() || bundleIdentifier.size() > 255) return false;
    if (bundleIdentifier == "." || bundleIdentifier == "..") return false;
    return std::none_of(bundleIdentifier.begin(), bundleIdentifier.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '/' || byte < 0x20 || byte == 0x7f;
    });
}

std::vector<fs::path> DesktopApplicationLauncher::applicationFolders() const {
    std::vector<fs::path> folders;
    const auto dataHome = environment_("XDG_DATA_HOME");
    if (isAbsolutePath(dataHome)) {
        folders.push_back(fs::path(*dataHome) / "applications");
    } else if (const auto home = environment_("HOME"); isAbsolutePath(home)) {
        folders.push_back(fs::path(*home) / ".local" / "share" / "applications");
    }
    auto dataDirs = environment_("XDG_DATA_DIRS");
    if (!dataDirs || dataDirs->empty()) dataDirs = "/usr/local/share/:/usr/share/";
    for (const std::string& dir : splitColons(*dataDirs)) {
        if (!isAbsolutePath(dir)) continue;
        fs::path folder = (fs::path(dir) / "applications").lexically_normal();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(std::move(folder));
    }
    return folders;
}

std::optional<std::string> DesktopApplicationLauncher::locale() const {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        auto value = environment_(name);
        if (value && !value->empty()) return value;
    }
    return std::nullopt;
}

bool DesktopApplicationLauncher::programExists(const std::string& program) const {
    const auto executable = [](const fs::path& path) {
        std::error_code error;
        return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
    };
    if (program.empty()) return false;
    if (program.find('/') != std::string::npos) return fs::path(program).is_absolute() && executable(program);
    const std::string path = environment_("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    for (const std::string& dir : splitColons(path)) {
        if (isAbsolutePath(dir) && executable(fs::path(dir) / program)) return true;
    }
    return false;
}

const DesktopApplicationLauncher::Entries& DesktopApplicationLauncher::entries() const {
    // The folders are the environment's when the entries were read: the program's does not change.
    const bool current = entries_.has_value() && entries_->settled &&
                         std::all_of(entries_->stamps.begin(), entries_->stamps.end(), [](const FolderStamp& stamp) {
                             return modificationTime(stamp.folder) == stamp.modified;
                         });
    if (!current) entries_ = read();
    return *entries_;
}

DesktopApplicationLauncher::Entries DesktopApplicationLauncher::read() const {
    const std::string language = locale().value_or("");
    Entries result;
    std::vector<FolderStamp> stamps;
    std::vector<InstalledApplication> applications;
    for (const EntryFile& file : entryFiles(applicationFolders(), stamps)) {
        auto bytes = readSmallFile(file.path);
        if (!bytes) continue;
        auto entry = DesktopEntry::parse(*bytes);
        if (!entry) continue;
        auto match = launchable(*entry, file.path, file.desktopFileID, language);
        if (!match) continue;
        applications.push_back(match->application);
        result.matches.push_back(std::move(*match));
    }
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    constexpr std::int64_t settleTime = 1'000'000'000;
    result.settled = std::all_of(stamps.begin(), stamps.end(),
                                 [&](const FolderStamp& stamp) { return stamp.modified <= now - settleTime; });
    result.stamps = std::move(stamps);
    result.index = std::make_shared<const ApplicationIndex>(std::move(applications));
    return result;
}

std::shared_ptr<const ApplicationIndex> DesktopApplicationLauncher::applicationIndex() const {
    return entries().index;
}

std::optional<DesktopApplicationLauncher::Match> DesktopApplicationLauncher::find(std::string_view bundleIdentifier) const {
    if (!isAcceptableIdentifier(bundleIdentifier)) return std::nullopt;
    const Entries& all = entries();
    const InstalledApplication* named = all.index->entryNamed(bundleIdentifier);
    if (!named) return std::nullopt;
    Match match = all.matches[static_cast<std::size_t>(named - all.index->entries().data())];
    match.application.bundleIdentifier = std::string(bundleIdentifier);
    return match;
}

std::optional<DesktopApplicationLauncher::Match> DesktopApplicationLauncher::launchable(
    const DesktopEntry& entry, const fs::path& path, const std::string& desktopFileID, const std::string& language) const {
    if (entry.string("Type") != "Application" || entry.boolean("Hidden") || entry.boolean("NoDisplay")) return std::nullopt;
    // Started without a terminal it would have no window to place.
    if (entry.boolean("Terminal")) return std::nullopt;
    if (auto tryExec = entry.string("TryExec"); tryExec && !programExists(*tryExec)) return std::nullopt;

    Match match;
    match.desktopFileID = desktopFileID;
    InstalledApplication& application = match.application;
    application.entryID = stem(desktopFileID);
    application.startupWMClass = entry.string("StartupWMClass");
    if (application.startupWMClass && application.startupWMClass->empty()) application.startupWMClass.reset();
    application.bundleIdentifier = application.startupWMClass.value_or(application.entryID);
    application.name = entry.localeString("Name", language).value_or(application.entryID);
    application.icon = entry.localeString("Icon", language);
    if (application.icon && application.icon->empty()) application.icon.reset();
    application.location = path;
    auto arguments = entry.execArguments({application.icon, application.name, path.string()});
    if (!arguments) return std::nullopt;
    match.arguments = std::move(*arguments);
    application.program = ApplicationIndex::programOf(match.arguments);
    if (auto workingDirectory = entry.string("Path"); isAbsolutePath(workingDirectory)) {
        match.workingDirectory = fs::path(*workingDirectory);
    } else if (auto home = environment_("HOME"); isAbsolutePath(home)) {
        match.workingDirectory = fs::path(*home);
    }
    return match;
}

std::vector<InstalledApplication> DesktopApplicationLauncher::installedApplications(
    const std::vector<std::string>& runningIdentifiers) const {
    std::vector<InstalledApplication> listed = withRunningIdentifiers(*applicationIndex(), runningIdentifiers);
    std::erase_if(listed, [](const InstalledApplication& application) {
        return !isAcceptableIdentifier(application.bundleIdentifier);
    });
    return listed;
}

std::optional<InstalledApplication> DesktopApplicationLauncher::application(const std::string& bundleIdentifier) const {
    auto match = find(bundleIdentifier);
    if (!match) return std::nullopt;
    return match->application;
}

bool DesktopApplicationLauncher::launch(const std::string& bundleIdentifier) {
    auto match = find(bundleIdentifier);
    if (!match) return false;
    std::optional<fs::path> directory = match->workingDirectory;
    std::error_code error;
    if (directory && !fs::is_directory(*directory, error)) directory.reset();
    if (!spawner_(match->arguments, directory)) {
        log.error("could not start " + match->desktopFileID + " (" + match->arguments.front() + ")");
        return false;
    }
    log.info("started " + match->desktopFileID);
    return true;
}

bool DesktopApplicationLauncher::spawnDetached(const std::vector<std::string>& arguments,
                                               const std::optional<fs::path>& workingDirectory) {
    if (arguments.empty() || arguments.front().empty()) return false;

    // Everything the intermediate process needs is prepared before fork.
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Our X connection and sockets are not the application's business (they are close-on-exec
    // too; this also covers descriptors a library opened without the flag).
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    bool started = false;
    const pid_t intermediate = ::fork();
    if (intermediate == 0) {
        // The program's parent exits at once, so the program is handed to init (or the session's
        // subreaper) and never stays our child.
        // chdir is safe between fork and exec, unlike most of the library.
        if (workingDirectory && ::chdir(workingDirectory->c_str()) != 0) ::_exit(127);
        pid_t program = 0;
        const int result = ::posix_spawnp(&program, argv[0], &actions, &attributes, argv.data(), environ);
        ::_exit(result == 0 ? 0 : 127);
    }
    if (intermediate > 0) {
        int status = 0;
        pid_t waited;
        do {
            waited = ::waitpid(intermediate, &status, 0);
        } while (waited < 0 && errno == EINTR);
        // ECHILD: children are reaped by themselves (SIGCHLD ignored); the start was requested.
        started = waited < 0 ? errno == ECHILD : WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return started;
}

}  // namespace tessary
