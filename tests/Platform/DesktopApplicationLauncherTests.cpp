#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Platform/Linux/DesktopApplicationLauncher.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;
namespace fs = std::filesystem;

namespace {

struct Spawn {
    std::vector<std::string> arguments;
    std::optional<fs::path> workingDirectory;
};

// Two data folders (a user's and the system's) under a temporary folder, and a launcher that only
// records what it would start.
class DesktopApplicationLauncherTest : public ::testing::Test {
protected:
    DesktopApplicationLauncherTest() {
        fs::create_directories(userApps());
        fs::create_directories(systemApps());
        environment["HOME"] = (folder / "home").string();
        environment["XDG_DATA_HOME"] = (folder / "user").string();
        environment["XDG_DATA_DIRS"] = (folder / "system").string() + ":relative/ignored";
        environment["PATH"] = "/usr/bin:/bin";
        environment["LANG"] = "de_DE.UTF-8";
    }

    fs::path userApps() const { return folder / "user" / "applications"; }
    fs::path systemApps() const { return folder / "system" / "applications"; }

    void write(const fs::path& path, const std::string& body) {
        fs::create_directories(path.parent_path());
        writeFile(path, "[Desktop Entry]\n" + body);
    }

    DesktopApplicationLauncher launcher() {
        return DesktopApplicationLauncher(
            [this](const char* name) -> std::optional<std::string> {
                auto found = environment.find(name);
                if (found == environment.end()) return std::nullopt;
                return found->second;
            },
            [this](const std::vector<std::string>& arguments, const std::optional<fs::path>& directory) {
                spawns.push_back({arguments, directory});
                return spawnSucceeds;
            });
    }

    std::optional<std::string> foundFile(const std::string& identifier) {
        auto match = launcher().find(identifier);
        if (!match) return std::nullopt;
        return match->desktopFileID;
    }

    TemporaryFolder folder;
    std::map<std::string, std::string> environment;
    std::vector<Spawn> spawns;
    bool spawnSucceeds = true;
};

}  // namespace

TEST_F(DesktopApplicationLauncherTest, FindsTheStartupClassBeforeTheFileNameIgnoringCase) {
    write(systemApps() / "xterm.desktop", "Type=Application\nName=By name\nExec=xterm\n");
    write(systemApps() / "org.example.Terminal.desktop",
          "Type=Application\nName=By class\nStartupWMClass=XTerm\nExec=term\n");
    write(systemApps() / "kde" / "viewer.desktop", "Type=Application\nName=Viewer\nExec=kview\n");

    EXPECT_EQ(foundFile("XTerm"), "org.example.Terminal.desktop");
    EXPECT_EQ(foundFile("xterm"), "org.example.Terminal.desktop");
    EXPECT_EQ(foundFile("org.example.terminal"), "org.example.Terminal.desktop");
    // A file in a subfolder is known by its desktop file ID.
    EXPECT_EQ(foundFile("kde-viewer"), "kde-viewer.desktop");
    EXPECT_EQ(foundFile("viewer"), std::nullopt);
    EXPECT_EQ(foundFile("nothing"), std::nullopt);
}

TEST_F(DesktopApplicationLauncherTest, TheUsersEntryHidesTheSystemsEntryOfTheSameID) {
    write(systemApps() / "editor.desktop", "Type=Application\nName=System\nExec=editor\n");
    write(userApps() / "editor.desktop", "Type=Application\nName=Mine\nName[de]=Meiner\nExec=editor --mine\n");
    auto found = launcher().application("editor");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "Meiner");
    EXPECT_EQ(found->location, userApps() / "editor.desktop");

    // Deleting an application for one user is a Hidden entry in the user's folder.
    write(userApps() / "editor.desktop", "Type=Application\nName=Mine\nHidden=true\nExec=editor\n");
    EXPECT_EQ(launcher().application("editor"), std::nullopt);
}

TEST_F(DesktopApplicationLauncherTest, PassesOverEntriesThatCannotBeLaunched) {
    const std::vector<std::pair<std::string, std::string>> unusable = {
        {"hidden", "Type=Application\nHidden=true\nExec=app\n"},
        {"nodisplay", "Type=Application\nNoDisplay=true\nExec=app\n"},
        {"link", "Type=Link\nURL=https://example.org\nExec=app\n"},
        {"notype", "Exec=app\n"},
        {"terminal", "Type=Application\nTerminal=true\nExec=app\n"},
        {"tryexec", "Type=Application\nTryExec=no-such-program-anywhere\nExec=app\n"},
        {"tryexecpath", "Type=Application\nTryExec=/no/such/program\nExec=app\n"},
        {"noexec", "Type=Application\nName=No Exec\n"},
        {"badexec", "Type=Application\nExec=\"app\n"},
    };
    for (const auto& [name, body] : unusable) write(systemApps() / (name + ".desktop"), body);
    write(systemApps() / "tryexecok.desktop", "Type=Application\nTryExec=sh\nExec=app\n");
    write(systemApps() / "tryexecabsolute.desktop", "Type=Application\nTryExec=/bin/sh\nExec=app\n");

    for (const auto& [name, body] : unusable) {
        EXPECT_FALSE(launcher().launch(name)) << name;
    }
    EXPECT_TRUE(spawns.empty());
    EXPECT_TRUE(launcher().launch("tryexecok"));
    EXPECT_TRUE(launcher().launch("tryexecabsolute"));
    EXPECT_EQ(spawns.size(), 2u);
}

TEST_F(DesktopApplicationLauncherTest, IdentifiersNeverNameFilesOutsideTheApplicationsFolders) {
    // Files an identifier would reach if it were joined to a folder path.
    write(folder / "system" / "evil.desktop", "Type=Application\nExec=evil\n");
    write(folder / "evil.desktop", "Type=Application\nExec=evil\n");
    write(systemApps() / "good.desktop", "Type=Application\nExec=good\n");
    const std::vector<std::string> identifiers = {
        "../evil", "../../evil", "..", ".", "", "sub/good", "/good", std::string("good\0x", 6), "good\n",
        std::string(300, 'a'), (folder / "evil").string(),
    };
    for (const std::string& identifier : identifiers) {
        EXPECT_FALSE(launcher().launch(identifier)) << identifier;
        EXPECT_FALSE(launcher().application(identifier)) << identifier;
    }
    EXPECT_TRUE(spawns.empty());
}

TEST_F(DesktopApplicationLauncherTest, StartsTheExecLineInTheEntrysFolderOrHome) {
    write(systemApps() / "editor.desktop",
          "Type=Application\nName=Editor\nIcon=ed\nExec=\"/opt/my editor/bin/ed\" --icon-arg %i %U\nPath=/tmp\n");
    write(systemApps() / "viewer.desktop", "Type=Application\nName=Viewer\nExec=viewer %f\n");

    ASSERT_TRUE(launcher().launch("Editor"));
    ASSERT_TRUE(launcher().launch("viewer"));
    ASSERT_EQ(spawns.size(), 2u);
    EXPECT_EQ(spawns[0].arguments, (std::vector<std::string>{"/opt/my editor/bin/ed", "--icon-arg", "--icon", "ed"}));
    EXPECT_EQ(spawns[0].workingDirectory, fs::path("/tmp"));
    EXPECT_EQ(spawns[1].arguments, (std::vector<std::string>{"viewer"}));
    // The home folder does not exist here: no folder rather than a failing one.
    EXPECT_EQ(spawns[1].workingDirectory, std::nullopt);

    fs::create_directories(folder / "home");
    ASSERT_TRUE(launcher().launch("viewer"));
    EXPECT_EQ(spawns[2].workingDirectory, folder / "home");

    spawnSucceeds = false;
    EXPECT_FALSE(launcher().launch("viewer"));
}

TEST_F(DesktopApplicationLauncherTest, FollowsTheBaseDirectoryDefaults) {
    environment.erase("XDG_DATA_HOME");
    environment.erase("XDG_DATA_DIRS");
    EXPECT_EQ(launcher().applicationFolders(),
              (std::vector<fs::path>{folder / "home" / ".local" / "share" / "applications",
                                     "/usr/local/share/applications", "/usr/share/applications"}));
    environment["XDG_DATA_HOME"] = "relative";
    environment["XDG_DATA_DIRS"] = "/a:/b/:/a/";
    EXPECT_EQ(launcher().applicationFolders(),
              (std::vector<fs::path>{folder / "home" / ".local" / "share" / "applications", "/a/applications",
                                     "/b/applications"}));
}

TEST(DesktopApplicationLauncherSpawn, StartsTheProgramDetachedAndLeavesNoChild) {
    TemporaryFolder folder;
    const fs::path fifo = folder / "launch fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    // tee opens the pipe (relative to the working folder, with a space in its name) and ends when
    // its standard input, /dev/null, does; the reader then sees the writer go away.
    ASSERT_TRUE(DesktopApplicationLauncher::spawnDetached({"tee", "launch fifo"}, folder.path()));
    pollfd event{reader, POLLIN, 0};
    EXPECT_EQ(::poll(&event, 1, 30000), 1);
    EXPECT_NE(event.revents & (POLLHUP | POLLIN), 0);
    ::close(reader);

    // The intermediate process was reaped and the program is not ours.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    EXPECT_FALSE(DesktopApplicationLauncher::spawnDetached({"no-such-program-anywhere"}, std::nullopt));
    EXPECT_FALSE(DesktopApplicationLauncher::spawnDetached({}, std::nullopt));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(DesktopApplicationLauncherTest, ListsEachLaunchableEntryOnceUnderTheIdentifierItWouldBeStoredBy) {
    write(systemApps() / "editor.desktop", "Type=Application\nName=System editor\nExec=editor\n");
    write(userApps() / "editor.desktop", "Type=Application\nName=My editor\nExec=editor --mine\n");
    write(systemApps() / "org.example.Terminal.desktop",
          "Type=Application\nName=Terminal\nStartupWMClass=XTerm\nExec=xterm\n");
    write(systemApps() / "viewer.desktop", "Type=Application\nName=Viewer\nIcon=viewer\nExec=viewer\n");
    write(systemApps() / "hidden.desktop", "Type=Application\nNoDisplay=true\nExec=hidden\n");
    write(systemApps() / "slash.desktop", "Type=Application\nStartupWMClass=a/b\nExec=slash\n");
    struct Row {
        std::string identifier;
        std::string name;
    };
    std::vector<Row> listed;
    for (const InstalledApplication& application : launcher().installedApplications({"Viewer"})) {
        listed.push_back({application.bundleIdentifier, application.name});
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"editor", "My editor"},
        {"XTerm", "Terminal"},  // the entry's own class
        {"Viewer", "Viewer"},   // the running application's class names the entry without one
    };
    ASSERT_EQ(listed.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(listed[i].identifier, expected[i].first);
        EXPECT_EQ(listed[i].name, expected[i].second);
    }
}

namespace {

// Entries of the shapes distributions ship: most name no StartupWMClass, and their windows'
// classes follow the program (gnome-calculator), the id's last part (Mousepad) or the id itself.
class ApplicationMatchingTest : public DesktopApplicationLauncherTest {
protected:
    ApplicationMatchingTest() {
        write(systemApps() / "org.gnome.Calculator.desktop",
              "Name=Calculator\nExec=gnome-calculator\nIcon=org.gnome.Calculator\nType=Application\n");
        write(systemApps() / "org.xfce.mousepad.desktop", "Name=Mousepad\nExec=mousepad %U\nType=Application\n");
        write(systemApps() / "org.xfce.mousepad-settings.desktop",
              "Name=Text Editor Settings\nExec=mousepad --preferences\nType=Application\n");
        write(systemApps() / "xterm.desktop", "Name=XTerm\nExec=xterm\nStartupWMClass=XTerm\nType=Application\n");
        write(systemApps() / "uxterm.desktop", "Name=UXTerm\nExec=uxterm\nStartupWMClass=UXTerm\nType=Application\n");
        write(systemApps() / "org.gnome.TextEditor.desktop",
              "Name=Text Editor\nExec=gnome-text-editor %U\nType=Application\n");
        write(systemApps() / "org.example.Viewer.desktop",
              "Name=Viewer\nExec=viewer\nStartupWMClass=ViewerMain\nType=Application\n");
        write(systemApps() / "org.kde.dolphin.desktop", "Name=Dolphin\nExec=dolphin %u\nType=Application\n");
        write(userApps() / "org.example.Notes.desktop",
              "Name=Notes\nExec=/usr/bin/flatpak run --branch=stable --arch=x86_64 --command=notes-app "
              "org.example.Notes @@u %U @@\nType=Application\n");
        write(userApps() / "firefox_firefox.desktop",
              "Name=Firefox Web Browser\nExec=env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/"
              "firefox_firefox.desktop /snap/bin/firefox %u\nType=Application\n");
        index = launcher().applicationIndex();
    }

    // The desktop file of the entry the window belongs to; "" when none.
    std::string entryOf(const WindowApplication& window) {
        const InstalledApplication* entry = index->entryFor(window);
        return entry ? entry->location.filename().string() : "";
    }

    std::shared_ptr<const ApplicationIndex> index;
};

const WindowApplication calculator{"gnome-calculator", "gnome-calculator", ""};
const WindowApplication mousepad{"Mousepad", "mousepad", ""};
const WindowApplication xterm{"XTerm", "xterm", ""};

}  // namespace

TEST_F(ApplicationMatchingTest, AWindowBelongsToTheEntryItsClassInstanceOrApplicationIDNames) {
    const struct {
        const char* how;
        WindowApplication window;
        std::string entry;
    } rows[] = {
        {"the program Exec runs", calculator, "org.gnome.Calculator.desktop"},
        {"the announced application id", {"Gnome-calculator", "calc", "org.gnome.Calculator"}, "org.gnome.Calculator.desktop"},
        {"the id's last part, before another entry running the same program", mousepad, "org.xfce.mousepad.desktop"},
        {"StartupWMClass", xterm, "xterm.desktop"},
        {"StartupWMClass, of the entry that names this class", {"UXTerm", "xterm", ""}, "uxterm.desktop"},
        {"a class that is the entry's id, ignoring case", {"org.gnome.texteditor", "", ""}, "org.gnome.TextEditor.desktop"},
        {"KDE's desktop file name", {"dolphin", "dolphin", "org.kde.dolphin"}, "org.kde.dolphin.desktop"},
        {"flatpak's --command", {"notes-app", "notes-app", ""}, "org.example.Notes.desktop"},
        {"the program behind env and snap's path", {"firefox", "Navigator", ""}, "firefox_firefox.desktop"},
        {"the instance, where the class says nothing", {"Main", "gnome-calculator", ""}, "org.gnome.Calculator.desktop"},
        {"nothing installed", {"Ledger", "ledger", ""}, ""},
        {"the class an entry names", {"ViewerMain", "main", ""}, "org.example.Viewer.desktop"},
        {"an entry that names its class is not guessed at", {"Viewer", "viewer", ""}, ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(entryOf(row.window), row.entry) << row.how;
    }
}

TEST_F(ApplicationMatchingTest, AStoredIdentifierOfEitherFormNamesTheSameApplication) {
    const struct {
        std::string stored;
        WindowApplication window;
        bool names;
    } rows[] = {
        // Chosen from the installed list (the entry's id) or from the running applications (the class).
        {"org.gnome.Calculator", calculator, true},
        {"gnome-calculator", calculator, true},
        {"org.xfce.mousepad", mousepad, true},
        {"Mousepad", mousepad, true},
        {"mousepad", mousepad, true},
        {"XTerm", xterm, true},
        {"xterm", xterm, true},
        // Another application of the same program, or another program altogether.
        {"org.xfce.mousepad-settings", mousepad, false},
        {"org.gnome.Calculator", mousepad, false},
        {"UXTerm", xterm, false},
        // A class nothing installed knows still names its own windows, and only those.
        {"Ledger", {"Ledger", "ledger", ""}, true},
        {"Ledger", calculator, false},
        {"", {"", "", ""}, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(index->names(row.stored, row.window), row.names)
            << row.stored << " for " << row.window.windowClass;
    }
    // Names and starts: the entry either form names.
    EXPECT_EQ(launcher().application("gnome-calculator")->name, "Calculator");
    EXPECT_EQ(launcher().application("Mousepad")->name, "Mousepad");
    EXPECT_EQ(launcher().application("Mousepad")->bundleIdentifier, "Mousepad");
    ASSERT_TRUE(launcher().launch("Mousepad"));
    ASSERT_TRUE(launcher().launch("org.gnome.Calculator"));
    ASSERT_EQ(spawns.size(), 2u);
    EXPECT_EQ(spawns[0].arguments, std::vector<std::string>{"mousepad"});
    EXPECT_EQ(spawns[1].arguments, std::vector<std::string>{"gnome-calculator"});
    // The picker stores an entry's id; a running class that belongs to it stands in for it.
    std::map<std::string, std::string> stored;
    for (const InstalledApplication& application : launcher().installedApplications({"gnome-calculator"})) {
        stored[application.name] = application.bundleIdentifier;
    }
    EXPECT_EQ(stored["Calculator"], "gnome-calculator");
    EXPECT_EQ(stored["Mousepad"], "org.xfce.mousepad");
    EXPECT_EQ(stored["XTerm"], "XTerm");
}

TEST_F(DesktopApplicationLauncherTest, ReadsTheEntriesAgainOnlyWhenAnApplicationsFolderChanged) {
    write(systemApps() / "editor.desktop", "Type=Application\nName=Editor\nExec=editor\n");
    // Installed a while ago: a folder changed within the last second is read again at each look-up.
    for (const fs::path& apps : {systemApps(), userApps()}) {
        fs::last_write_time(apps, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    const DesktopApplicationLauncher kept = launcher();
    const auto first = kept.applicationIndex();
    EXPECT_EQ(kept.applicationIndex(), first) << "nothing changed, nothing read again";

    const struct {
        const char* change;
        std::function<void()> make;
        std::string identifier;
        bool installed;
    } changes[] = {
        {"installed for the user",
         [&] { write(userApps() / "viewer.desktop", "Type=Application\nName=Viewer\nExec=viewer\n"); }, "viewer", true},
        {"installed in a new folder below",
         [&] { write(systemApps() / "kde" / "paint.desktop", "Type=Application\nName=Paint\nExec=paint\n"); },
         "kde-paint", true},
        {"installed in that folder", [&] { write(systemApps() / "kde" / "draw.desktop", "Type=Application\nExec=draw\n"); },
         "kde-draw", true},
        {"removed", [&] { fs::remove(systemApps() / "editor.desktop"); }, "editor", false},
    };
    for (const auto& change : changes) {
        const auto before = kept.applicationIndex();
        change.make();
        EXPECT_NE(kept.applicationIndex(), before) << change.change;
        EXPECT_EQ(kept.application(change.identifier).has_value(), change.installed) << change.change;
    }
}

TEST(ApplicationIndexProgram, IsTheProgramAnExecLineRunsWithWrappersLookedThrough) {
    const struct {
        std::vector<std::string> exec;
        std::optional<std::string> program;
    } rows[] = {
        {{"gnome-calculator"}, "gnome-calculator"},
        {{"/usr/bin/Mousepad", "--new"}, "mousepad"},
        {{"env", "-u", "X", "A=1", "B=2", "/opt/app/bin/app"}, "app"},
        {{"/usr/bin/flatpak", "run", "--branch=stable", "--command=notes-app", "org.example.Notes"}, "notes-app"},
        {{"flatpak", "run", "org.example.Notes"}, std::nullopt},
        {{"snap", "run", "firefox"}, "firefox"},
        {{"/snap/bin/firefox", "%u"}, "firefox"},
        {{"env"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ApplicationIndex::programOf(row.exec), row.program) << ::testing::PrintToString(row.exec);
    }
}
