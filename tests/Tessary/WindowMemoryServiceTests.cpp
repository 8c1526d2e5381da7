#include <gtest/gtest.h>

#include "Platform/Sim/SimApplicationLauncher.h"
#include "Tessary/services/WindowMemoryService.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;

namespace {

class WindowMemoryServiceTest : public ::testing::Test, public PlacementWorld {
protected:
    std::unique_ptr<WindowMemoryService> makeMemory() {
        return std::make_unique<WindowMemoryService>(*zones, displaysReader(), store<WindowPlacementMemory>("memory.json"),
                                                     scheduler);
    }

    std::unique_ptr<WindowMemoryService> memory = makeMemory();
};

}  // namespace

TEST_F(WindowMemoryServiceTest, ABurstOfSnapsIsWrittenOnceASecondAfterTheLast) {
    const WindowHandle editor = engine.addWindow("Editor", 1, "notes.txt", Rect(10, 10, 300, 300));
    for (std::int64_t zone : {0, 1, 2}) {
        memory->remember(editor, main, {zone});
        scheduler.advance(500ms);
    }
    // The third snap came at 1.0 s; its save is due at 2.0 s.
    scheduler.advance(499ms);
    EXPECT_EQ(writes("memory.json"), 0);
    scheduler.advance(1ms);
    EXPECT_EQ(writes("memory.json"), 1);
    scheduler.advance(10s);
    EXPECT_EQ(writes("memory.json"), 1);

    // What was written is what a new run reads.
    const auto reloaded = makeMemory();
    const auto placement = reloaded->persistent().windowPlacement("Editor", "notes.txt");
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->zoneIndices, std::vector<std::int64_t>{2});
    EXPECT_EQ(placement->displayKey, "MAIN@1000x800");
    EXPECT_EQ(placement->layoutID, quarters.id);
    EXPECT_TRUE(reloaded->live().empty());
}

TEST_F(WindowMemoryServiceTest, RecordsNothingWithoutZonesOrLayoutAndOnlyLiveForUnknownApplications) {
    const WindowHandle editor = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    memory->remember(editor, main, {});
    EXPECT_TRUE(memory->live().empty());

    const WindowHandle anonymous = engine.addWindow(std::nullopt, 2, "b", Rect(10, 10, 300, 300));
    memory->remember(anonymous, main, {1});
    EXPECT_EQ(memory->live().size(), 1u);
    EXPECT_FALSE(memory->hasPendingSave());

    zones->updateLibrary([](LayoutLibrary& library) {
        library.layouts.clear();
        library.defaultLayoutID.reset();
    });
    memory->remember(editor, main, {1});
    EXPECT_FALSE(memory->live().contains(editor));
    EXPECT_FALSE(memory->hasPendingSave());
}

TEST_F(WindowMemoryServiceTest, ForgettingKeepsTheApplicationsPlacement) {
    const WindowHandle editor = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    memory->remember(editor, main, {3});
    scheduler.advance(1s);
    memory->forget(editor);
    EXPECT_TRUE(memory->live().empty());
    EXPECT_FALSE(memory->persistent().windowPlacement("Editor", "a"));
    EXPECT_TRUE(memory->persistent().placement("Editor", "a"));
    EXPECT_TRUE(memory->hasPendingSave());

    // An untitled window has no record of its own: nothing to save.
    scheduler.advance(1s);
    const WindowHandle untitled = engine.addWindow("Editor", 1, std::nullopt, Rect(10, 10, 300, 300));
    memory->forget(untitled);
    EXPECT_FALSE(memory->hasPendingSave());
}

TEST_F(WindowMemoryServiceTest, RestoresIntoTheRememberedZonesThatStillExist) {
    const WindowHandle editor = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    memory->remember(editor, side, {2, 5});  // zone 5 is not in the layout
    const auto placement = memory->restore(editor, false);
    ASSERT_TRUE(placement);
    EXPECT_EQ(*placement, (ZonePlacement{side, {2}}));
    EXPECT_EQ(frameOf(editor), sideZone(2));
    EXPECT_TRUE(snaps.empty());  // a restore reports no snap

    // Already there: neither moved nor counted.
    const std::size_t calls = setFrameCount();
    EXPECT_FALSE(memory->restore(editor, false));
    EXPECT_EQ(memory->restoreAll(), 0);
    EXPECT_EQ(setFrameCount(), calls);
}

TEST_F(WindowMemoryServiceTest, TheLiveEntryWinsOverStoredPlacements) {
    const WindowHandle first = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    const WindowHandle second = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    memory->remember(first, main, {0});
    memory->remember(second, main, {3});  // the stored records now say zone 3
    engine.windowTable.at(first).info.frame = Rect(20, 20, 100, 100);
    for (bool appLevel : {false, true}) {
        EXPECT_EQ(memory->restore(first, appLevel), (ZonePlacement{main, {0}})) << appLevel;
        engine.windowTable.at(first).info.frame = Rect(20, 20, 100, 100);
    }
}

TEST_F(WindowMemoryServiceTest, TheApplicationsPlacementServesOnlyWhenAsked) {
    const WindowHandle old = engine.addWindow("Editor", 1, "old", Rect(10, 10, 300, 300));
    memory->remember(old, main, {1});
    const WindowHandle fresh = engine.addWindow("Editor", 1, "new", Rect(10, 10, 300, 300));
    EXPECT_FALSE(memory->restore(fresh, false));
    EXPECT_EQ(memory->restore(fresh, true), (ZonePlacement{main, {1}}));
    // The restored placement is now the window's live entry.
    EXPECT_EQ(memory->live().at(fresh).zoneIndices, std::vector<std::int64_t>{1});
}

// An upgrade may give an application's windows another class (GTK 4 programs take their
// application id): what was remembered under the old one still places them.
TEST_F(WindowMemoryServiceTest, AWindowIsPlacedByWhatItsApplicationWasRememberedUnderInAnotherForm) {
    SimApplicationLauncher launcher;
    launcher.install(desktopEntry("org.xfce.mousepad", "Mousepad", "mousepad"));
    zones->applications = [&launcher] { return launcher.applicationIndex(); };
    memory->remember(engine.addWindow("Mousepad", 1, "notes.txt", Rect(10, 10, 300, 300)), main, {1});
    memory->remember(engine.addWindow("Mousepad", 1, "todo.txt", Rect(10, 10, 300, 300)), main, {3});

    const WindowHandle notes = engine.addWindow("org.xfce.mousepad", 2, "notes.txt", Rect(10, 10, 300, 300));
    EXPECT_EQ(memory->restore(notes, false), (ZonePlacement{main, {1}}));
    const WindowHandle fresh = engine.addWindow("org.xfce.mousepad", 2, "new", Rect(10, 10, 300, 300));
    EXPECT_FALSE(memory->restore(fresh, false));
    EXPECT_EQ(memory->restore(fresh, true), (ZonePlacement{main, {3}})) << "the application's last placement";
    EXPECT_FALSE(memory->restore(engine.addWindow("gnome-calculator", 3, "notes.txt", Rect(10, 10, 300, 300)), true));
}

TEST_F(WindowMemoryServiceTest, AWorkAreaChangedByOnePointIsAnotherArrangement) {
    const WindowHandle editor = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    memory->remember(editor, main, {1});
    displays[0].workArea.size.height -= 1;
    EXPECT_FALSE(memory->restore(editor, false));
    displays[0].workArea.size.height += 0.4;  // 799.4 keys as 799
    EXPECT_FALSE(memory->restore(editor, false));
    displays[0].workArea.size.height += 0.2;  // 799.6 keys as 800 again
    EXPECT_TRUE(memory->restore(editor, false));
    EXPECT_EQ(setFrameCount(), 1u);
}

TEST_F(WindowMemoryServiceTest, AFrameTheWindowDoesNotTakeIsNoPlacement) {
    const WindowHandle stubborn = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300), Size{600, 600});
    memory->remember(stubborn, main, {0});
    EXPECT_FALSE(memory->restore(stubborn, false));
    EXPECT_EQ(setFrameCount(), 1u);

    // A window that is gone loses its live entry.
    engine.removeWindow(stubborn);
    EXPECT_FALSE(memory->restore(stubborn, false));
    EXPECT_TRUE(memory->live().empty());
}

TEST_F(WindowMemoryServiceTest, RestoreAllMovesEveryRememberedWindowButLeavesExcludedOnesAlone) {
    const WindowHandle editor = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    const WindowHandle player = engine.addWindow("Player", 2, "b", Rect(10, 10, 300, 300));
    const WindowHandle viewer = engine.addWindow("Viewer", 3, "c", Rect(10, 10, 300, 300));
    engine.windowTable.at(viewer).info.isMinimized = true;
    memory->remember(editor, main, {1});
    memory->remember(player, main, {2});
    memory->remember(viewer, side, {3});
    // The user excludes the player after it was remembered.
    zones->isExcluded = [](const WindowInfo& info) { return !info.isStandard || info.bundleIdentifier == "Player"; };

    EXPECT_EQ(memory->restoreAll(), 2);
    EXPECT_EQ(frameOf(editor), mainZone(1));
    EXPECT_EQ(frameOf(viewer), sideZone(3));  // minimised windows still get their frame
    EXPECT_EQ(frameOf(player), Rect(10, 10, 300, 300));
    EXPECT_FALSE(memory->restore(player, true));
    EXPECT_EQ(sink.messages("WindowMemory"), std::vector<std::string>{"restoreAll moved 2 windows"});
}

TEST_F(WindowMemoryServiceTest, FlushWritesAWaitingSaveAtOnce) {
    memory->flush();
    EXPECT_EQ(writes("memory.json"), 0);

    const WindowHandle editor = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    memory->remember(editor, main, {1});
    memory->flush();
    EXPECT_EQ(writes("memory.json"), 1);
    EXPECT_FALSE(memory->hasPendingSave());
    scheduler.advance(5s);
    EXPECT_EQ(writes("memory.json"), 1);
    EXPECT_TRUE(makeMemory()->persistent().windowPlacement("Editor", "a"));
}

TEST_F(WindowMemoryServiceTest, AFailedSaveIsLoggedAndTheMemoryKept) {
    files->writeFault = std::make_error_code(std::errc::no_space_on_device);
    const WindowHandle editor = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    memory->remember(editor, main, {1});
    scheduler.advance(1s);
    ASSERT_EQ(sink.messages("WindowMemory").size(), 1u);
    EXPECT_TRUE(sink.messages("WindowMemory")[0].starts_with("could not save memory: "));
    EXPECT_TRUE(memory->persistent().windowPlacement("Editor", "a"));
}

TEST_F(WindowMemoryServiceTest, AClosedWindowsLiveEntryIsNotInheritedByItsIdentifier) {
    const WindowHandle closed = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    memory->remember(closed, main, {1});
    memory->windowDestroyed(closed);
    EXPECT_TRUE(memory->live().empty());

    // Another window with the same identifier, of an application with no records.
    engine.windowTable.at(closed).info.bundleIdentifier = "Player";
    EXPECT_FALSE(memory->restore(closed, true));
    EXPECT_EQ(setFrameCount(), 0u);
}
