#include <gtest/gtest.h>

#include <cerrno>
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
    write(systemApps() / "kde" / "viewer.desktop", "Type=Application\nName=Viewer\nExec=viewer\n");

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
