#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "Tessary/integrations/CommandLineVerbs.h"
#include "Tessary/shell/VersionInfo.h"
#include "Tessary/integrations/Intents.h"
#include "tests/Tessary/integrations/IntegrationWorld.h"

using namespace tessary;
using namespace tessary::testing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::string contents(const std::filesystem::path& path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The first column of a list's lines.
std::vector<std::string> listedIdentifiers(const InstanceReply& reply) {
    std::vector<std::string> ids;
    std::istringstream lines(reply.text);
    for (std::string line; std::getline(lines, line);) ids.push_back(line.substr(0, line.find('\t')));
    return ids;
}

// What the instance starts from without a usable layouts document.
std::vector<std::string> starterIdentifiers() {
    std::vector<std::string> ids;
    for (const ZoneLayout& layout : LayoutLibrary::starter().layouts) ids.push_back(layout.id.uuidString());
    return ids;
}

class IntentsTest : public ::testing::Test, public IntegrationWorld {
protected:
    IntentsTest() {
        zones->updateLibrary([&](LayoutLibrary& library) { library.layouts.push_back(single); });
    }

    InstanceReply run(std::string_view verb, std::vector<std::string> arguments = {}) {
        return CommandLineVerbs::run(verb, arguments);
    }

    ZoneLayout single{UUID::random(), "Whole\tscreen", LayoutKind(ZoneGrid::uniform(1, 1)), 0, 0, std::nullopt, Date(0)};
};

TEST_F(IntentsTest, EveryActionBeforeTheHandlesAreSet) {
    addWorkspace("Office", 3);
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        InstanceReply reply;
    };
    const std::string layout = quarters.id.uuidString();
    const std::string workspace = workspaces.library().workspaces[0].id.uuidString();
    const Row rows[] = {
        {"snap", {"snap-front-window"}, {"Tessary is not running.", 1}},
        {"save a workspace", {"save-workspace", "--name", "Desk"}, {"Tessary is not running.", 1}},
        {"apply a layout", {"apply-layout", "--layout", layout}, {"Layout not found.", 1}},
        {"restore a workspace", {"restore-workspace", "--workspace", workspace}, {"Workspace not found.", 1}},
        {"show the zones", {"show-zones"}, {"", 0}},
        {"restore the windows", {"restore-windows"}, {"", 0}},
        {"apply the rules", {"apply-rules"}, {"", 0}},
        {"list the layouts", {"list", "layouts"}, {"", 0}},
        {"list the workspaces", {"list", "workspaces"}, {"", 0}},
        {"the displays already answer", {"list", "displays"}, {"MAIN\tMAIN\nSIDE\tSIDE", 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(run(row.arguments[0], {row.arguments.begin() + 1, row.arguments.end()}), row.reply);
    }
    EXPECT_THAT(calls, IsEmpty());
    EXPECT_EQ(frameOf(editor), editorStart);
    EXPECT_EQ(workspaces.library().workspaces.size(), 1u);
}

TEST_F(IntentsTest, ApplyLayoutAssignsInOneSaveOrChangesNothing) {
    setHandles();
    struct Row {
        const char* name;
        UUID layout;
        std::optional<DisplayEntity> display;
        std::vector<DisplayInfo> connected;
        std::optional<std::string> failure;
        std::map<std::string, UUID> assignments;
    };
    const Row rows[] = {
        {"every connected display", single.id, std::nullopt, {main, side}, std::nullopt,
         {{"MAIN@1000x800", single.id}, {"SIDE@800x600", single.id}}},
        {"one display", single.id, DisplayEntity{"SIDE", "SIDE"}, {main, side}, std::nullopt,
         {{"SIDE@800x600", single.id}}},
        {"a display no longer connected", single.id, DisplayEntity{"GONE", "Gone"}, {main, side}, "Display not found.",
         {}},
        {"no display at all", single.id, std::nullopt, {}, "Display not found.", {}},
        {"a deleted layout", UUID::random(), std::nullopt, {main, side}, "Layout not found.", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        zones->setLibrary([&] {
            LayoutLibrary library = zones->library();
            library.assignments.clear();
            return library;
        }());
        DisplayProvider::displaysOverride = row.connected;
        calls.clear();
        const int saves = writes("layouts.json");

        const auto result = ApplyLayoutIntent{LayoutEntity{row.layout, "Whole", 1}, row.display}.perform();

        EXPECT_EQ(result ? std::nullopt : std::optional(result.error().message), row.failure);
        std::map<std::string, UUID> assignments(zones->library().assignments.begin(),
                                                zones->library().assignments.end());
        EXPECT_EQ(assignments, row.assignments);
        EXPECT_EQ(writes("layouts.json") - saves, row.failure ? 0 : 1);
        EXPECT_EQ(calls, row.failure ? std::vector<std::string>{} : std::vector<std::string>{"flashZones"});
    }
}

TEST_F(IntentsTest, SaveWorkspaceUpdatesTheOneOfThatNameOrMakesANewOne) {
    setHandles();
    const Workspace office = addWorkspace("Office", 3);
    engine.setFrame(PlacementWorld::mainZone(1), editor);

    ASSERT_TRUE(SaveWorkspaceIntent{"office"}.perform());
    ASSERT_EQ(workspaces.library().workspaces.size(), 1u);
    const Workspace updated = workspaces.library().workspaces[0];
    EXPECT_EQ(updated.id, office.id);
    EXPECT_EQ(updated.name, "Office");
    ASSERT_FALSE(updated.entries.empty());
    EXPECT_EQ(updated.entries[0].zoneIndices, std::vector<std::int64_t>{1});
    EXPECT_THAT(calls, IsEmpty()) << "an update needs no new hot key";

    ASSERT_TRUE(SaveWorkspaceIntent{" Desk "}.perform());
    ASSERT_EQ(workspaces.library().workspaces.size(), 2u);
    EXPECT_EQ(workspaces.library().workspaces[1].name, " Desk ");
    EXPECT_EQ(calls, std::vector<std::string>{"workspacesChanged"});
}

TEST_F(IntentsTest, SnapAndRestoreWorkspaceReportWhatHappened) {
    setHandles();
    const Workspace office = addWorkspace("Office", 3);

    EXPECT_TRUE(SnapFrontWindowIntent{2}.perform());
    EXPECT_EQ(frameOf(editor), PlacementWorld::mainZone(1));
    EXPECT_EQ(SnapFrontWindowIntent{12}.perform().error().message, "zone 12 does not exist in this layout");
    EXPECT_EQ((RestoreWorkspaceIntent{{office.id, office.name}}.perform().value()), 1);
    EXPECT_EQ(frameOf(editor), PlacementWorld::mainZone(3));

    engine.focused.reset();
    EXPECT_EQ(SnapFrontWindowIntent{1}.perform().error().message, "no window");
    engine.removeWindow(editor);
    EXPECT_EQ((RestoreWorkspaceIntent{{office.id, office.name}}.perform().value()), 0) << "none of its windows open";
    EXPECT_EQ((RestoreWorkspaceIntent{{UUID::random(), "Office"}}.perform().error().message), "Workspace not found.");
}

TEST_F(IntentsTest, TheCommandLineTakesOnlyWhatTheActionsDo) {
    setHandles();
    const Workspace office = addWorkspace("Office", 3);
    std::string lowerCaseID = single.id.uuidString();
    for (char& c : lowerCaseID) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        std::string text;  // the whole reply, or its first line for a usage error
        Rect editorFrame = editorStart;
    };
    const Row rows[] = {
        {"snap with the default zone", {"snap-front-window"}, 0, "", PlacementWorld::mainZone(0)},
        {"snap with --zone N", {"snap-front-window", "--zone", "4"}, 0, "", PlacementWorld::mainZone(3)},
        {"snap with --zone=N", {"snap-front-window", "--zone=2"}, 0, "", PlacementWorld::mainZone(1)},
        {"the stepper's top", {"snap-front-window", "--zone", "20"}, 1, "zone 20 does not exist in this layout"},
        {"past the stepper", {"snap-front-window", "--zone", "21"}, 2, "tessary: --zone takes a number from 1 to 20"},
        {"zone 0", {"snap-front-window", "--zone", "0"}, 2, "tessary: --zone takes a number from 1 to 20"},
        {"a huge zone", {"snap-front-window", "--zone", "9223372036854775808"}, 2,
         "tessary: --zone takes a number from 1 to 20"},
        {"a zone that is no number", {"snap-front-window", "--zone", "+2"}, 2,
         "tessary: --zone takes a number from 1 to 20"},
        {"an option without its value", {"snap-front-window", "--zone"}, 2, "tessary: --zone needs a value"},
        {"an option twice", {"snap-front-window", "--zone", "1", "--zone", "2"}, 2, "tessary: --zone is given twice"},
        {"an option of another verb", {"snap-front-window", "--layout", "x"}, 2,
         "tessary: snap-front-window has no option --layout"},
        {"an argument it does not take", {"show-zones", "now"}, 2, "tessary: show-zones takes no argument now"},
        {"a required option missing", {"apply-layout"}, 2, "tessary: --layout is required"},
        {"a layout that is no identifier", {"apply-layout", "--layout", "BAD"}, 1, "Layout not found."},
        {"a layout that is a path", {"apply-layout", "--layout", "../../layouts.json"}, 1, "Layout not found."},
        {"a layout identifier in lower case", {"apply-layout", "--layout", lowerCaseID}, 0, ""},
        {"a display not connected", {"apply-layout", "--layout", lowerCaseID, "--display", "main"}, 1,
         "Display not found."},
        {"a workspace restored", {"restore-workspace", "--workspace", office.id.uuidString()}, 0, "1",
         PlacementWorld::mainZone(3)},
        {"a workspace that is no identifier", {"restore-workspace", "--workspace", "Office"}, 1,
         "Workspace not found."},
        {"list what is not listed", {"list", "rules"}, 2, "tessary: list takes one of layouts, workspaces, displays"},
        {"an unknown verb", {"frobnicate"}, 2, "tessary: unknown action frobnicate"},
        {"an option where the verb goes", {"--zone", "3"}, 2, "tessary: unknown option --zone"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        engine.setFrame(editorStart, editor);
        const InstanceReply reply = run(row.arguments[0], {row.arguments.begin() + 1, row.arguments.end()});
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.status == 2 ? reply.text.substr(0, reply.text.find('\n')) : reply.text, row.text);
        if (reply.status == 2) {
            EXPECT_NE(reply.text.find("\nUsage: tessary "), std::string::npos) << "no usage line";
        }
        EXPECT_EQ(frameOf(editor), row.editorFrame);
    }
}

// With no instance running the starting process answers itself: from the documents the instance
// would load, or "not running"; never what the empty handles would say.
TEST_F(IntentsTest, WithoutAnInstanceEachVerbAnswersAsTheInstanceWouldOrSaysItIsNotRunning) {
    const Workspace office = addWorkspace("Office", 3);
    const CommandLineVerbs::StoredDocuments documents{folder / "layouts.json", folder / "workspaces.json"};
    const InstanceReply notRunning{"Tessary is not running.", 1};
    const InstanceReply layouts{
        quarters.id.uuidString() + "\tQuarters\t4 zones\n" + single.id.uuidString() + "\tWhole screen\t1 zone", 0};
    const InstanceReply workspaceList{office.id.uuidString() + "\tOffice", 0};
    const InstanceReply displayList{"MAIN\tMAIN\nSIDE\tSIDE", 0};
    // Named replies, not nested braces: GCC 12 at -O3 falsely warns that such a member's string
    // may be used uninitialised.
    const InstanceReply done{"", 0};
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        InstanceReply running;
        InstanceReply notRunning;
    };
    const Row rows[] = {
        {"list the layouts", {"list", "layouts"}, layouts, layouts},
        {"list the workspaces", {"list", "workspaces"}, workspaceList, workspaceList},
        {"list the displays", {"list", "displays"}, displayList, displayList},
        {"snap", {"snap-front-window", "--zone", "2"}, done, notRunning},
        {"apply a layout", {"apply-layout", "--layout", single.id.uuidString()}, done, notRunning},
        {"restore a workspace", {"restore-workspace", "--workspace", office.id.uuidString()}, InstanceReply{"1", 0}, notRunning},
        {"show the zones", {"show-zones"}, done, notRunning},
        {"restore the windows", {"restore-windows"}, done, notRunning},
        {"apply the rules", {"apply-rules"}, done, notRunning},
        {"save a workspace", {"save-workspace", "--name", "Desk"}, done, notRunning},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string verb = row.arguments[0];
        const std::vector<std::string> rest(row.arguments.begin() + 1, row.arguments.end());
        engine.setFrame(editorStart, editor);
        const std::string layoutsBefore = contents(documents.layouts), workspacesBefore = contents(documents.workspaces);
        EXPECT_EQ(CommandLineVerbs::runWithoutInstance(verb, rest, documents), row.notRunning);
        EXPECT_EQ(frameOf(editor), editorStart);
        EXPECT_THAT(calls, IsEmpty());
        EXPECT_EQ(contents(documents.layouts), layoutsBefore);
        EXPECT_EQ(contents(documents.workspaces), workspacesBefore);

        setHandles();
        EXPECT_EQ(run(verb, rest), row.running);
        IntentServices::clear();
        calls.clear();
    }

    // A mistake in the command line is one either way.
    for (const std::vector<std::string>& mistake : std::vector<std::vector<std::string>>{
             {"apply-layout"}, {"snap-front-window", "--zone", "21"}, {"list", "rules"}, {"show-zones", "now"}}) {
        SCOPED_TRACE(mistake[0]);
        const std::vector<std::string> rest(mistake.begin() + 1, mistake.end());
        EXPECT_EQ(CommandLineVerbs::runWithoutInstance(mistake[0], rest, documents), run(mistake[0], rest));
        EXPECT_EQ(run(mistake[0], rest).status, CommandLineVerbs::usageStatus);
    }
    // Without documents, the starter layouts a first start makes are listed, by the identifiers they
    // will have; a note says why.
    const CommandLineVerbs::StoredDocuments none{folder / "absent" / "layouts.json", folder / "absent" / "workspaces.json"};
    const InstanceReply fresh = CommandLineVerbs::runWithoutInstance("list", {"layouts"}, none);
    EXPECT_EQ(fresh.status, 0);
    EXPECT_EQ(fresh.note, "No layouts are stored yet: Tessary starts from its starter layouts.");
    EXPECT_EQ(listedIdentifiers(fresh), starterIdentifiers());
    EXPECT_EQ(CommandLineVerbs::runWithoutInstance("list", {"workspaces"}, none), (InstanceReply{"", 0}));
}

// What the instance would make of documents it cannot use as they are, read without changing them.
TEST_F(IntentsTest, WithoutAnInstanceListsSayWhyADocumentGivesNothing) {
    const CommandLineVerbs::StoredDocuments documents{folder / "listed" / "layouts.json",
                                                      folder / "listed" / "workspaces.json"};
    writeFile(documents.layouts, "{\"version\": 1, \"layou");
    writeFile(documents.workspaces, "{\"version\": 2, \"workspaces\": \"in a newer form\"}");
    const InstanceReply layouts = CommandLineVerbs::runWithoutInstance("list", {"layouts"}, documents);
    EXPECT_EQ(listedIdentifiers(layouts), starterIdentifiers());
    EXPECT_EQ(layouts.status, 0);
    EXPECT_THAT(layouts.note, ::testing::StartsWith("The file \u201Clayouts.json\u201D could not be read because it is "
                                                    "not in the correct format: "));
    EXPECT_THAT(layouts.note, ::testing::EndsWith(" Tessary starts from its starter layouts."));
    EXPECT_EQ(CommandLineVerbs::runWithoutInstance("list", {"workspaces"}, documents),
              (InstanceReply{"", 0,
                             "The file \u201Cworkspaces.json\u201D was written by a newer version of Tessary; it is left "
                             "as it is. Tessary starts with no workspaces."}));
    // Looked at, not loaded: no copy set aside.
    EXPECT_FALSE(std::filesystem::exists(documents.layouts.string() + ".unreadable"));
}

TEST_F(IntentsTest, ListsPrintOneEntityALine) {
    setHandles();
    const Workspace office = addWorkspace("Office", 3);
    EXPECT_EQ(run("list", {"layouts"}).text,
              quarters.id.uuidString() + "\tQuarters\t4 zones\n" + single.id.uuidString() + "\tWhole screen\t1 zone");
    EXPECT_EQ(run("list", {"workspaces"}).text, office.id.uuidString() + "\tOffice");
}

TEST_F(IntentsTest, HelpNamesEveryVerbAndURLOnceWithinEightyColumns) {
    const std::string help = CommandLineVerbs::helpText();
    // A terminal's width, counted in characters (none is wide); what is said is read with the
    // wrapping undone.
    std::string said;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        const auto width = std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xc0) != 0x80; });
        EXPECT_LE(width, 80) << line;
        if (const auto text = line.find_first_not_of(' '); text != std::string::npos) said += line.substr(text) + " ";
    }
    for (std::string_view verb : CommandLineVerbs::names()) EXPECT_THAT(help, ::testing::HasSubstr("  " + std::string(verb)));
    // An action is described by its summary where it has one, else by its title; never both.
    for (std::string_view title : {RestoreWindowsToZonesIntent::title, ApplyRulesIntent::title, ShowZonesIntent::title}) {
        EXPECT_THAT(said, ::testing::HasSubstr(std::string(title))) << title;
    }
    for (std::string_view title : {SnapFrontWindowIntent::title, ApplyLayoutIntent::title, RestoreWorkspaceIntent::title,
                                   SaveWorkspaceIntent::title}) {
        EXPECT_THAT(said, ::testing::Not(::testing::HasSubstr(std::string(title) + ":"))) << title;
    }
    EXPECT_THAT(said, ::testing::HasSubstr("Snap the front window to zone N (1 to 20, 1 when not given)"));
    EXPECT_THAT(said, ::testing::HasSubstr("Apply LAYOUT on DISPLAY (every display when none is given)"));
    EXPECT_THAT(said, ::testing::HasSubstr("Save current windows as NAME"));
    EXPECT_THAT(help, ::testing::HasSubstr("  --version"));
    // The URLs too, each command of the handler with its query.
    for (std::string_view url : {"tessary://snap?zone=N", "tessary://editor[?new=1]", "tessary://onboarding",
                                 "tessary://settings[?pane=PANE]", "tessary://about", "tessary://feedback",
                                 "tessary://show-zones", "tessary://restore", "tessary://apply-rules",
                                 "tessary://workspace?name=NAME"}) {
        EXPECT_THAT(help, ::testing::HasSubstr("  " + std::string(url))) << url;
    }
    EXPECT_THAT(said, ::testing::HasSubstr("general, snapping, zones, shortcuts, rules, workspaces, excludedApps, sync, about"));
}

TEST_F(IntentsTest, TheVersionIsTheOneAboutShows) {
    EXPECT_EQ(CommandLineVerbs::versionText(), "Tessary " + appVersionString());
    EXPECT_TRUE(CommandLineVerbs::isVersion("--version"));
    EXPECT_FALSE(CommandLineVerbs::isVerb("--version"));
}

TEST_F(IntentsTest, QueriesResolveInSourceOrderAndLeaveOutWhatIsGone) {
    setHandles();
    const Workspace office = addWorkspace("Office", 3);
    const Workspace home = addWorkspace("Home", 0);
    const UUID deleted = UUID::random();

    using Layouts = std::vector<LayoutEntity>;
    const LayoutEntity a{quarters.id, "Quarters", 4}, b{single.id, "Whole\tscreen", 1};
    const std::pair<const char*, std::pair<std::vector<UUID>, Layouts>> layoutRows[] = {
        {"asked B then A", {{single.id, quarters.id}, Layouts{a, b}}},
        {"asked twice", {{quarters.id, quarters.id}, Layouts{a}}},
        {"a deleted layout among them", {{deleted, single.id}, Layouts{b}}},
        {"nothing asked", {{}, Layouts{}}},
    };
    for (const auto& [name, row] : layoutRows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(LayoutQuery().entities(row.first), row.second);
    }
    EXPECT_EQ(LayoutQuery().suggestedEntities(), (Layouts{a, b}));

    workspaces.updateLibrary([&](WorkspaceLibrary& library) { library.workspaces[0].name = "Studio"; });
    EXPECT_EQ(WorkspaceQuery().entities({home.id, office.id}),
              (std::vector<WorkspaceEntity>{{office.id, "Studio"}, {home.id, "Home"}}))
        << "renamed after it was stored: found under its new name";

    using Displays = std::vector<DisplayEntity>;
    DisplayInfo twin = makeDisplay(3, "SIDE", Rect(1800, 0, 800, 600));
    twin.localizedName = "Twin";
    const std::pair<const char*, std::pair<std::vector<DisplayInfo>, Displays>> displayRows[] = {
        {"connected", {{main, side}, Displays{{"SIDE", "SIDE"}}}},
        {"disconnected", {{main}, Displays{}}},
        {"reconnected at another resolution",
         {{main, makeDisplay(2, "SIDE", Rect(1000, 0, 1280, 1024))}, Displays{{"SIDE", "SIDE"}}}},
        {"two with the same identifier", {{side, twin}, Displays{{"SIDE", "SIDE"}, {"SIDE", "Twin"}}}},
    };
    for (const auto& [name, row] : displayRows) {
        SCOPED_TRACE(name);
        DisplayProvider::displaysOverride = row.first;
        EXPECT_EQ(DisplayQuery().entities({"SIDE", "side"}), row.second);
    }
}

}  // namespace

// A home that cannot be written: the command says so every time, the user is told once per cause
// and again when saving works anew, and the log does not grow with every attempt.
TEST_F(IntentsTest, ASaveWorkspaceThatCannotBeWrittenFailsAndIsToldOnce) {
    setHandles();
    std::vector<std::string> notices;
    workspaces.saveReport().setOnNotice([&](const SaveReport::Notice& notice) { notices.push_back(notice.title); });
    const std::size_t logged = sink.messages("Workspaces").size();
    files->writeFault = std::make_error_code(std::errc::read_only_file_system);

    for (const char* name : {"H1", "H2", "H1"}) {
        SCOPED_TRACE(name);
        const InstanceReply reply = run("save-workspace", {"--name", name});
        EXPECT_EQ(reply.status, CommandLineVerbs::failedStatus);
        EXPECT_THAT(reply.text, ::testing::HasSubstr("Read-only file system"));
    }
    EXPECT_EQ(workspaces.library().workspaces.size(), 2u) << "kept in memory all the same";
    EXPECT_EQ(notices, std::vector<std::string>{"\u201Cworkspaces.json\u201D could not be saved"});
    EXPECT_EQ(sink.messages("Workspaces").size(), logged + 1);

    files->writeFault = std::make_error_code(std::errc::no_space_on_device);
    EXPECT_EQ(run("save-workspace", {"--name", "H3"}).status, CommandLineVerbs::failedStatus);
    EXPECT_EQ(notices.size(), 2u) << "another cause is told";

    files->writeFault = {};
    EXPECT_EQ(run("save-workspace", {"--name", "H4"}).status, 0);
    EXPECT_EQ(notices.back(), "\u201Cworkspaces.json\u201D is saved again");
    EXPECT_EQ(workspaces.saveReport().failure(), std::nullopt);
    EXPECT_EQ(run("save-workspace", {"--name", "H5"}).status, 0);
    EXPECT_EQ(notices.size(), 3u);
}

// Names come from other machines and other programs: listed, they neither end early at a NUL nor
// turn the terminal's text around or start another line.
TEST_F(IntentsTest, ListedNamesShowControlAndDirectionCharactersEscaped) {
    setHandles();
    const struct {
        std::string name;
        std::string shown;
    } rows[] = {
        {std::string("Desk\0Hidden", 11), "Desk\\u0000Hidden"},
        {"abc\u202Edcba", "abc\\u202Edcba"},
        {"tab\tand\nline", "tab and line"},
        {"bell\x07 del\x7f isolate\u2066", "bell\\u0007 del\\u007F isolate\\u2066"},
        {"Caf\u00e9 \u65e5\u672c", "Caf\u00e9 \u65e5\u672c"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        workspaces.replaceLibrary(WorkspaceLibrary{});
        const Workspace workspace = addWorkspace(row.name, 1);
        const InstanceReply listed = run("list", {"workspaces"});
        EXPECT_EQ(listed.text, workspace.id.uuidString() + "\t" + row.shown);
    }
}
