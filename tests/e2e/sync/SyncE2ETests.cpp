// Two machines synchronising through one sync folder: the real tessary program twice, each on an X
// server of its own with its own XDG folders (so each starts from its own starter library), both on
// one shared folder as a file-sync tool would share it between two machines. Edits are made
// through the program's command-line verbs; what each machine holds is read from its own document
// files, as they are on its disk.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/sync/SyncMachine.h"

namespace tessary::e2e {
namespace {

TEST(SyncE2ETest, TwoInstancesExchangeTheirEditsAndDeletionsThenGoQuiet) {
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);

    // The first finds the folder empty and writes its own starter documents into it; the second
    // then merges both starter libraries at its launch, and the first takes the merge from the folder.
    Machine first(shared);
    ASSERT_TRUE(first.launched()) << testing::PrintToString(first.lines);
    for (const char* key : {"layouts.v1", "rules.v1", "workspaces.v1"}) {
        EXPECT_TRUE(fs::is_regular_file(shared / key)) << key << " was not written at the first launch";
    }
    Machine second(shared);
    ASSERT_TRUE(second.launched()) << testing::PrintToString(second.lines);
    auto layoutCount = [](Machine& machine) { return machine.layouts() ? machine.layouts()->layouts.size() : 0; };
    // The starter layouts are the same on both machines: each is listed once.
    EXPECT_TRUE(eventually(first, second, [&] { return layoutCount(first) == 6 && layoutCount(second) == 6; }, 10s))
        << "layouts: " << layoutCount(first) << " on the first, " << layoutCount(second) << " on the second";

    // A layout made and assigned on the first reaches the second soon after the 2 s upload delay,
    // with its assignment (the second has the same displays and no assignment of its own).
    const Reply made = first.run({"sync-test", "add-layout", "Tessellate"});
    ASSERT_EQ(made.status, 0) << testing::PrintToString(made.lines);
    const std::string layoutID = made.first();
    const Reply assigned = first.run({"apply-layout", "--layout", layoutID, "--display", "tessary-left"});
    ASSERT_EQ(assigned.status, 0) << testing::PrintToString(assigned.lines);
    const auto assignedAt = Clock::now();
    const auto library = first.layouts();
    ASSERT_TRUE(library);
    const auto assignment = std::find_if(library->assignments.begin(), library->assignments.end(),
                                         [&](const auto& entry) { return entry.second.uuidString() == layoutID; });
    ASSERT_NE(assignment, library->assignments.end()) << "the first did not store the assignment";
    const bool arrived = eventually(first, second, [&] {
        const auto there = second.layouts();
        return there && there->layout(*UUID::parsing(layoutID)) && there->assignments.count(assignment->first) &&
               there->assignments.at(assignment->first).uuidString() == layoutID;
    }, 15s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - assignedAt);
    ASSERT_TRUE(arrived) << "the layout or its assignment did not reach the second";
    std::printf("[ MEASURE  ] a new layout reached the other instance %lld ms after it was assigned "
                "(2000 ms of them the upload delay)\n",
                static_cast<long long>(took.count()));
    RecordProperty("layout_arrival_ms", std::to_string(took.count()));
    EXPECT_LT(took, 6s);
    // The running second shows it too, not only its file.
    EXPECT_THAT(second.run({"list", "layouts"}).lines, ::testing::Contains(layoutID + "\tTessellate\t3 zones"));

    // A rule and a workspace made on the first reach the second, in one upload.
    const Reply rule = first.run({"sync-test", "add-rule", "org.example.Mail"});
    ASSERT_EQ(rule.status, 0) << testing::PrintToString(rule.lines);
    const Reply saved = first.run({"save-workspace", "--name", "Evening"});
    ASSERT_EQ(saved.status, 0) << testing::PrintToString(saved.lines);
    ASSERT_TRUE(eventually(first, second, [&] {
        const auto rules = second.rules();
        const auto workspaces = second.workspaces();
        return rules && countRulesFor(*rules, "org.example.Mail") == 1 && workspaces &&
               workspaces->workspaceNamed("Evening");
    }, 15s)) << "the rule or the workspace did not reach the second";

    // Deleted on the second, the rule disappears on the first: the tombstone travels, and the
    // first's copy does not bring the rule back.
    const Reply deleted = second.run({"sync-test", "delete-rule", "org.example.Mail"});
    ASSERT_EQ(deleted.status, 0) << testing::PrintToString(deleted.lines);
    EXPECT_EQ(deleted.first(), "1");
    EXPECT_TRUE(eventually(first, second, [&] {
        const auto rules = first.rules();
        return rules && countRulesFor(*rules, "org.example.Mail") == 0 && rules->deletedRules.count(rule.first());
    }, 15s)) << "the deletion did not reach the first";

    // Then neither writes to the folder again, and neither reports a failure.
    const auto writes = writesWithin(shared, 10s, first, second);
    EXPECT_THAT(writes, ::testing::IsEmpty()) << "the folder was written after the exchange";
    EXPECT_EQ(second.rules()->rules, first.rules()->rules);
    for (Machine* machine : {&first, &second}) {
        const Reply state = machine->run({"sync-test", "state"});
        EXPECT_EQ(state.status, 0);
        EXPECT_THAT(state.first(), ::testing::MatchesRegex("started\t[0-9T:.Z-]+\t-")) << "the sync reports a failure";
    }
    // Both end cleanly at SIGTERM, having logged no sync failure and nothing for the sanitizers.
    for (Machine* machine : {&first, &second}) {
        ::kill(machine->program.pid(), SIGTERM);
        const auto deadline = Clock::now() + 15s;
        while (auto line = machine->program.readLine(deadline)) machine->lines.push_back(*line);
        const auto status = machine->program.waitForExit(deadline);
        EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << testing::PrintToString(machine->lines);
        for (const std::string& line : machine->lines) {
            EXPECT_FALSE(line.starts_with("CloudSync: ") || line.starts_with("SyncFolder: ") ||
                         line.find("Sanitizer") != std::string::npos || line.find("runtime error:") != std::string::npos)
                << line;
        }
    }
}

// A first folder chosen in the Sync pane of a program that syncs through none: the pane shows it
// chosen with the switch usable and says what to do; after the program is started again, the
// folder receives the three documents.
TEST(SyncE2ETest, AFolderChosenInTheSyncPaneReceivesTheDocumentsFromTheNextStart) {
    TemporaryFolder root;
    const fs::path chosen = root / "Chosen";
    fs::create_directories(chosen);
    Machine machine(std::nullopt);
    ASSERT_TRUE(machine.launched()) << testing::PrintToString(machine.lines);
    ASSERT_EQ(machine.settings({"open", "sync"}), "");
    ASSERT_TRUE(machine.settingsSay({"pane"}, "Sync"));
    EXPECT_EQ(machine.settings({"value", "syncFolder"}), "No folder chosen");

    // Qt's folder dialog: the path typed into its name field, then Return. The dialog reads its
    // folders in another thread and, when they arrive while a path is being typed, selects what
    // matches and rewrites the field with it ("tessary-test-..." "Chosen"), faster typing than a
    // hand's on a loaded machine: typed again over the whole field, as a user who sees it does.
    ASSERT_TRUE(machine.click("chooseSyncFolder"));
    ASSERT_TRUE(machine.settingsSay({"focus"}, "fileNameEdit")) << "the folder dialog did not take the keyboard";
    machine.type(chosen.string());
    auto typed = [&] {
        return waitUntil([&] { return machine.settings({"value", "fileNameEdit"}) == chosen.string(); },
                         Clock::now() + 2s, -1, 100ms);
    };
    for (int retype = 0; retype < 3 && !typed(); ++retype) {
        constexpr uint32_t control = 0xffe3;
        machine.desktop->pressKey(control, true);
        machine.type("a");
        machine.desktop->pressKey(control, false);
        machine.type(chosen.string());
    }
    ASSERT_TRUE(typed()) << machine.settings({"value", "fileNameEdit"});
    machine.desktop->pressKey(0xff0d, true);
    machine.desktop->pressKey(0xff0d, false);
    ASSERT_TRUE(machine.settingsSay({"value", "syncFolder"}, chosen.string())) << machine.settings({"value", "syncFolder"});
    EXPECT_TRUE(machine.settingsSay({"value", "syncFolderNote"}, "Chosen. Turn on sync below", true));

    ASSERT_TRUE(machine.click("syncEnabled"));
    ASSERT_TRUE(machine.settingsSay({"value", "syncEnabled"}, "on")) << "the switch is usable";
    EXPECT_TRUE(machine.settingsSay({"value", "syncFolderNote"},
                                    "Chosen. Tessary syncs through this folder from its next start: quit Tessary and "
                                    "start it again."));
    machine.screenshot("sync-pane-folder-chosen.png");
    EXPECT_TRUE(fs::is_empty(chosen)) << "nothing is written before the next start";

    // The step the pane names: quit, start again.
    ASSERT_TRUE(machine.quit()) << testing::PrintToString(machine.lines);
    machine.start();
    ASSERT_TRUE(machine.launched()) << testing::PrintToString(machine.lines);
    EXPECT_TRUE(waitUntil([&] {
        machine.drain();
        return fs::is_regular_file(chosen / "layouts.v1") && fs::is_regular_file(chosen / "rules.v1") &&
               fs::is_regular_file(chosen / "workspaces.v1");
    }, Clock::now() + 15s, -1, 100ms)) << "the folder did not receive the three documents";
    ASSERT_EQ(machine.settings({"open", "sync"}), "");
    // The note is hidden: nothing waits for another start.
    EXPECT_TRUE(machine.settingsSay({"value", "syncFolderNote"}, "status 1 no control", true));
    EXPECT_TRUE(machine.quit());
}

// One machine's clock runs a year ahead. It saves a workspace; the other, with the right clock,
// saves the same workspace again later with a window open: that later edit is the one both keep.
TEST(SyncE2ETest, TheLaterEditWinsOverAMachineWhoseClockRunsAYearAhead) {
    const char* library = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
    if (!fs::exists(library)) GTEST_SKIP() << "faketime is not installed (scripts/setup installs it)";
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);
    const char* asan = std::getenv("ASAN_OPTIONS");
    Machine ahead(shared, {std::string("LD_PRELOAD=") + library, "FAKETIME=+365d",
                           "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":verify_asan_link_order=0"});
    Machine behind(shared);
    ASSERT_TRUE(ahead.launched()) << testing::PrintToString(ahead.lines);
    ASSERT_TRUE(behind.launched()) << testing::PrintToString(behind.lines);

    ASSERT_EQ(ahead.run({"save-workspace", "--name", "Shared"}).status, 0);
    ASSERT_TRUE(eventually(ahead, behind, [&] { return workspaceNamed(behind, "Shared").has_value(); }, 15s));
    const auto first = workspaceNamed(behind, "Shared");
    ASSERT_TRUE(first);
    EXPECT_GT(first->modifiedAt, Date::now().addingSeconds(300 * 86400.0)) << "the clock ahead is in effect";

    TestClient client = behind.desktop->startClient();
    ASSERT_NE(client.open("class=Editor title=notes x=100 y=100 w=400 h=300"), 0u);
    const Reply saved = behind.run({"save-workspace", "--name", "Shared"});
    ASSERT_EQ(saved.status, 0) << testing::PrintToString(saved.lines);
    const auto holdsTheLaterEdit = [](const Machine& machine) {
        const auto workspace = workspaceNamed(machine, "Shared");
        return workspace && workspace->entries.size() == 1;
    };
    EXPECT_TRUE(eventually(ahead, behind, [&] { return holdsTheLaterEdit(ahead) && holdsTheLaterEdit(behind); }, 15s))
        << "ahead: " << (workspaceNamed(ahead, "Shared") ? workspaceNamed(ahead, "Shared")->entries.size() : 99)
        << " windows, behind: "
        << (workspaceNamed(behind, "Shared") ? workspaceNamed(behind, "Shared")->entries.size() : 99) << " windows";
    EXPECT_TRUE(ahead.quit());
    EXPECT_TRUE(behind.quit());
}

// The sync folder is removed while two instances run (a disk unplugged, a sync tool making it
// anew), then made again: the pane says where things stand meanwhile, and both pull, merge and
// push within 5 s of its return, with what each saved while it was gone.
TEST(SyncE2ETest, ASyncFolderRemovedAndMadeAgainIsPulledByBothWithinFiveSeconds) {
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);
    Machine a(shared);
    ASSERT_TRUE(a.launched()) << testing::PrintToString(a.lines);
    Machine b(shared);
    ASSERT_TRUE(b.launched()) << testing::PrintToString(b.lines);
    ASSERT_EQ(b.settings({"open", "sync"}), "");

    // A machine may be writing into the folder as it goes (a file made between the listing and
    // the folder's removal).
    removeFolder(shared);
    EXPECT_TRUE(b.settingsSay({"value", "syncError"}, "Could not read sync folder data: the sync folder is not there", true))
        << b.settings({"value", "syncError"});
    ASSERT_EQ(a.run({"save-workspace", "--name", "Saved on A"}).status, 0);
    ASSERT_EQ(b.run({"save-workspace", "--name", "Saved on B"}).status, 0);
    EXPECT_FALSE(fs::exists(shared)) << "nothing makes the folder but its owner";

    fs::create_directories(shared);
    const auto madeAt = Clock::now();
    const auto holdsBoth = [](const Machine& machine) {
        return workspaceNamed(machine, "Saved on A") && workspaceNamed(machine, "Saved on B");
    };
    EXPECT_TRUE(eventually(a, b, [&] { return holdsBoth(a) && holdsBoth(b); }, 5s))
        << testing::PrintToString(a.lines) << testing::PrintToString(b.lines);
    std::cout << "[ MEASURE  ] both machines hold each other's workspaces "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - madeAt).count()
              << " ms after the folder came back\n";
    // No error: the pane hides the line that would show one.
    EXPECT_TRUE(b.settingsSay({"value", "syncError"}, "status 1 no control syncError")) << b.settings({"value", "syncError"});
    EXPECT_TRUE(a.quit());
    EXPECT_TRUE(b.quit());
}

// Garbage in a sync file is kept under a dated name and replaced by this machine's documents: the
// pane ends with no error and the user is told. A newer version's file that this one cannot read
// stays as it is, and the pane names it.
TEST(SyncE2ETest, AFileThatDoesNotDecodeIsSetAsideAndReplacedWhileANewerOneIsNamed) {
    struct Case {
        const char* name;
        std::string bytes;
        bool setAside;
    };
    const Case cases[] = {
        {"garbage", "{\"rules\": [{\"id\": ", true},
        {"a newer version's", "{\"version\": 9, \"rules\": \"elsewhere\"}", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder root;
        const fs::path shared = root / "Sync";
        fs::create_directories(shared);
        writeFile(shared / "rules.v1", c.bytes);
        Machine machine(shared);
        ASSERT_TRUE(machine.launched()) << testing::PrintToString(machine.lines);
        ASSERT_EQ(machine.settings({"open", "sync"}), "");
        ASSERT_TRUE(machine.settingsSay({"pane"}, "Sync"));
        const std::vector<std::string> copies = rulesSetAside(shared);
        EXPECT_TRUE(fs::is_regular_file(shared / "layouts.v1")) << "the other documents still sync";
        if (c.setAside) {
            // No error: the pane hides the line that would show one.
            EXPECT_TRUE(machine.settingsSay({"value", "syncError"}, "status 1 no control syncError"))
                << machine.settings({"value", "syncError"});
            EXPECT_EQ(copies, std::vector<std::string>{c.bytes}) << "nothing of it lost";
            EXPECT_TRUE(decodeFile<RuleSet>(shared / "rules.v1").has_value()) << readFile(shared / "rules.v1");
            machine.drain();
            EXPECT_EQ(toldRulesSetAside(machine), 1) << testing::PrintToString(machine.lines);
        } else {
            const std::string sentence =
                "Could not read sync folder data: \u201Crules.v1\u201D in the sync folder is damaged or was written by a "
                "newer version of Tessary. It is left as it is and synchronised again once it can be read.";
            EXPECT_TRUE(machine.settingsSay({"value", "syncError"}, sentence)) << machine.settings({"value", "syncError"});
            machine.screenshot("sync-pane-broken-document.png");
            EXPECT_TRUE(copies.empty());
            EXPECT_EQ(readFile(shared / "rules.v1"), c.bytes);
        }
        EXPECT_TRUE(machine.quit());
    }
}

// Another machine's copy of the layouts, as it lands in the folder: written beside the file under a
// hidden name (the folder's temporaries) and moved over it.
void replaceLayoutsInFolder(const fs::path& folder, const std::function<void(LayoutLibrary&)>& change) {
    auto library = decodeFile<LayoutLibrary>(folder / "layouts.v1");
    ASSERT_TRUE(library) << "no layouts in the folder";
    change(*library);
    auto bytes = JSONDocumentStore<LayoutLibrary>::encode(*library);
    ASSERT_TRUE(bytes);
    writeFile(folder / ".layouts.v1.other", *bytes);
    fs::rename(folder / ".layouts.v1.other", folder / "layouts.v1");
}

// The editor's test query: the place of a named control, when it shows one.
bool editorShows(Machine& machine, const std::string& name) {
    return machine.run({"editor-test", "rect", name}).status == 0;
}

bool clickEditor(Machine& machine, const std::string& name, int dx = 0) {
    int x = 0, y = 0, width = 0, height = 0;
    const Reply reply = machine.run({"editor-test", "rect", name});
    if (reply.status != 0 || !(std::istringstream(reply.first()) >> x >> y >> width >> height)) return false;
    machine.desktop->movePointerTo(x + width / 2 + dx, y + height / 2);
    machine.desktop->pressButton(1, true);
    machine.desktop->pressButton(1, false);
    machine.desktop->syncInput();
    return true;
}

// The layout open in the editor deleted on another machine: the editor is left with no layout
// (no inspector, no preview), and what is typed then renames no other layout.
TEST(SyncE2ETest, TheOpenLayoutDeletedElsewhereLeavesTheEditorWithNone) {
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);
    Machine machine(shared);
    ASSERT_TRUE(machine.launched()) << testing::PrintToString(machine.lines);
    const Reply made = machine.run({"sync-test", "add-layout", "Doomed"});
    ASSERT_EQ(made.status, 0) << testing::PrintToString(made.lines);
    const UUID doomed = *UUID::parsing(made.first());
    ASSERT_TRUE(eventually(machine, machine, [&] {
        const auto there = decodeFile<LayoutLibrary>(shared / "layouts.v1");
        return there && there->layout(doomed);
    }, 10s)) << "the new layout was not uploaded";

    ASSERT_EQ(machine.run({"tessary://editor"}).status, 0);
    ASSERT_TRUE(waitUntil([&] { return clickEditor(machine, "Doomed"); }, Clock::now() + 15s));
    ASSERT_TRUE(waitUntil([&] { return editorShows(machine, "Preview on Screen"); }, Clock::now() + 10s));
    // Into the inspector's Name field, right of its label.
    ASSERT_TRUE(clickEditor(machine, "Name", 80));

    replaceLayoutsInFolder(shared, [&](LayoutLibrary& library) { library.deleteLayout(doomed, Date::now()); });
    ASSERT_TRUE(eventually(machine, machine, [&] { return editorShows(machine, "No Layout Selected"); }, 15s))
        << "the editor still shows a layout";
    EXPECT_FALSE(editorShows(machine, "Preview on Screen"));
    EXPECT_FALSE(editorShows(machine, "Inspector"));
    machine.type("Z");
    machine.desktop->pressKey(0xff09, true);  // Tab, on into the list
    machine.desktop->pressKey(0xff09, false);
    machine.type("Z");
    const Reply listed = machine.run({"list", "layouts"});
    ASSERT_EQ(listed.status, 0);
    for (const std::string& line : listed.lines) EXPECT_EQ(line.find("Z\t"), std::string::npos) << line;
    EXPECT_TRUE(editorShows(machine, "No Layout Selected"));
    EXPECT_TRUE(machine.quit());
}

// A layout of 300 x 300 zones from another machine, open in the editor: a later change of the
// library is answered as soon as it is made, and the command that made it says so.
TEST(SyncE2ETest, AHugeLayoutFromElsewhereKeepsCommandsAnswered) {
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);
    Machine machine(shared);
    ASSERT_TRUE(machine.launched()) << testing::PrintToString(machine.lines);
    const UUID huge = UUID::random();
    replaceLayoutsInFolder(shared, [&](LayoutLibrary& library) {
        ZoneLayout layout(huge, "Huge", LayoutKind(ZoneGrid::uniform(300, 300)), 0, 0, std::nullopt, Date::now());
        library.upsert(layout);
    });
    ASSERT_TRUE(eventually(machine, machine, [&] {
        const auto layouts = machine.layouts();
        return layouts && layouts->layout(huge);
    }, 20s)) << "the huge layout did not arrive";
    const auto small = machine.layouts()->layouts.front().id.uuidString();

    ASSERT_EQ(machine.run({"tessary://editor"}).status, 0);
    ASSERT_TRUE(waitUntil([&] { return clickEditor(machine, "Huge"); }, Clock::now() + 15s));
    ASSERT_TRUE(waitUntil([&] { return editorShows(machine, "zone 90000"); }, Clock::now() + 20s))
        << "the huge layout is not shown";
    for (const char* display : {"tessary-left", "tessary-right", "tessary-left"}) {
        SCOPED_TRACE(display);
        const auto asked = Clock::now();
        const Reply assigned = machine.run({"apply-layout", "--layout", small, "--display", display});
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked);
        EXPECT_EQ(assigned.status, 0) << testing::PrintToString(assigned.lines);
        std::printf("[ MEASURE  ] apply-layout answered in %lld ms with a 90,000-zone layout open\n",
                    static_cast<long long>(took.count()));
    }
    EXPECT_TRUE(machine.quit());
}

// The names of the layouts the running program lists, in its order.
std::vector<std::string> listedLayouts(Machine& machine) {
    std::vector<std::string> names;
    for (const std::string& line : machine.run({"list", "layouts"}).lines) {
        std::istringstream fields(line);
        std::string id, name;
        if (std::getline(fields, id, '\t') && std::getline(fields, name, '\t')) names.push_back(name);
    }
    return names;
}

bool lists(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// A user renames one starter layout in the editor and deletes another; a new machine then joins
// with its own untouched starters: the rename and the deletion stay on both.
TEST(SyncE2ETest, AStarterRenamedAndAnotherDeletedStaySoWhenANewMachineJoins) {
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);
    Machine a(shared);
    ASSERT_TRUE(a.launched()) << testing::PrintToString(a.lines);
    ASSERT_EQ(a.run({"tessary://editor"}).status, 0);
    ASSERT_TRUE(waitUntil([&] { return clickEditor(a, "Columns"); }, Clock::now() + 15s));
    ASSERT_TRUE(waitUntil([&] { return editorShows(a, "Preview on Screen"); }, Clock::now() + 10s));
    // The inspector's Name field, right of its label, typed over whole; again where the select-all
    // was lost on a loaded machine ("ColumnsMine"), as a user who sees it does.
    ASSERT_TRUE(clickEditor(a, "Name", 80));
    bool renamed = false;
    for (int attempt = 0; attempt < 3 && !renamed; ++attempt) {
        a.desktop->pressKey(0xffe3, true);  // Control
        a.type("a");
        a.desktop->pressKey(0xffe3, false);
        a.type("Mine");
        renamed = eventually(a, a, [&] { return lists(listedLayouts(a), "Mine"); }, 3s);
    }
    ASSERT_TRUE(renamed) << testing::PrintToString(listedLayouts(a));
    ASSERT_TRUE(clickEditor(a, "Grid"));
    ASSERT_TRUE(waitUntil([&] { return clickEditor(a, "Delete"); }, Clock::now() + 10s));
    // The confirmation's default button deletes.
    ASSERT_TRUE(waitUntil([&] { return editorShows(a, "Cancel"); }, Clock::now() + 10s));
    a.desktop->pressKey(0xff0d, true);
    a.desktop->pressKey(0xff0d, false);
    const std::vector<std::string> edited{"Mine", "Three Columns", "Priority Grid", "Rows", "Focus"};
    ASSERT_TRUE(eventually(a, a, [&] { return listedLayouts(a) == edited; }, 10s)) << testing::PrintToString(listedLayouts(a));
    ASSERT_TRUE(eventually(a, a, [&] {
        const auto there = decodeFile<LayoutLibrary>(shared / "layouts.v1");
        return there && there->layouts.size() == edited.size();
    }, 10s)) << "the edits were not uploaded";

    Machine b(shared);
    ASSERT_TRUE(b.launched()) << testing::PrintToString(b.lines);
    std::vector<std::string> onA, onB;
    EXPECT_TRUE(eventually(a, b, [&] {
        onA = listedLayouts(a);
        onB = listedLayouts(b);
        return onA == edited && onB == edited;
    }, 10s)) << "A lists " << testing::PrintToString(onA) << ", B lists " << testing::PrintToString(onB);
    EXPECT_TRUE(a.quit());
    EXPECT_TRUE(b.quit());
}

// Bytes that are no text, as a sync tool puts them in place: set aside once and replaced by a
// document that decodes, each time they come back; the user is told once and the log says so.
TEST(SyncE2ETest, ASyncFileThatIsNotTextIsSetAsideOnceAndReplaced) {
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);
    Machine machine(shared);
    ASSERT_TRUE(machine.launched()) << testing::PrintToString(machine.lines);
    const std::string bytes = "garbage \xff\xfe\xc3";
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        writeFile(shared / ".rules.v1.incoming", bytes);
        fs::rename(shared / ".rules.v1.incoming", shared / "rules.v1");
        EXPECT_TRUE(eventually(machine, machine, [&] { return decodeFile<RuleSet>(shared / "rules.v1").has_value(); }, 6s));
        EXPECT_EQ(rulesSetAside(shared), std::vector<std::string>{bytes}) << "one copy, however often it comes";
    }
    ASSERT_EQ(machine.settings({"open", "sync"}), "");
    EXPECT_TRUE(machine.settingsSay({"value", "syncError"}, "status 1 no control syncError"));
    EXPECT_TRUE(machine.quit());
    EXPECT_EQ(toldRulesSetAside(machine), 1) << testing::PrintToString(machine.lines);
    EXPECT_THAT(machine.lines, ::testing::Contains(::testing::StartsWith("CloudSync: set rules.v1 aside as rules.v1.unreadable-")));
}

// The sync folder's parent removed and made again (a sync tool re-creating its tree): the next
// change is in the folder within 8 s, the other machine takes it, and its pane shows no error.
TEST(SyncE2ETest, ASyncFolderWhoseParentWasRemovedIsUsedAgainOnceMadeAgain) {
    TemporaryFolder top;
    const fs::path shared = top / "root" / "sync";
    fs::create_directories(shared);
    Machine a(shared);
    ASSERT_TRUE(a.launched()) << testing::PrintToString(a.lines);
    Machine b(shared);
    ASSERT_TRUE(b.launched()) << testing::PrintToString(b.lines);
    ASSERT_EQ(b.settings({"open", "sync"}), "");
    removeFolder(top / "root");
    EXPECT_TRUE(b.settingsSay({"value", "syncError"}, "Could not read sync folder data: the sync folder is not there", true));
    fs::create_directories(shared);
    ASSERT_EQ(a.run({"save-workspace", "--name", "After"}).status, 0);
    const auto savedAt = Clock::now();
    EXPECT_TRUE(eventually(a, b, [&] {
        const auto there = decodeFile<WorkspaceLibrary>(shared / "workspaces.v1");
        return there && there->workspaceNamed("After");
    }, 8s)) << testing::PrintToString(a.lines);
    std::printf("[ MEASURE  ] a change was in the folder made again %lld ms after it was saved\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - savedAt).count()));
    EXPECT_TRUE(eventually(a, b, [&] { return workspaceNamed(b, "After").has_value(); }, 8s)) << "B did not take it";
    EXPECT_TRUE(b.settingsSay({"value", "syncError"}, "status 1 no control syncError")) << b.settings({"value", "syncError"});
    b.screenshot("sync-pane-parent-made-again.png");
    EXPECT_TRUE(a.quit());
    EXPECT_TRUE(b.quit());
}

// A machine four years ahead saves workspace "Shared" and quits; A (with an xterm) and B receive
// it and, while the folder is away, each saves "Shared" again: both edits are stamped 1 ms after
// the one from the future. Once the folder is back, A and B hold the same copy.
TEST(SyncE2ETest, TwoEditsWithTheSameStampEndAsOneCopyOnBothMachines) {
    const char* library = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
    if (!fs::exists(library)) GTEST_SKIP() << "faketime is not installed (scripts/setup installs it)";
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);
    {
        const char* asan = std::getenv("ASAN_OPTIONS");
        Machine ahead(shared, {std::string("LD_PRELOAD=") + library, "FAKETIME=+1461d",
                               "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":verify_asan_link_order=0"});
        ASSERT_TRUE(ahead.launched()) << testing::PrintToString(ahead.lines);
        ASSERT_EQ(ahead.run({"save-workspace", "--name", "Shared"}).status, 0);
        ASSERT_TRUE(eventually(ahead, ahead, [&] {
            const auto there = decodeFile<WorkspaceLibrary>(shared / "workspaces.v1");
            return there && there->workspaceNamed("Shared");
        }, 15s));
        EXPECT_TRUE(ahead.quit());
    }
    Machine a(shared);
    Machine b(shared);
    ChildProcess xterm = a.desktop->startXterm("80x24+100+100", "xterm in the workspace");
    ASSERT_TRUE(a.launched() && b.launched()) << testing::PrintToString(a.lines) << testing::PrintToString(b.lines);
    ASSERT_TRUE(eventually(a, b, [&] { return workspaceNamed(a, "Shared") && workspaceNamed(b, "Shared"); }, 15s));
    // Every save stamps 1 ms later, so "Shared" is saved once on each: A's xterm is awaited in
    // a workspace of its own.
    ASSERT_TRUE(eventually(a, b, [&] {
        return a.run({"save-workspace", "--name", "Probe"}).status == 0 && workspaceNamed(a, "Probe")->entries.size() == 1;
    }, 15s));

    removeFolder(shared);
    for (Machine* machine : {&a, &b}) {
        ASSERT_EQ(machine->settings({"open", "sync"}), "");
        EXPECT_TRUE(machine->settingsSay({"value", "syncError"}, "Could not read sync folder data: the sync folder is not there", true));
        ASSERT_EQ(machine->run({"save-workspace", "--name", "Shared"}).status, 0);
    }
    const auto onA = workspaceNamed(a, "Shared");
    const auto onB = workspaceNamed(b, "Shared");
    ASSERT_TRUE(onA && onB);
    ASSERT_EQ(onA->entries.size(), 1u);
    ASSERT_EQ(onB->entries.size(), 0u);
    ASSERT_EQ(onA->modifiedAt, onB->modifiedAt);
    EXPECT_GT(onA->modifiedAt, Date::now().addingSeconds(3 * 365 * 86400.0)) << "the clock ahead is in effect";

    fs::create_directories(shared);
    std::optional<Workspace> lastA, lastB;
    EXPECT_TRUE(eventually(a, b, [&] {
        lastA = workspaceNamed(a, "Shared");
        lastB = workspaceNamed(b, "Shared");
        return lastA && lastB && *lastA == *lastB;
    }, 15s)) << "A holds " << (lastA ? lastA->entries.size() : 99) << " windows, B " << (lastB ? lastB->entries.size() : 99);
    xterm.kill();
    EXPECT_TRUE(a.quit());
    EXPECT_TRUE(b.quit());
}

}  // namespace
}  // namespace tessary::e2e
