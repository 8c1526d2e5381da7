// The sync folder as users' desktops treat it while two machines run on it: a parent renamed away
// and a copy put back, a file system mounted over it, the folder read-only for a while, damaged
// files dropped in one after another. Each machine's change must still reach the other, and the
// Sync panes must say where things stand.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/sync/SyncMachine.h"

namespace tessary::e2e {
namespace {

// Puts this test and the programs it starts into a mount namespace of their own, so that mounts
// are seen by both machines and by no one else: as root directly, else inside a user namespace of
// its own. False where neither is allowed (the reason in `why`).
bool privateMounts(std::string& why) {
    if (::geteuid() != 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            why = std::string("neither root nor allowed a user namespace: ") + std::strerror(errno);
            return false;
        }
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    } else if (::unshare(CLONE_NEWNS) != 0) {
        why = std::string("cannot make a mount namespace: ") + std::strerror(errno);
        return false;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        why = std::string("cannot keep mounts private: ") + std::strerror(errno);
        return false;
    }
    return true;
}

// A mount over a folder, taken away again when the test ends, before the folder is removed.
class Mounted {
public:
    explicit Mounted(fs::path at) : at_(std::move(at)) {}
    ~Mounted() { ::umount2(at_.c_str(), MNT_DETACH); }
    Mounted(const Mounted&) = delete;
    Mounted& operator=(const Mounted&) = delete;

private:
    fs::path at_;
};

// A rule made on each machine in turn reaches the other within 10 s; then both panes show no error
// and say "Up to date".
void eachNextChangeReachesTheOther(Machine& a, Machine& b, const std::string& after) {
    struct Turn {
        Machine& from;
        Machine& to;
        std::string application;
    };
    for (const Turn& turn : {Turn{a, b, "org.example.FromA"}, Turn{b, a, "org.example.FromB"}}) {
        SCOPED_TRACE(turn.application);
        const auto asked = Clock::now();
        const Reply made = turn.from.run({"sync-test", "add-rule", turn.application});
        ASSERT_EQ(made.status, 0) << testing::PrintToString(made.lines);
        EXPECT_TRUE(eventually(a, b, [&] {
            const auto rules = turn.to.rules();
            return rules && countRulesFor(*rules, turn.application) == 1;
        }, 10s)) << "the rule did not reach the other machine\n" << testing::PrintToString(turn.from.lines)
                 << testing::PrintToString(turn.to.lines);
        std::printf("[ MEASURE  ] after %s, a rule reached the other machine %lld ms after it was made\n", after.c_str(),
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count()));
    }
    for (Machine* machine : {&a, &b}) {
        EXPECT_TRUE(machine->settingsSay({"value", "syncError"}, "status 1 no control syncError"))
            << machine->settings({"value", "syncError"});
        EXPECT_TRUE(machine->settingsSay({"value", "syncStatus"}, "Up to date")) << machine->settings({"value", "syncStatus"});
    }
}

// Both machines took what the path names now for the folder back, as their logs say.
bool bothTookTheFolderBack(Machine& a, Machine& b, const fs::path& folder) {
    const std::string back = "SyncFolder: The sync folder " + folder.string() + " is back; synchronising again";
    return eventually(a, b, [&] { return a.hasLine(back) && b.hasLine(back); }, 10s);
}

// Two machines on `shared`, launched, each with its Sync pane open.
struct TwoMachines {
    explicit TwoMachines(const fs::path& shared) : a(shared), b(shared) {}
    bool ready() {
        return a.launched() && b.launched() && a.settings({"open", "sync"}).empty() && b.settings({"open", "sync"}).empty();
    }
    Machine a;
    Machine b;
};

// `mv ~/Cloud ~/Cloud.old && cp -a ~/Cloud.old ~/Cloud`, as backup and sync tools do: each machine
// follows the folder by its path, not the one it watched.
TEST(SyncFolderE2ETest, AParentRenamedAwayAndACopyPutBackKeepsBothMachinesInStep) {
    TemporaryFolder root;
    const fs::path cloud = root / "Cloud";
    fs::create_directories(cloud / "Sync");
    TwoMachines machines(cloud / "Sync");
    ASSERT_TRUE(machines.ready()) << testing::PrintToString(machines.a.lines) << testing::PrintToString(machines.b.lines);

    fs::rename(cloud, root / "Cloud.old");
    ASSERT_TRUE(machines.a.desktop->run({"cp", "-a", (root / "Cloud.old").string(), cloud.string()}, Clock::now() + 10s));
    ASSERT_TRUE(bothTookTheFolderBack(machines.a, machines.b, cloud / "Sync"))
        << testing::PrintToString(machines.a.lines) << testing::PrintToString(machines.b.lines);
    eachNextChangeReachesTheOther(machines.a, machines.b, "a parent renamed and a copy put back");
    for (const std::string application : {"org.example.FromA", "org.example.FromB"}) {
        const auto there = decodeFile<RuleSet>(cloud / "Sync" / "rules.v1");
        EXPECT_TRUE(there && countRulesFor(*there, application) == 1) << application << " is not in the folder at the path";
    }
    machines.b.screenshot("sync-pane-parent-renamed-copy-back.png");
    EXPECT_TRUE(machines.a.quit());
    EXPECT_TRUE(machines.b.quit());
}

// A disk or share mounted over the sync folder after both started (an automount that comes up
// after the autostart), and taken away again.
TEST(SyncFolderE2ETest, AFileSystemMountedOverTheFolderKeepsBothMachinesInStep) {
    std::string why;
    if (!privateMounts(why)) GTEST_SKIP() << "mounting needs root or a user namespace: " << why;
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);
    TwoMachines machines(shared);
    ASSERT_TRUE(machines.ready()) << testing::PrintToString(machines.a.lines) << testing::PrintToString(machines.b.lines);

    ASSERT_EQ(::mount("tmpfs", shared.c_str(), "tmpfs", 0, "size=4m,mode=0755"), 0) << std::strerror(errno);
    const Mounted mounted(shared);
    ASSERT_TRUE(bothTookTheFolderBack(machines.a, machines.b, shared))
        << testing::PrintToString(machines.a.lines) << testing::PrintToString(machines.b.lines);
    eachNextChangeReachesTheOther(machines.a, machines.b, "a tmpfs mounted over the folder");
    for (const char* key : {"layouts.v1", "rules.v1", "workspaces.v1"}) {
        EXPECT_TRUE(fs::is_regular_file(shared / key)) << key << " was not written to the mounted file system";
    }
    machines.a.screenshot("sync-pane-folder-mounted-over.png");
    EXPECT_TRUE(machines.a.quit());
    EXPECT_TRUE(machines.b.quit());
}

// A change refused by a read-only folder (a read-only bind mount as root, 0555 for a user) reaches
// the other machine within 40 s of the folder becoming writable, with no further edit, and the
// pane that showed the refusal then says "Up to date".
TEST(SyncFolderE2ETest, AChangeRefusedByAReadOnlyFolderArrivesOnceItIsWritable) {
    const bool root = ::geteuid() == 0;
    std::string why;
    if (root && !privateMounts(why)) GTEST_SKIP() << "making the folder read-only as root needs a mount: " << why;
    TemporaryFolder top;
    const fs::path shared = top / "Sync";
    fs::create_directories(shared);
    TwoMachines machines(shared);
    ASSERT_TRUE(machines.ready()) << testing::PrintToString(machines.a.lines) << testing::PrintToString(machines.b.lines);

    std::optional<Mounted> readOnly;
    if (root) {
        ASSERT_EQ(::mount(shared.c_str(), shared.c_str(), nullptr, MS_BIND, nullptr), 0) << std::strerror(errno);
        readOnly.emplace(shared);
        ASSERT_EQ(::mount(nullptr, shared.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0)
            << std::strerror(errno);
    } else {
        fs::permissions(shared, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }
    const Reply made = machines.a.run({"sync-test", "add-rule", "org.example.WhileReadOnly"});
    ASSERT_EQ(made.status, 0) << testing::PrintToString(made.lines);
    const std::string refusal = std::string("Could not write sync folder data: \u201Crules.v1\u201D could not be written: ") +
                                (root ? "Read-only file system" : "Permission denied");
    EXPECT_TRUE(machines.a.settingsSay({"value", "syncError"}, refusal, true)) << machines.a.settings({"value", "syncError"});
    EXPECT_TRUE(machines.a.settingsSay({"value", "syncStatus"}, "Not synced"));
    machines.a.screenshot("sync-pane-folder-read-only.png");

    if (root) {
        readOnly.reset();
    } else {
        fs::permissions(shared, fs::perms::owner_all, fs::perm_options::add);
    }
    const auto writable = Clock::now();
    EXPECT_TRUE(eventually(machines.a, machines.b, [&] {
        const auto rules = machines.b.rules();
        return rules && countRulesFor(*rules, "org.example.WhileReadOnly") == 1;
    }, 40s)) << "the refused change never arrived\n" << testing::PrintToString(machines.a.lines);
    std::printf("[ MEASURE  ] a refused change reached the other machine %lld ms after the folder became writable\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - writable).count()));
    EXPECT_TRUE(machines.a.settingsSay({"value", "syncError"}, "status 1 no control syncError"))
        << machines.a.settings({"value", "syncError"});
    EXPECT_TRUE(machines.a.settingsSay({"value", "syncStatus"}, "Up to date"));
    EXPECT_TRUE(machines.a.quit());
    EXPECT_TRUE(machines.b.quit());
}

// Seven different damaged rules.v1 dropped in one after another while both machines watch: each is
// set aside once (one copy, one notice, whichever machine made it) and the five newest stay.
TEST(SyncFolderE2ETest, SevenDamagedValuesLeaveTheFiveNewestOnceEach) {
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);
    TwoMachines machines(shared);
    ASSERT_TRUE(machines.ready()) << testing::PrintToString(machines.a.lines) << testing::PrintToString(machines.b.lines);

    std::vector<std::string> damages;
    for (int n = 1; n <= 7; ++n) {
        SCOPED_TRACE(n);
        damages.push_back("{\"rules\": [ damage " + std::to_string(n));
        writeFile(shared / ".rules.v1.incoming", damages.back());
        fs::rename(shared / ".rules.v1.incoming", shared / "rules.v1");
        ASSERT_TRUE(eventually(machines.a, machines.b, [&] {
            const std::vector<std::string> copies = rulesSetAside(shared);
            return decodeFile<RuleSet>(shared / "rules.v1").has_value() &&
                   std::count(copies.begin(), copies.end(), damages.back()) == 1;
        }, 10s)) << "damage " << n << " was not set aside and replaced";
        // Both machines done with it (the folder quiet for a second), as damages that arrive apart:
        // one dropped while a machine is still replacing the last is replaced unread.
        bool quiet = false;
        for (int look = 0; look < 10 && !quiet; ++look) quiet = writesWithin(shared, 1s, machines.a, machines.b).empty();
        ASSERT_TRUE(quiet) << "the machines kept writing to the folder";
    }
    std::vector<std::string> kept = rulesSetAside(shared);
    std::sort(kept.begin(), kept.end());
    std::vector<std::string> newest(damages.end() - 5, damages.end());
    std::sort(newest.begin(), newest.end());
    EXPECT_EQ(kept, newest);

    EXPECT_TRUE(machines.a.quit());
    EXPECT_TRUE(machines.b.quit());
    EXPECT_EQ(toldRulesSetAside(machines.a) + toldRulesSetAside(machines.b), 7)
        << testing::PrintToString(machines.a.lines) << testing::PrintToString(machines.b.lines);
}

}  // namespace
}  // namespace tessary::e2e
