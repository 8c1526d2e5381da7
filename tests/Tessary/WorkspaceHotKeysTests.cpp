#include <gtest/gtest.h>

#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/keyboard/WorkspaceHotKeys.h"
#include "tests/Tessary/KeyboardWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

const Shortcut kF6(Key::f6, kControlAlt);

class WorkspaceHotKeysTest : public ::testing::Test, public KeyboardWorld {
protected:
    WorkspaceHotKeysTest() {
        desk = service->saveCurrentWindows("Desk");  // the editor in zone 4
        engine.setFrame(mainZone(0), window);
    }
    // Presses the workspace's shortcut; how many restores it ran.
    std::size_t restoresOnPress() {
        engine.setFrame(mainZone(0), window);
        const std::size_t before = sink.messages("Workspaces").size();
        press(Key::f6, kControlAlt);
        return sink.messages("Workspaces").size() - before;
    }
    void deleteDesk() {
        service->updateLibrary([&](WorkspaceLibrary& library) { library.deleteWorkspace(desk.id, Date(0)); });
    }

    WindowHandle window = engine.addWindow("Editor", 1, "notes", mainZone(3));
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    std::unique_ptr<WorkspaceService> service = std::make_unique<WorkspaceService>(
        *zones, displaysReader(), store<WorkspaceLibrary>("workspaces.json"), applications, launcher, scheduler);
    WorkspaceHotKeys hotKeysOfWorkspaces{shortcuts, *service};
    Workspace desk;
};

TEST_F(WorkspaceHotKeysTest, AWorkspacesShortcutRestoresItOnceHoweverOftenItIsSynced) {
    EXPECT_EQ(WorkspaceHotKeys::shortcutName(desk.id).rawValue, "workspace." + desk.id.uuidString());
    shortcuts.setShortcut(kF6, WorkspaceHotKeys::shortcutName(desk.id));
    EXPECT_EQ(restoresOnPress(), 0u) << "no handler before the first sync";
    hotKeysOfWorkspaces.syncShortcuts();
    hotKeysOfWorkspaces.syncShortcuts();
    EXPECT_EQ(restoresOnPress(), 1u);
    EXPECT_EQ(frameOf(window), mainZone(3));
}

TEST_F(WorkspaceHotKeysTest, AWorkspaceGoneWithoutRemoveShortcutLetsGoOfItsGrabAtTheNextSync) {
    shortcuts.setShortcut(kF6, WorkspaceHotKeys::shortcutName(desk.id));
    hotKeysOfWorkspaces.syncShortcuts();
    const WorkspaceLibrary before = service->library();
    deleteDesk();  // as a synchronised deletion arrives
    EXPECT_EQ(restoresOnPress(), 0u);
    hotKeysOfWorkspaces.syncShortcuts();
    EXPECT_TRUE(hotKeys.registered().empty()) << "the combination is free for other programs again";
    EXPECT_NE(stored("workspace." + desk.id.uuidString()), "none") << "kept for a workspace that returns";

    service->replaceLibrary(before);
    hotKeysOfWorkspaces.syncShortcuts();
    EXPECT_EQ(restoresOnPress(), 1u);
}

TEST_F(WorkspaceHotKeysTest, RemovingAShortcutForgetsItsHandlerAndItsStoredValue) {
    shortcuts.setShortcut(kF6, WorkspaceHotKeys::shortcutName(desk.id));
    hotKeysOfWorkspaces.syncShortcuts();
    hotKeysOfWorkspaces.removeShortcut(desk.id);
    EXPECT_EQ(stored("workspace." + desk.id.uuidString()), "none");
    EXPECT_TRUE(hotKeys.registered().empty());

    // The same workspace comes back (an older file, a synchronised copy) and gets its shortcut again.
    hotKeysOfWorkspaces.syncShortcuts();
    shortcuts.setShortcut(kF6, WorkspaceHotKeys::shortcutName(desk.id));
    EXPECT_EQ(restoresOnPress(), 1u) << "one handler, not two";
}

}  // namespace
