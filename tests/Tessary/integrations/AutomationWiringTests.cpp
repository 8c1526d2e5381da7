#include <gtest/gtest.h>

#include "Tessary/integrations/IntentServices.h"
#include "tests/Tessary/AppWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

// The delegate of the program, answering later starts as the socket hands them over.
TEST(AutomationWiring, TheLaunchedProgramAnswersURLsAndActionsUntilItEnds) {
    AppWorld world;
    AppDelegate& delegate = world.make();
    delegate.hooks().handleURL = nullptr;
    const WindowHandle window = world.addWindow(AppWorld::editorPID, Rect(100, 100, 300, 200));
    world.applications.setFrontmost(AppWorld::editorPID);
    world.accessibility.setFocusedWindow(AppWorld::editorPID, window.element);
    const std::string layout = world.quarters.id.uuidString();

    EXPECT_EQ(delegate.answer({{"snap-front-window"}, ""}), (InstanceReply{"Tessary is still starting", 1}));
    delegate.launch();

    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        InstanceReply reply;
        Rect frame;
        bool leavesNoTrace = false;  // not a line logged by anyone
    };
    const Row rows[] = {
        {"a URL", {"tessary://snap?zone=2"}, {"", 0}, Rect(500, 0, 500, 400)},
        {"a URL with the scheme in capitals", {"TESSARY://snap?zone=1"}, {"", 0}, Rect(500, 0, 500, 400), true},
        {"a workspace URL without a query", {"tessary://workspace"}, {"", 0}, Rect(500, 0, 500, 400), true},
        {"a URL whose command fails", {"tessary://snap?zone=99"},
         {"snap failed: zone 99 does not exist in this layout", 1}, Rect(500, 0, 500, 400)},
        {"a URL of no command", {"tessary://bogus"}, {"Unknown command tessary://bogus", 1}, Rect(500, 0, 500, 400)},
        {"an action", {"snap-front-window", "--zone", "4"}, {"", 0}, Rect(500, 400, 500, 400)},
        {"an action that fails", {"apply-layout", "--layout", "BAD"}, {"Layout not found.", 1}, Rect(500, 400, 500, 400)},
        {"an action with its identifier", {"apply-layout", "--layout", layout, "--display", "SIDE"}, {"", 0},
         Rect(500, 400, 500, 400)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t before = world.sink.records().size();
        EXPECT_EQ(delegate.answer({row.arguments, ""}), row.reply);
        EXPECT_EQ(world.frameOf(window), row.frame);
        if (row.leavesNoTrace) {
            EXPECT_EQ(world.sink.records().size(), before) << world.sink.records().back().message;
        }
    }
    EXPECT_EQ(world.sink.messages("URLCommands"),
              (std::vector<std::string>{"snap: zone 2 → (500.0, 0.0, 500.0, 400.0)",
                                        "snap failed: zone 99 does not exist in this layout",
                                        "Unknown command tessary://bogus"}));
    EXPECT_EQ(delegate.zones().library().assignments.at("SIDE@800x600"), world.quarters.id);

    world.delegate.reset();
    EXPECT_EQ(IntentServices::zones, nullptr);
    EXPECT_EQ(IntentServices::workspaces, nullptr);
    EXPECT_EQ(IntentServices::actions, nullptr);
}

}  // namespace
