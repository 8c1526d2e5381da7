#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Tessary/integrations/URLCommands.h"
#include "Tessary/integrations/URLText.h"
#include "tests/Tessary/integrations/IntegrationWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

class URLCommandsTest : public ::testing::Test, public IntegrationWorld {
protected:
    URLCommandsTest() {
        commands.workspaces = &workspaces;
        commands.state = &state;
        commands.editorModel = [this] {
            calls.push_back("editorModel");
            return nullptr;
        };
        addWorkspace("Office", 3);
        addWorkspace("OFFICE", 0);
    }

    std::vector<std::string> logged() const { return sink.messages("URLCommands"); }

    URLCommands commands{*zones, actions};
};

TEST_F(URLCommandsTest, AURLRunsItsCommandOrLogsWhyNot) {
    struct Row {
        const char* name;
        const char* url;
        std::vector<std::string> logged;
        std::vector<std::string> calls;
        Rect editorFrame = editorStart;
        Rect mailFrame = mailStart;
    };
    const std::string noZone = "snap: missing or invalid zone";
    const Row rows[] = {
        {"the scheme in capitals", "TESSARY://snap?zone=1", {}, {}},
        {"another scheme", "https://snap?zone=1", {}, {}},
        {"no scheme at all", "//snap?zone=1", {}, {}},
        {"the command in capitals", "tessary://Snap?zone=1", {"Unknown command tessary://Snap?zone=1"}, {}},
        {"no host", "tessary:snap?zone=1", {"Unknown command tessary:snap?zone=1"}, {}},
        {"an unknown command", "tessary://frobnicate", {"Unknown command tessary://frobnicate"}, {}},

        {"snap without a query", "tessary://snap", {noZone}, {}},
        {"snap with a bare zone", "tessary://snap?zone", {noZone}, {}},
        {"snap with an empty zone", "tessary://snap?zone=", {noZone}, {}},
        {"zone 0", "tessary://snap?zone=0", {noZone}, {}},
        {"a negative zone", "tessary://snap?zone=-2", {noZone}, {}},
        {"zone x", "tessary://snap?zone=x", {noZone}, {}},
        {"a fraction", "tessary://snap?zone=2.0", {noZone}, {}},
        {"a blank before the number", "tessary://snap?zone=%202", {noZone}, {}},
        {"two signs", "tessary://snap?zone=+-2", {noZone}, {}},
        {"one past the 64-bit range", "tessary://snap?zone=9223372036854775808", {noZone}, {}},
        {"the smallest 64-bit number", "tessary://snap?zone=-9223372036854775808", {noZone}, {}},
        {"the largest 64-bit number", "tessary://snap?zone=9223372036854775807",
         {"snap failed: zone 9223372036854775807 does not exist in this layout"}, {}},
        {"a zone past the layout", "tessary://snap?zone=12", {"snap failed: zone 12 does not exist in this layout"}, {}},
        {"zone +2", "tessary://snap?zone=+2", {"snap: zone 2 → (500.0, 0.0, 500.0, 400.0)"}, {},
         PlacementWorld::mainZone(1)},
        {"the first of two zones", "tessary://snap?zone=2&zone=5", {"snap: zone 2 → (500.0, 0.0, 500.0, 400.0)"}, {},
         PlacementWorld::mainZone(1)},
        {"a percent-encoded zone", "tessary://snap?zone=%34", {"snap: zone 4 → (500.0, 400.0, 500.0, 400.0)"}, {},
         PlacementWorld::mainZone(3)},
        {"an empty bundle takes the front window", "tessary://snap?zone=1&bundle=",
         {"snap: zone 1 → (0.0, 0.0, 500.0, 400.0)"}, {}, PlacementWorld::mainZone(0)},
        {"a bundle that does not run", "tessary://snap?bundle=org.example.Absent&zone=1", {"snap: no target window"}, {}},
        {"another application's window", "tessary://snap?zone=3&bundle=Mail",
         {"snap: zone 3 → (0.0, 400.0, 500.0, 400.0)"}, {}, editorStart, PlacementWorld::mainZone(2)},

        {"editor", "tessary://editor", {}, {"showEditor"}},
        {"editor with a new layout", "tessary://editor?new=1", {}, {"showEditor", "editorModel"}},
        {"editor with new=yes", "tessary://editor?new=yes", {}, {"showEditor"}},
        {"onboarding", "tessary://onboarding", {}, {"showOnboarding"}},
        {"about", "tessary://about", {}, {"showAbout"}},
        {"feedback", "tessary://feedback", {}, {"sendFeedback"}},
        {"show-zones", "tessary://show-zones", {}, {"flashZones"}},
        {"restore", "tessary://restore", {}, {"restoreAllWindows"}},
        {"apply-rules with a query it does not read", "tessary://apply-rules?zone=1", {}, {"applyRules"}},
        {"a fragment is not the query", "tessary://show-zones#x?y", {}, {"flashZones"}},

        {"workspace without a query", "tessary://workspace", {}, {}},
        {"workspace with an empty name", "tessary://workspace?name=", {"workspace not found: "}, {}},
        {"workspace of another name", "tessary://workspace?name=Home", {"workspace not found: Home"}, {}},
        {"workspace in another case, the earlier of two", "tessary://workspace?name=office", {}, {},
         PlacementWorld::mainZone(3)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        engine.setFrame(editorStart, editor);
        engine.setFrame(mailStart, mail);
        sink.clear();
        calls.clear();

        const auto done = commands.handle(row.url);

        EXPECT_EQ(logged(), row.logged);
        // A failure is handed back with the very line it logged; a snap logs its success too.
        const bool failed = !row.logged.empty() && !row.logged.front().starts_with("snap: zone ");
        EXPECT_EQ(done ? "" : done.error().description(), failed ? row.logged.front() : "");
        EXPECT_EQ(calls, row.calls);
        EXPECT_EQ(frameOf(editor), row.editorFrame);
        EXPECT_EQ(frameOf(mail), row.mailFrame);
    }
}

TEST_F(URLCommandsTest, SettingsChoosesOnlyAPaneItKnows) {
    struct Row {
        const char* name;
        const char* url;
        std::optional<SettingsSection> requested;
    };
    const Row rows[] = {
        {"no pane keeps the one asked for before", "tessary://settings", SettingsSection::sync},
        {"a pane by its raw value", "tessary://settings?pane=rules", SettingsSection::rules},
        {"two words in one", "tessary://settings?pane=excludedApps", SettingsSection::excludedApps},
        {"a pane in capitals is no pane", "tessary://settings?pane=Rules", SettingsSection::sync},
        {"an empty pane", "tessary://settings?pane", SettingsSection::sync},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state.setRequestedSettingsSection(SettingsSection::sync);
        calls.clear();
        EXPECT_TRUE(commands.handle(row.url));
        EXPECT_EQ(state.requestedSettingsSection(), row.requested);
        EXPECT_EQ(calls, std::vector<std::string>{"showSettings"});
    }
    EXPECT_THAT(logged(), ::testing::IsEmpty());
}

TEST_F(URLCommandsTest, BeforeTheLaunchSequenceSetsItsReferences) {
    URLCommands early(*zones, actions);
    EXPECT_TRUE(early.handle("tessary://settings?pane=rules"));
    EXPECT_TRUE(early.handle("tessary://workspace?name=Office"));
    EXPECT_TRUE(early.handle("tessary://editor?new=1"));
    EXPECT_EQ(state.requestedSettingsSection(), std::nullopt);
    EXPECT_EQ(calls, (std::vector<std::string>{"showSettings", "showEditor"}));
    EXPECT_EQ(frameOf(editor), editorStart);
    EXPECT_THAT(logged(), ::testing::IsEmpty());
}

TEST_F(URLCommandsTest, SnapsReachTheServiceWithoutAFrontWindowOrAWindowThatRefuses) {
    engine.focused.reset();
    EXPECT_EQ(commands.handle("tessary://snap?zone=1").error(), (URLCommandError{URLCommandError::Code::noTargetWindow, ""}));
    engine.focused = editor;
    engine.windowTable.at(editor).minimumSize = Size{800, 600};
    EXPECT_EQ(commands.handle("tessary://snap?zone=1").error().code, URLCommandError::Code::snapFailed);
    // A window whose least size is larger than the zone: the log says what it needs.
    EXPECT_EQ(logged(), (std::vector<std::string>{"snap: no target window",
                                                  "snap failed: Editor needs 800 × 600 px; this zone is 500 × 400 px"}));
    EXPECT_EQ(snaps.size(), 0u);
}

TEST(URLText, KeepsCaseAndPlusSignsAndRepairsWhatItDecodes) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<std::string> scheme;
        std::optional<std::string> host;
        std::optional<std::vector<URLQueryItem>> items;
    };
    using Items = std::vector<URLQueryItem>;
    const Row rows[] = {
        {"the usual form", "tessary://snap?zone=2&bundle=XTerm", "tessary", "snap",
         Items{{"zone", "2"}, {"bundle", "XTerm"}}},
        {"case as written", "TESSARY://Snap", "TESSARY", "Snap", std::nullopt},
        {"a bare name and an empty value", "tessary://x?a&b=", "tessary", "x", Items{{"a", std::nullopt}, {"b", ""}}},
        {"an empty query", "tessary://x?", "tessary", "x", Items{}},
        {"a plus stays a plus", "tessary://x?zone=+2", "tessary", "x", Items{{"zone", "+2"}}},
        {"an equals sign in the value", "tessary://x?a=b=c", "tessary", "x", Items{{"a", "b=c"}}},
        {"escapes decoded, a broken one kept", "tessary://x?name=My%20Desk%2", "tessary", "x",
         Items{{"name", "My Desk%2"}}},
        {"a decoded byte that is no UTF-8", "tessary://x?name=%FF", "tessary", "x", Items{{"name", "\uFFFD"}}},
        {"user, port and path around the host", "tessary://me@snap:80/path?zone=1", "tessary", "snap",
         Items{{"zone", "1"}}},
        {"an empty host", "tessary:///snap", "tessary", std::nullopt, std::nullopt},
        {"a scheme must start with a letter", "1tessary://snap", std::nullopt, std::nullopt, std::nullopt},
        {"no colon", "tessary", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const URLText url = URLText::parse(row.text);
        EXPECT_EQ(url.scheme, row.scheme);
        EXPECT_EQ(url.host, row.host);
        EXPECT_EQ(url.queryItems, row.items);
    }
}

}  // namespace
