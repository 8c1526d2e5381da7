// The real program with what users keep and what they send it, off the well-trodden road: documents
// written by a newer version, damaged again and again, or far too large; answers of any length and
// requests that are too long; no runtime folder; and bursts of starts at an instance kept busy by
// thousands of workspaces. What is asserted is what a user meets: the files on disk byte for byte,
// the lines the program prints and logs, its exit statuses and its open descriptors.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/WorkspaceLibrary.h"
#include "tests/TessaryCore/TestSupport.h"
#include "tests/e2e/harness/DesktopTest.h"
#include "tests/e2e/harness/ProcessCounters.h"
#include "tests/e2e/harness/TessaryProgram.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::HasSubstr;


std::string programPath() { return programUnderTest(TESSARY_PROGRAM); }

// How many of the listed lines begin with `prefix`.
std::size_t countStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(prefix); }));
}

// A library of `count` two-column layouts named "Layout N", the first the default.
LayoutLibrary libraryOf(int count) {
    LayoutLibrary library;
    for (int i = 0; i < count; ++i) {
        ZoneLayout layout(LayoutTemplate::columns, 2, "Layout " + std::to_string(i));
        layout.id = idNumber(i + 1);
        library.layouts.push_back(layout);
    }
    library.defaultLayoutID = library.layouts.front().id;
    return library;
}

// `count` workspaces of three windows each, as a user who saved many over the years has them.
WorkspaceLibrary workspacesOf(int count) {
    WorkspaceLibrary library;
    for (int i = 0; i < count; ++i) {
        std::vector<WorkspaceEntry> entries;
        for (int k = 0; k < 3; ++k) {
            entries.emplace_back(UUID::random(), "XTerm", "term " + std::to_string(k), "tessary-left@1920x1080",
                                 std::vector<std::int64_t>{k}, Rect(0, 0, 960, 540));
        }
        library.workspaces.emplace_back(idNumber(100000 + i), "Workspace " + std::to_string(i), std::move(entries),
                                        std::set<std::string>{"tessary-left"}, false, false, Date(0));
    }
    return library;
}

class StoredDataTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (HasFatalFailure()) return;
        fs::create_directories(dataFolder());
        writeFile(fs::path(desktop->configHome()) / "Tessary" / "defaults.json",
                  desktop->windowManager().onboardedUserDefaults());
    }

    fs::path dataFolder() const { return fs::path(desktop->dataHome()) / "Tessary"; }
    fs::path socket() const {
        return fs::path(desktop->runtimeDirectory()) / "tessary" / ("local-" + desktop->display().substr(1) + ".socket");
    }
    template <typename Document>
    void store(const std::string& name, const Document& document) {
        writeFile(dataFolder() / name, JSONDocumentStore<Document>::encode(document).value());
    }

    // Starts the instance and waits until it runs its services and answers later starts (at
    // `listening`, when not in the desktop's runtime folder).
    std::unique_ptr<TessaryProgram> startInstance(std::vector<std::string> environment = {},
                                                  std::optional<fs::path> listening = std::nullopt) {
        auto program = std::make_unique<TessaryProgram>(*desktop, programPath(), std::vector<std::string>{},
                                                        std::move(environment));
        EXPECT_TRUE(program->expectLine(activeLine, 0, 20s)) << testing::PrintToString(program->lines);
        EXPECT_TRUE(waitFor([&] { return fs::exists(listening.value_or(socket())); }, 10s)) << "no socket";
        return program;
    }
    // A later start: its exit status and every line it printed, read as it prints them (a long list
    // would fill the pipe of one that is waited for first).
    std::pair<int, std::vector<std::string>> startAgain(std::vector<std::string> arguments,
                                                        std::vector<std::string> environment = {}) {
        TessaryProgram later(*desktop, programPath(), std::move(arguments), std::move(environment));
        later.readToEnd(30s);
        return {later.exitStatus(), later.lines};
    }
    // Whether a process holds the instance's lock (the instance, from its first moments on).
    bool instanceHoldsItsLock() const {
        const fs::path lock = socket().parent_path() / ("local-" + desktop->display().substr(1) + ".lock");
        const int descriptor = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) return false;
        const bool held = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0;
        ::close(descriptor);
        return held;
    }
    // Ends the instance as a user quits it; its exit status.
    int quit(TessaryProgram& program) {
        ::kill(program.process.pid(), SIGTERM);
        const int status = program.exitStatus(15s);
        program.readToEnd(2s);
        return status;
    }
};

// A Tessary of a later version shares the user's documents (a sync tool, a second machine, a
// downgrade): this one uses what it can read, says so once, and every file stays as it was.
TEST_F(StoredDataTest, ANewerVersionsDocumentsAreUsedAndLeftByteForByte) {
    json::Json layouts = libraryOf(2).toJSON();
    layouts["version"] = 2;
    layouts["stacks"] = json::Json::array({"only the newer version knows this"});
    const std::map<std::string, std::string> newer{
        {"layouts.json", json::dumpPretty(layouts)},
        {"rules.json", "{\"version\": 2, \"rules\": [], \"deletedRules\": {}, \"groups\": [1]}"},
        {"workspaces.json", "{\"version\": 2, \"workspaces\": [], \"deletedWorkspaces\": {}, \"sets\": []}"},
        {"memory.json", "{\"version\": 2, \"byWindow\": {}, \"byApp\": {}, \"byTab\": {}}"},
    };
    for (const auto& [name, text] : newer) writeFile(dataFolder() / name, text);

    auto program = startInstance();
    // What it read is what it uses: the newer layouts are listed and applied.
    auto [status, printed] = startAgain({"list", "layouts"});
    EXPECT_EQ(status, 0);
    EXPECT_THAT(printed, Contains(idNumber(2).uuidString() + "\tLayout 1\t2 zones"));
    // Applied for this session, but not kept: the commands say so.
    for (const std::vector<std::string>& command : {std::vector<std::string>{"apply-layout", "--layout", idNumber(2).uuidString()},
                                                   std::vector<std::string>{"save-workspace", "--name", "Desk"}}) {
        const auto answer = startAgain(command);
        EXPECT_EQ(answer.first, 1) << command.front();
        EXPECT_THAT(answer.second, Contains(HasSubstr("was written by a newer version of Tessary; it is left as it is.")));
    }
    EXPECT_EQ(startAgain({"tessary://apply-rules"}).first, 0);
    EXPECT_EQ(quit(*program), 0);

    for (const auto& [name, text] : newer) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readFile(dataFolder() / name), text);
        EXPECT_FALSE(fs::exists(dataFolder() / (name + ".unreadable")));
        const std::string notice = "AppDelegate: \u201C" + name + "\u201D is kept read-only: It was written by a newer "
                                   "version of Tessary. This version uses what it can read of it and leaves the file as "
                                   "it is: changes made now are not saved.";
        EXPECT_EQ(program->count(notice), 1u) << testing::PrintToString(program->lines);
    }
    EXPECT_EQ(countStarting(program->lines, "ZoneService: Could not save layouts"), 0u) << "said once, at the start";
}

// The road with every document: damaged, set aside and told; the starter saved over it by a
// change; damaged again. The user's first copy survives the second damage, and each damage is told
// once, with where its copy is.
TEST_F(StoredDataTest, DamagedDocumentsAreSetAsideToldAndNeverLostToALaterDamage) {
    const std::map<std::string, std::string> first{
        {"layouts.json", JSONDocumentStore<LayoutLibrary>::encode(libraryOf(3)).value().substr(0, 300)},
        {"rules.json", "{\"version\": 1, \"rules\": [{\"id\": \"mine\""},
        {"workspaces.json", "{\"version\": 1, \"workspaces\": [{\"name\": \"Office\""},
        {"memory.json", "{\"version\": 1, \"byWindow\": {\"XTerm\\u001fmine\": "},
    };
    for (const auto& [name, text] : first) writeFile(dataFolder() / name, text);
    auto program = startInstance();
    // A change to the layouts and the workspaces saves the starter documents over the damage.
    const auto listed = startAgain({"list", "layouts"});
    ASSERT_FALSE(listed.second.empty());
    EXPECT_EQ(startAgain({"apply-layout", "--layout", listed.second.front().substr(0, 36)}).first, 0);
    EXPECT_EQ(startAgain({"save-workspace", "--name", "Desk"}).first, 0);
    EXPECT_EQ(quit(*program), 0);
    for (const auto& [name, text] : first) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readFile(dataFolder() / (name + ".unreadable")), text);
        EXPECT_EQ(countStarting(program->lines, "AppDelegate: \u201C" + name + "\u201D was damaged: Its contents were set "
                                                "aside as \u201C" + name + ".unreadable\u201D in the same folder."),
                  1u)
            << testing::PrintToString(program->lines);
        // The log says it in the program's words, the parser's message after it.
        bool logged = false;
        for (const std::string& line : program->lines) {
            logged = logged || (line.find((dataFolder() / name).string() + " could not be read and was set aside as " +
                                          (dataFolder() / (name + ".unreadable")).string()) != std::string::npos &&
                                line.find(". The parser's message: ") != std::string::npos);
        }
        EXPECT_TRUE(logged) << testing::PrintToString(program->lines);
    }

    // Damaged again, differently: both damages are kept.
    for (const auto& [name, text] : first) writeFile(dataFolder() / name, "{\"version\": 1, \"second damage\"");
    program = startInstance();
    EXPECT_EQ(quit(*program), 0);
    for (const auto& [name, text] : first) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readFile(dataFolder() / (name + ".unreadable")), "{\"version\": 1, \"second damage\"");
        bool firstKept = false;
        for (const auto& entry : fs::directory_iterator(dataFolder())) {
            const std::string file = entry.path().filename().string();
            firstKept = firstKept || (file.starts_with(name + ".unreadable-") && readFile(entry.path()) == text);
        }
        EXPECT_TRUE(firstKept) << "the first damage, the user's own data, is gone";
    }
}

// Puts this test program (and what it starts from then on) into a mount namespace of its own, once.
// False where that is not allowed.
bool ownMounts() {
    static const bool own = ::unshare(CLONE_NEWNS) == 0 &&
                            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return own;
}

// Makes the folder read-only in this test's mount namespace, as a home on a read-only mount is.
bool makeReadOnly(const fs::path& folder) {
    return ownMounts() && ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

// A home that cannot be written: every save-workspace says that it was not saved and why, the user
// is told once, and the log says it once, however many saves fail.
TEST_F(StoredDataTest, ASaveToAHomeThatCannotBeWrittenFailsWithItsReasonAndIsToldOnce) {
    if (!makeReadOnly(desktop->dataHome()) || !makeReadOnly(desktop->configHome())) {
        GTEST_SKIP() << "no right to mount here";
    }
    auto program = startInstance();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto [status, printed] = startAgain({"save-workspace", "--name", "H1"});
        EXPECT_EQ(status, 1) << attempt;
        EXPECT_THAT(printed, Contains(HasSubstr("Read-only file system"))) << testing::PrintToString(printed);
    }
    EXPECT_EQ(quit(*program), 0);
    EXPECT_EQ(countStarting(program->lines, "AppDelegate: \u201Cworkspaces.json\u201D could not be saved: "), 1u)
        << testing::PrintToString(program->lines);
    std::size_t logged = 0, settings = 0;
    for (const std::string& line : program->lines) {
        logged += line.find("could not save workspaces: ") != std::string::npos;
        settings += line.find("Cannot save the settings") != std::string::npos;
    }
    EXPECT_EQ(logged, 1u) << testing::PrintToString(program->lines);
    EXPECT_LE(settings, 1u) << "the settings' failure said once, not per write";
    EXPECT_FALSE(fs::exists(dataFolder() / "workspaces.json"));
}

// The identifier of the stored layout with that name, as `list layouts` gives it.
std::string layoutNamed(const std::vector<std::string>& listed, const std::string& name) {
    for (const std::string& line : listed) {
        if (line.find("\t" + name + "\t") != std::string::npos) return line.substr(0, line.find('\t'));
    }
    return {};
}

template <typename Document>
std::optional<Document> storedDocument(const fs::path& path) {
    auto loaded = JSONDocumentStore<Document>(path).peek();
    return loaded && loaded.value() ? loaded.value() : std::nullopt;
}

std::set<std::string> workspaceNames(const fs::path& path) {
    std::set<std::string> names;
    if (const auto library = storedDocument<WorkspaceLibrary>(path)) {
        for (const Workspace& workspace : library->workspaces) names.insert(workspace.name);
    }
    return names;
}

// The layout assigned to a display of the test desktops ("tessary-right"), by identifier.
std::string assignedTo(const fs::path& layouts, const std::string& display) {
    const auto library = storedDocument<LayoutLibrary>(layouts);
    if (!library) return {};
    const auto found = library->assignments.find(display + "@1920x1080");
    return found == library->assignments.end() ? std::string() : found->second.uuidString();
}

// The data folder read-only for a while (a full disk, a home remounted read-only): the changes the
// user was told are kept reach the files once the folder can be written again: by the next try
// while the program runs, or by the quit at the latest.
TEST_F(StoredDataTest, ChangesMadeWhileTheFolderCouldNotBeWrittenAreSavedOnceItCanBe) {
    // The program shares the namespace in which the folder is mounted read-only, later.
    if (!ownMounts()) GTEST_SKIP() << "no right to mount here";
    auto program = startInstance();
    const std::string focus = layoutNamed(startAgain({"list", "layouts"}).second, "Focus");
    ASSERT_FALSE(focus.empty());
    ASSERT_TRUE(makeReadOnly(dataFolder()));

    const auto applied = startAgain({"apply-layout", "--layout", focus, "--display", "tessary-right"});
    EXPECT_EQ(applied.first, 1);
    EXPECT_THAT(applied.second, Contains(HasSubstr("Read-only file system"))) << testing::PrintToString(applied.second);
    ASSERT_EQ(::umount2(dataFolder().c_str(), 0), 0);
    // The retries back off while the folder stays read-only, and a loaded machine can take seconds
    // over the command above: wait for the longest delay between two tries.
    EXPECT_TRUE(waitFor([&] { return assignedTo(dataFolder() / "layouts.json", "tessary-right") == focus; }, 35s))
        << "not saved while running; " << testing::PrintToString(program->lines);

    ASSERT_TRUE(makeReadOnly(dataFolder()));
    EXPECT_EQ(startAgain({"save-workspace", "--name", "Desk"}).first, 1);
    ASSERT_EQ(::umount2(dataFolder().c_str(), 0), 0);
    EXPECT_EQ(quit(*program), 0);
    EXPECT_EQ(workspaceNames(dataFolder() / "workspaces.json"), std::set<std::string>{"Desk"})
        << testing::PrintToString(program->lines);
    EXPECT_EQ(assignedTo(dataFolder() / "layouts.json", "tessary-right"), focus);
    EXPECT_EQ(countStarting(program->lines, "AppDelegate: \u201Clayouts.json\u201D is saved again"), 1u)
        << testing::PrintToString(program->lines);
}

// One user on two displays (a local and a remote session, two X screens): an instance on each, one
// home. Each keeps what the other saved, and sees it: workspaces saved on either, and layouts
// assigned in turn, the second instance's copy of an assignment older than the first's change.
TEST_F(StoredDataTest, TwoInstancesOnOneHomeKeepEachOthersSaves) {
    auto first = startInstance();
    VirtualDesktop other;
    ::setenv("DISPLAY", desktop->display().c_str(), 1);
    const std::vector<std::string> sameHome{"XDG_CONFIG_HOME=" + desktop->configHome(),
                                            "XDG_DATA_HOME=" + desktop->dataHome(),
                                            "XDG_RUNTIME_DIR=" + desktop->runtimeDirectory()};
    auto second = std::make_unique<TessaryProgram>(other, programPath(), std::vector<std::string>{}, sameHome);
    ASSERT_TRUE(second->expectLine(activeLine, 0, 20s)) << testing::PrintToString(second->lines);
    const fs::path otherSocket = socket().parent_path() / ("local-" + other.display().substr(1) + ".socket");
    ASSERT_TRUE(waitFor([&] { return fs::exists(otherSocket); }, 10s));
    const auto onOther = [&](std::vector<std::string> arguments) {
        TessaryProgram later(other, programPath(), std::move(arguments), sameHome);
        later.readToEnd(30s);
        return std::make_pair(later.exitStatus(), later.lines);
    };

    EXPECT_EQ(startAgain({"save-workspace", "--name", "First"}).first, 0);
    EXPECT_EQ(onOther({"save-workspace", "--name", "Second"}).first, 0);
    EXPECT_EQ(workspaceNames(dataFolder() / "workspaces.json"), (std::set<std::string>{"First", "Second"}));
    // Each lists the other's too, without a save of its own, as soon as it has heard of it.
    EXPECT_TRUE(waitFor(
        [&] {
            const auto listed = startAgain({"list", "workspaces"}).second;
            return std::any_of(listed.begin(), listed.end(),
                               [](const std::string& line) { return line.find("\tSecond") != std::string::npos; });
        },
        10s));

    const auto listed = startAgain({"list", "layouts"}).second;
    const std::string focus = layoutNamed(listed, "Focus"), grid = layoutNamed(listed, "Grid"),
                      rows = layoutNamed(listed, "Rows"), columns = layoutNamed(listed, "Columns");
    const auto apply = [](const std::string& layout, const char* display) {
        return std::vector<std::string>{"apply-layout", "--layout", layout, "--display", display};
    };
    EXPECT_EQ(startAgain(apply(focus, "tessary-right")).first, 0);
    EXPECT_EQ(onOther(apply(grid, "tessary-left")).first, 0);
    EXPECT_EQ(startAgain(apply(rows, "tessary-right")).first, 0);
    EXPECT_EQ(onOther(apply(columns, "tessary-left")).first, 0);

    EXPECT_EQ(quit(*first), 0);
    ::kill(second->process.pid(), SIGTERM);
    EXPECT_EQ(second->exitStatus(15s), 0);
    second.reset();
    EXPECT_EQ(workspaceNames(dataFolder() / "workspaces.json"), (std::set<std::string>{"First", "Second"}));
    EXPECT_EQ(assignedTo(dataFolder() / "layouts.json", "tessary-right"), rows);
    EXPECT_EQ(assignedTo(dataFolder() / "layouts.json", "tessary-left"), columns);
}

// Whether the process holds a connected local socket: a later start connects only to reach the
// instance.
bool isConnected(pid_t pid) {
    std::set<std::string> inodes;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string link = fs::read_symlink(entry.path(), error).string();
        if (link.starts_with("socket:[")) inodes.insert(link.substr(8, link.size() - 9));
    }
    // Num RefCount Protocol Flags Type St Inode [Path]; St 03 is connected.
    std::ifstream table("/proc/net/unix");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string num, refs, protocol, flags, type, state, inode;
        fields >> num >> refs >> protocol >> flags >> type >> state >> inode;
        if (state == "03" && inodes.contains(inode)) return true;
    }
    return false;
}

// The instance dies (a crash, kill -9) with a start's connection and five commands' in its queue,
// as when a service manager restarts it or a user clicks again right away: each is reset, and the
// start must then take over rather than end with no instance at all, and each command be answered.
// 25 times over.
TEST_F(StoredDataTest, AStartWaitingOnAnInstanceThatDiesTakesOver) {
    auto instance = startInstance();
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Stopped, it answers nobody: every connection waits in its queue until it is killed.
        ASSERT_EQ(::kill(instance->process.pid(), SIGSTOP), 0);
        std::vector<std::unique_ptr<TessaryProgram>> commands;
        for (int i = 0; i < 5; ++i) {
            commands.push_back(std::make_unique<TessaryProgram>(*desktop, programPath(), std::vector<std::string>{"list", "layouts"}));
        }
        auto start = std::make_unique<TessaryProgram>(*desktop, programPath());
        const bool queued = waitFor([&] { return isConnected(start->process.pid()); }, 10s);
        instance->process.crash();
        ASSERT_TRUE(queued) << "the start never reached the instance";
        ASSERT_TRUE(start->expectLine(activeLine, 0, 30s)) << testing::PrintToString(start->lines);
        for (auto& command : commands) {
            EXPECT_EQ(command->exitStatus(30s), 0) << testing::PrintToString(command->lines);
            command->readToEnd(1s);
        }
        instance = std::move(start);
        ASSERT_TRUE(waitFor([&] { return fs::exists(socket()); }, 10s)) << "no socket";
    }
    EXPECT_EQ(startAgain({}).first, 0);
    EXPECT_TRUE(instance->expectLine("AppDelegate: Opened again")) << testing::PrintToString(instance->lines);
}

// Answers as long as the user's library makes them reach the command line; a request too long to
// take is refused in words by the instance; the same request without an instance, or without
// documents, says what it can.
TEST_F(StoredDataTest, AnswersOfAnyLengthAndRequestsTooLongGetClearAnswers) {
    store("layouts.json", libraryOf(10000));
    auto program = startInstance();
    auto [status, printed] = startAgain({"list", "layouts"});
    EXPECT_EQ(status, 0) << (printed.empty() ? "" : printed.front());
    EXPECT_EQ(printed.size(), 10000u);
    EXPECT_EQ(printed.back(), idNumber(10000).uuidString() + "\tLayout 9999\t2 zones");

    const auto tooLong = startAgain({"tessary://workspace?name=" + std::string(100 * 1024, 'w')});
    EXPECT_EQ(tooLong.first, 1);
    EXPECT_EQ(tooLong.second, std::vector<std::string>{"tessary: the request is larger than 64 kB"});
    EXPECT_TRUE(program->expectLine("Instance: Refused a request larger than 64 kB")) << testing::PrintToString(program->lines);
    EXPECT_EQ(quit(*program), 0);

    // No instance, no documents: the starter layouts, which a start then lists by the same
    // identifiers, and why.
    fs::remove_all(dataFolder());
    auto none = startAgain({"list", "layouts"});
    EXPECT_EQ(none.first, 0);
    const std::string note = "No layouts are stored yet: Tessary starts from its starter layouts.";
    EXPECT_THAT(none.second, Contains(note));
    EXPECT_FALSE(fs::exists(dataFolder() / "layouts.json")) << "a list writes nothing";
    std::erase(none.second, note);
    auto started = startInstance();
    EXPECT_EQ(startAgain({"list", "layouts"}).second, none.second);
    EXPECT_EQ(quit(*started), 0);

    const auto help = startAgain({"--help"});
    EXPECT_EQ(help.first, 0);
    EXPECT_THAT(help.second, Contains(HasSubstr("  tessary://snap?zone=N[&bundle=CLASS]")));
    EXPECT_THAT(help.second, Contains(HasSubstr("  tessary://workspace?name=NAME")));
}

// The first start takes its own request under the limit a forwarded one meets, and says so in a
// short line; settings far too large to read are told as the documents are.
TEST_F(StoredDataTest, TheFirstStartRefusesARequestTooLongAndTellsOfSettingsTooLarge) {
    const fs::path defaults = fs::path(desktop->configHome()) / "Tessary" / "defaults.json";
    std::ofstream(defaults, std::ios::app) << " ";
    fs::resize_file(defaults, 17 * 1024 * 1024);
    TessaryProgram program(*desktop, programPath(), {"tessary://workspace?name=" + std::string(100 * 1024, 'w')});
    EXPECT_TRUE(program.expectLine(activeLine, 0, 20s)) << testing::PrintToString(program.lines);
    EXPECT_TRUE(waitFor([&] { return fs::exists(socket()); }, 10s));
    EXPECT_EQ(quit(program), 0);
    EXPECT_THAT(program.lines, Contains("tessary: the request is larger than 64 kB"));
    for (const std::string& line : program.lines) EXPECT_LT(line.size(), 2000u) << line.substr(0, 200);
    EXPECT_EQ(countStarting(program.lines, "AppDelegate: \u201Cdefaults.json\u201D could not be read: The file "
                                           "\u201Cdefaults.json\u201D is 17 MB, larger than the 16 MB Tessary reads"),
              1u)
        << testing::PrintToString(program.lines);
    EXPECT_EQ(fs::file_size(defaults), 17u * 1024 * 1024) << "left as it is";
}

// With no runtime folder ($XDG_RUNTIME_DIR unset, as under su or an ssh session without a login
// session) a second plain start still finds the running instance instead of running another.
TEST_F(StoredDataTest, WithoutARuntimeFolderASecondStartFindsTheFirst) {
    const fs::path fallback = fs::path("/tmp/tessary-runtime-" + std::to_string(::getuid())) / "tessary" /
                              ("local-" + desktop->display().substr(1) + ".socket");
    auto program = startInstance({"XDG_RUNTIME_DIR="}, fallback);
    EXPECT_EQ(startAgain({}, {"XDG_RUNTIME_DIR="}).first, 0) << "a second instance runs";
    EXPECT_TRUE(program->expectLine("AppDelegate: Opened again")) << testing::PrintToString(program->lines);
    EXPECT_EQ(quit(*program), 0);
}

// Documents far larger than the program writes are refused before they are read (a whole read took
// the program to 250-397 MB), kept as they are, and the program runs as with none.
TEST_F(StoredDataTest, DocumentsFarTooLargeAreRefusedUnreadAndKept) {
    auto ordinary = startInstance();
    const long ordinaryKB = residentKilobytes(ordinary->process.pid());
    EXPECT_EQ(quit(*ordinary), 0);

    for (const char* name : {"layouts.json", "workspaces.json", "memory.json", "rules.json"}) {
        std::ofstream(dataFolder() / name) << "{\"version\": 1, ";
        fs::resize_file(dataFolder() / name, 50'000'000);
    }
    auto program = startInstance();
    const long largeKB = residentKilobytes(program->process.pid());
    // Kept in memory, never written over the file: the command says it was not saved.
    const auto saved = startAgain({"save-workspace", "--name", "Desk"});
    EXPECT_EQ(saved.first, 1);
    EXPECT_THAT(saved.second, Contains(HasSubstr("was not saved because it could not be read earlier")));
    EXPECT_EQ(quit(*program), 0);
    for (const char* name : {"layouts.json", "workspaces.json", "memory.json", "rules.json"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(fs::file_size(dataFolder() / name), 50'000'000u);
        EXPECT_EQ(countStarting(program->lines, "AppDelegate: \u201C" + std::string(name) +
                                                    "\u201D could not be read: The file \u201C" + name +
                                                    "\u201D is 47.7 MB, larger than the 16 MB Tessary reads; it is left "
                                                    "as it is. Tessary starts with "),
                  1u)
            << testing::PrintToString(program->lines);
    }
    // Reading them whole would take hundreds of megabytes more.
    EXPECT_LT(largeKB, ordinaryKB + 30 * 1024) << ordinaryKB << " kB with ordinary documents";
    std::cout << "[ MEASURE  ] resident after start: " << ordinaryKB << " kB with ordinary documents, " << largeKB
              << " kB with four 50 MB ones\n";
}

// Starts in bursts at an instance kept busy by thousands of stored workspaces, saves in flight, as a
// script of the user's drives it: every start is answered, and the instance holds no descriptor
// more afterwards. Ten rounds here; TESSARY_STRESS_ROUNDS runs it as long as wanted (the issue's
// 33 starts of 50 rounds are TESSARY_STRESS_ROUNDS=50 with TESSARY_STRESS_STARTS=33).
TEST_F(StoredDataTest, BurstsOfStartsAtABusyInstanceAreAnsweredAndLeaveNoDescriptor) {
    const auto setting = [](const char* name, int fallback) {
        const char* value = std::getenv(name);
        return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
    };
    const int rounds = setting("TESSARY_STRESS_ROUNDS", 10);
    const int starts = setting("TESSARY_STRESS_STARTS", 1);
    store("layouts.json", libraryOf(2));
    store("workspaces.json", workspacesOf(3000));
    for (int start = 0; start < starts; ++start) {
        SCOPED_TRACE("instance start " + std::to_string(start));
        auto program = std::make_unique<TessaryProgram>(*desktop, programPath());
        // The script begins as soon as the instance holds its lock, before it listens.
        ASSERT_TRUE(waitFor([&] { return instanceHoldsItsLock(); }, 10s));
        std::map<std::string, std::vector<std::string>> failures;
        auto descriptorsOf = [&] { return static_cast<long>(std::distance(
                                       fs::directory_iterator("/proc/" + std::to_string(program->process.pid()) + "/fd"),
                                       fs::directory_iterator())); };
        long afterFirstRound = -1;
        for (int round = 0; round < rounds; ++round) {
            // Two saves and a layout, started together, each a process of its own.
            std::vector<std::thread> burst;
            std::vector<std::pair<int, std::vector<std::string>>> answers(3);
            const std::vector<std::vector<std::string>> requests{
                {"save-workspace", "--name", "A " + std::to_string(round)},
                {"save-workspace", "--name", "B " + std::to_string(round)},
                {"apply-layout", "--layout", idNumber(1 + round % 2).uuidString(), "--display", "tessary-left"}};
            for (std::size_t i = 0; i < requests.size(); ++i) {
                burst.emplace_back([&, i] { answers[i] = startAgain(requests[i]); });
            }
            for (std::thread& thread : burst) thread.join();
            for (std::size_t i = 0; i < requests.size(); ++i) {
                if (answers[i].first != 0) failures[requests[i][0] + " in round " + std::to_string(round)] = answers[i].second;
            }
            if (round == 0) afterFirstRound = descriptorsOf();
        }
        EXPECT_THAT(failures, ::testing::IsEmpty());
        // Whatever the last connection left is closed within a turn or two of the loop.
        EXPECT_TRUE(waitFor([&] { return descriptorsOf() <= afterFirstRound; }, 5s))
            << descriptorsOf() << " descriptors open, " << afterFirstRound << " after the first round";
        EXPECT_EQ(quit(*program), 0);
        EXPECT_EQ(countStarting(program->lines, "Instance: "), 0u) << testing::PrintToString(program->lines);
    }
}

}  // namespace
}  // namespace tessary::e2e
