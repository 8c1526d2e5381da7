#include <gtest/gtest.h>

#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/services/WorkspaceService.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;

namespace {

WorkspaceEntry entry(std::string bundleID, std::optional<std::string> title, std::string displayKey,
                     std::vector<std::int64_t> zones, Rect frame = Rect(50, 60, 300, 200)) {
    return WorkspaceEntry(UUID::random(), std::move(bundleID), std::move(title), std::move(displayKey), std::move(zones),
                          frame);
}

// A workspace tied to `displays` restores itself when they are connected.
Workspace workspace(std::vector<WorkspaceEntry> entries, bool launches = false, std::set<std::string> displays = {},
                    Date modifiedAt = Date(0)) {
    const bool restoresWhenDisplaysMatch = !displays.empty();
    return Workspace(UUID::random(), "Desk", std::move(entries), std::move(displays), restoresWhenDisplaysMatch,
                     launches, modifiedAt);
}

class WorkspaceServiceTest : public ::testing::Test, public PlacementWorld {
protected:
    std::unique_ptr<WorkspaceService> makeService() {
        return std::make_unique<WorkspaceService>(*zones, displaysReader(), store<WorkspaceLibrary>("workspaces.json"),
                                                  applications, launcher, scheduler);
    }

    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    std::unique_ptr<WorkspaceService> service = makeService();
};

}  // namespace

TEST_F(WorkspaceServiceTest, CapturesTheZonesAWindowFills) {
    struct Case {
        const char* name;
        Rect frame;
        std::vector<std::int64_t> zones;
    };
    const Case cases[] = {
        {"exactly zone 3", mainZone(3), {3}},
        {"zone 3 within 4 points", Rect(503, 397, 496, 404), {3}},
        {"two columns within 4 points", Rect(2, 3, 997, 398), {0, 1}},
        {"the left half", Rect(0, 0, 500, 800), {0, 2}},
        {"the whole display", Rect(0, 0, 1000, 800), {0, 1, 2, 3}},
        {"one and a half zones", Rect(0, 0, 750, 400), {}},
        {"two columns 5 points short", Rect(0, 0, 995, 400), {}},
        {"nowhere near", Rect(100, 100, 200, 200), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine.windowTable.clear();
        engine.addWindow("Editor", 1, "notes", c.frame);
        const auto entries = service->captureCurrentWindows();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].zoneIndices, c.zones);
        EXPECT_EQ(entries[0].displayKey, "MAIN@1000x800");
        EXPECT_EQ(entries[0].frame, c.frame);
    }
}

TEST_F(WorkspaceServiceTest, CapturesOnlyVisibleStandardWindowsThatAreNotExcluded) {
    engine.addWindow("Editor", 1, std::nullopt, sideZone(1));
    engine.windowTable.at(engine.addWindow("Editor", 1, "min", mainZone(0))).info.isMinimized = true;
    engine.windowTable.at(engine.addWindow("Editor", 1, "dialog", mainZone(0))).info.isStandard = false;
    engine.addWindow("Secret", 2, "s", mainZone(0));
    engine.addWindow(std::nullopt, 3, "anonymous", mainZone(0));
    engine.addWindow("Tessary", 4, "Settings", mainZone(0));
    service->ownProcess = 4;
    zones->isExcluded = [](const WindowInfo& info) { return !info.isStandard || info.bundleIdentifier == "Secret"; };

    const Workspace saved = service->saveCurrentWindows("  Desk ");
    ASSERT_EQ(saved.entries.size(), 1u);
    EXPECT_EQ(saved.entries[0].bundleID, "Editor");
    EXPECT_EQ(saved.entries[0].title, std::nullopt);
    EXPECT_EQ(saved.entries[0].displayKey, "SIDE@800x600");
    EXPECT_EQ(saved.entries[0].zoneIndices, std::vector<std::int64_t>{1});
    EXPECT_EQ(saved.name, "  Desk ");
    EXPECT_EQ(saved.displayIdentifiers, (std::set<std::string>{"MAIN", "SIDE"}));
    EXPECT_FALSE(saved.restoresWhenDisplaysMatch);
    EXPECT_FALSE(saved.launchesMissingApps);
    EXPECT_EQ(writes("workspaces.json"), 1);
    EXPECT_EQ(makeService()->library().workspaces, std::vector<Workspace>{saved});

    EXPECT_EQ(service->updateWithCurrentWindows(UUID::random()), std::nullopt);
    EXPECT_EQ(writes("workspaces.json"), 1);
}

TEST_F(WorkspaceServiceTest, RestoresMatchingWindowsByZonesOrFrame) {
    const WindowHandle notes = engine.addWindow("Editor", 1, "notes", Rect(10, 10, 100, 100));
    const WindowHandle todo = engine.addWindow("Editor", 1, "todo", Rect(10, 10, 100, 100));
    const WindowHandle inPlace = engine.addWindow("Mail", 2, "inbox", mainZone(3));
    const WindowHandle framed = engine.addWindow("Paint", 3, "p", Rect(10, 10, 100, 100));
    const WindowHandle lost = engine.addWindow("Player", 4, "q", Rect(10, 10, 100, 100));
    const Workspace saved = workspace({
        entry("Editor", "todo", "SIDE@800x600", {0, 1}),
        entry("Editor", "notes", "MAIN@1000x800", {2}),
        entry("Mail", "inbox", "MAIN@1000x800", {3}),
        entry("Paint", "p", "MAIN@1000x800", {8, 9}, Rect(70, 80, 300, 200)),  // zones gone: by frame
        entry("Player", "q", "GONE@100x100", {0}),
    });
    EXPECT_EQ(service->restore(saved), 3);
    EXPECT_EQ(frameOf(todo), Rect(1000, 0, 800, 300));
    EXPECT_EQ(frameOf(notes), mainZone(2));
    EXPECT_EQ(frameOf(framed), Rect(70, 80, 300, 200));
    EXPECT_EQ(frameOf(lost), Rect(10, 10, 100, 100));
    EXPECT_EQ(frameOf(inPlace), mainZone(3));
    // Only zone placements are reported, in the matcher's order.
    EXPECT_EQ(snaps, (std::vector<Snap>{{todo, "SIDE", {0, 1}}, {notes, "MAIN", {2}}}));
    EXPECT_EQ(sink.messages("Workspaces"), std::vector<std::string>{"restored Desk: 3 windows moved"});
    EXPECT_TRUE(launcher.launches().empty());

    snaps.clear();
    EXPECT_EQ(service->restore(saved), 0);
    EXPECT_TRUE(snaps.empty());
}

TEST_F(WorkspaceServiceTest, LaunchesEachMissingApplicationOnceAndQueuesItsEntries) {
    launcher.install("Editor");
    applications.addApplication(RunningApplication{5, "Mail", "Mail", ActivationPolicy::regular, false});
    const Workspace saved = workspace({
        entry("Editor", "a", "MAIN@1000x800", {0}),
        entry("Mail", "inbox", "MAIN@1000x800", {1}),  // running, but without its window yet
        entry("Editor", "b", "MAIN@1000x800", {2}),
        entry("Missing", "m", "MAIN@1000x800", {3}),  // not installed: dropped
    }, true);
    EXPECT_EQ(service->restore(saved), 0);
    EXPECT_EQ(launcher.launches(), (std::vector<std::string>{"Editor", "Missing"}));
    ASSERT_EQ(service->pendingEntries().size(), 3u);
    EXPECT_EQ(service->pendingEntries()[0].title, "a");
    EXPECT_EQ(service->pendingEntries()[1].bundleID, "Mail");
    EXPECT_EQ(service->pendingEntries()[2].title, "b");

    // A new window of a pending application with another title takes its first entry.
    const WindowHandle window = engine.addWindow("Editor", 1, "untitled", Rect(10, 10, 100, 100));
    EXPECT_TRUE(service->applyPendingEntries(window));
    EXPECT_EQ(frameOf(window), mainZone(0));
    // One with an exact title takes that entry.
    const WindowHandle b = engine.addWindow("Editor", 1, "b", mainZone(2));
    EXPECT_TRUE(service->applyPendingEntries(b));  // claimed even though it was already in place
    ASSERT_EQ(service->pendingEntries().size(), 1u);
    EXPECT_EQ(service->pendingEntries()[0].bundleID, "Mail");
    // Nothing is waiting for this one.
    EXPECT_FALSE(service->applyPendingEntries(engine.addWindow("Editor", 1, "c", Rect(10, 10, 100, 100))));
}

// Entries saved from windows name their class; a workspace made elsewhere may name an entry's id.
TEST_F(WorkspaceServiceTest, EntriesFindStartAndClaimTheirApplicationWhicheverFormNamesIt) {
    launcher.install(desktopEntry("org.xfce.mousepad", "Mousepad", "mousepad"));
    launcher.install(desktopEntry("org.gnome.Calculator", "Calculator", "gnome-calculator"));
    zones->applications = [this] { return launcher.applicationIndex(); };
    const WindowHandle open = engine.addWindow("gnome-calculator", 5, "Calculator", Rect(10, 10, 100, 100));
    applications.addApplication(RunningApplication{6, "Ledger", "Ledger", ActivationPolicy::regular, false});
    const Workspace saved = workspace({
        entry("org.gnome.Calculator", "Calculator", "MAIN@1000x800", {3}),  // open: moved
        entry("Mousepad", "a", "MAIN@1000x800", {0}),                      // missing: started
        entry("org.xfce.mousepad", "b", "MAIN@1000x800", {1}),             // the same application: not again
        entry("ledger", "c", "MAIN@1000x800", {2}),                        // not Ledger, not installed
    }, true);
    EXPECT_EQ(service->restore(saved), 1);
    EXPECT_EQ(frameOf(open), mainZone(3));
    EXPECT_EQ(launcher.launches(), (std::vector<std::string>{"Mousepad", "ledger"}));
    ASSERT_EQ(service->pendingEntries().size(), 2u);

    // Mousepad's windows announce its class, not the entry's id.
    const WindowHandle b = engine.addWindow("Mousepad", 7, "b", Rect(10, 10, 100, 100));
    EXPECT_TRUE(service->applyPendingEntries(b));
    EXPECT_EQ(frameOf(b), mainZone(1));
    const WindowHandle a = engine.addWindow("Mousepad", 7, "untitled", Rect(10, 10, 100, 100));
    EXPECT_TRUE(service->applyPendingEntries(a));
    EXPECT_EQ(frameOf(a), mainZone(0));
    EXPECT_TRUE(service->pendingEntries().empty());
}

TEST_F(WorkspaceServiceTest, APendingEntryTakesTheWindowWhoseTitleReadsTheSame) {
    launcher.install("Editor");
    service->restore(workspace({entry("Editor", "a", "MAIN@1000x800", {0}),
                                entry("Editor", "Caf\xC3\xA9", "MAIN@1000x800", {1})},  // precomposed
                               true));
    // The same title with a combining accent, as another program may spell it.
    const WindowHandle window = engine.addWindow("Editor", 1, "Cafe\xCC\x81", Rect(10, 10, 100, 100));
    EXPECT_TRUE(service->applyPendingEntries(window));
    EXPECT_EQ(frameOf(window), mainZone(1));
    ASSERT_EQ(service->pendingEntries().size(), 1u);
    EXPECT_EQ(service->pendingEntries()[0].title, "a");
}

TEST_F(WorkspaceServiceTest, ASecondRestoreAppendsAndRestartsTheWait) {
    launcher.install("Editor");
    launcher.install("Paint");
    std::vector<std::size_t> observed;
    const Subscription subscription = service->observe([&] { observed.push_back(service->pendingEntries().size()); });
    service->restore(workspace({entry("Editor", "a", "MAIN@1000x800", {0})}, true));
    scheduler.advance(10s);
    service->restore(workspace({entry("Paint", "p", "MAIN@1000x800", {1})}, true));
    EXPECT_EQ(service->pendingEntries().size(), 2u);
    scheduler.advance(14999ms);
    EXPECT_EQ(service->pendingEntries().size(), 2u);
    scheduler.advance(1ms);
    EXPECT_TRUE(service->pendingEntries().empty());
    EXPECT_EQ(observed, (std::vector<std::size_t>{1, 2, 0}));
    EXPECT_FALSE(service->applyPendingEntries(engine.addWindow("Editor", 1, "a", Rect(10, 10, 100, 100))));
}

TEST_F(WorkspaceServiceTest, TheWorkspaceOfTheConnectedDisplaysIsRestoredWithoutLaunching) {
    launcher.install("Editor");
    const WindowHandle mail = engine.addWindow("Mail", 2, "inbox", Rect(10, 10, 100, 100));
    const Workspace older = workspace({entry("Mail", "inbox", "MAIN@1000x800", {1})}, true, {"MAIN", "SIDE"});
    const Workspace newer = workspace(
        {entry("Mail", "inbox", "MAIN@1000x800", {2}), entry("Editor", "a", "MAIN@1000x800", {0})}, true,
        {"MAIN", "SIDE"}, Date(10));
    const Workspace other = workspace({entry("Mail", "inbox", "MAIN@1000x800", {3})}, false, {"MAIN"}, Date(20));
    service->updateLibrary([&](WorkspaceLibrary& library) { library.workspaces = {older, newer, other}; });

    EXPECT_EQ(service->restoreForCurrentDisplays(), newer);
    EXPECT_EQ(frameOf(mail), mainZone(2));
    EXPECT_TRUE(launcher.launches().empty());
    EXPECT_TRUE(service->pendingEntries().empty());

    displays = {side};
    EXPECT_EQ(service->restoreForCurrentDisplays(), std::nullopt);
}

TEST_F(WorkspaceServiceTest, EveryChangeIsSavedAtOnceAndReported) {
    int changes = 0;
    int observed = 0;
    service->onChanged = [&] { ++changes; };
    const Subscription subscription = service->observe([&] { ++observed; });
    const Workspace saved = service->saveCurrentWindows("Desk");
    engine.addWindow("Editor", 1, "notes", mainZone(1));
    const auto updated = service->updateWithCurrentWindows(saved.id);
    ASSERT_TRUE(updated);
    EXPECT_EQ(updated->entries.size(), 1u);
    EXPECT_EQ(updated->name, "Desk");
    EXPECT_GE(updated->modifiedAt, saved.modifiedAt);
    EXPECT_EQ(service->library().workspaces.size(), 1u);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(writes("workspaces.json"), 2);

    files->writeFault = std::make_error_code(std::errc::no_space_on_device);
    service->replaceLibrary(WorkspaceLibrary{});
    EXPECT_EQ(changes, 3);
    service->setLibrary(WorkspaceLibrary{});  // the same: no notice
    EXPECT_EQ(observed, 3);
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(service->library().workspaces.empty());
    ASSERT_EQ(sink.messages("Workspaces").size(), 1u);
    EXPECT_TRUE(sink.messages("Workspaces")[0].starts_with("could not save workspaces: "));
}
