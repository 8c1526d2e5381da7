#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Platform/Linux/DesktopEntry.h"

using namespace tessary;
using Arguments = std::optional<std::vector<std::string>>;

TEST(DesktopEntry, ReadsOnlyTheDesktopEntryGroupWithItsFirstValues) {
    const auto entry = DesktopEntry::parse(
        "# a comment\n"
        "\n"
        "[Desktop Entry]\n"
        "Type = Application\r\n"
        "Name=Editor\n"
        "Name=Second\n"
        "Icon=  editor  \n"
        "Comment=a\\sb\\nc\\\\d\\qe\n"
        "Hidden=True\n"
        "NoDisplay=true\n"
        "[Desktop Action new]\n"
        "Exec=editor --new\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->string("Type"), "Application");
    EXPECT_EQ(entry->string("Name"), "Editor");
    EXPECT_EQ(entry->string("Icon"), "editor");
    EXPECT_EQ(entry->string("Comment"), "a b\nc\\d\\qe");
    EXPECT_FALSE(entry->boolean("Hidden"));  // only the lower-case word is true
    EXPECT_TRUE(entry->boolean("NoDisplay"));
    EXPECT_EQ(entry->string("Exec"), std::nullopt);  // an action's, not the application's

    EXPECT_FALSE(DesktopEntry::parse("Name=orphan\n[Other]\nName=x\n"));
    EXPECT_FALSE(DesktopEntry::parse(""));
    EXPECT_FALSE(DesktopEntry::parse(std::string("\0\xff[", 3)));
}

TEST(DesktopEntry, PicksTheMostSpecificLocalisedValue) {
    const auto entry = DesktopEntry::parse(
        "[Desktop Entry]\n"
        "Name=Plain\n"
        "Name[de]=de\n"
        "Name[de_AT]=de_AT\n"
        "Name[de@formal]=de@formal\n"
        "Name[sr_RS@latin]=sr_RS@latin\n");
    ASSERT_TRUE(entry);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"de_DE.UTF-8", "de"},           {"de_AT.UTF-8", "de_AT"},    {"de_AT@formal", "de_AT"},
        {"de_CH@formal", "de@formal"},   {"sr_RS.UTF-8@latin", "sr_RS@latin"},
        {"fr_FR.UTF-8", "Plain"},        {"C", "Plain"},              {"", "Plain"},
    };
    for (const auto& [locale, expected] : cases) {
        EXPECT_EQ(entry->localeString("Name", locale), expected) << locale;
    }
}

TEST(DesktopEntry, SplitsExecLinesAndExpandsFieldCodes) {
    const DesktopEntry::ExecContext context{"editor-icon", "My \"Editor\"", "/apps/editor.desktop"};
    const DesktopEntry::ExecContext noIcon{std::nullopt, "Editor", "/apps/editor.desktop"};
    struct Case {
        std::string exec;
        Arguments expected;
        const DesktopEntry::ExecContext* context;
    };
    const std::vector<Case> cases = {
        {"editor %U", std::vector<std::string>{"editor"}, &context},
        {"editor --new-window %u %f %F %d %D %n %N %v %m %z", std::vector<std::string>{"editor", "--new-window"}, &context},
        {"  editor\t-a   -b  ", std::vector<std::string>{"editor", "-a", "-b"}, &context},
        {"\"/opt/My App/editor\" --flag", std::vector<std::string>{"/opt/My App/editor", "--flag"}, &context},
        {R"(editor "a \"q\" \$HOME \`x\` \\ \n")", std::vector<std::string>{"editor", R"(a "q" $HOME `x` \ \n)"}, &context},
        {"editor 100%% --file=%f", std::vector<std::string>{"editor", "100%", "--file="}, &context},
        {"editor %i", std::vector<std::string>{"editor", "--icon", "editor-icon"}, &context},
        {"editor %i", std::vector<std::string>{"editor"}, &noIcon},
        {"editor x%i", std::vector<std::string>{"editor", "x"}, &context},  // not alone: nothing
        {"editor --name %c %k", std::vector<std::string>{"editor", "--name", "My \"Editor\"", "/apps/editor.desktop"}, &context},
        {"editor \"\" ''", std::vector<std::string>{"editor", "", ""}, &context},
        {"sh -c 'echo %f; exit'", std::vector<std::string>{"sh", "-c", "echo %f; exit"}, &context},
        {"editor a\\ b", std::vector<std::string>{"editor", "a b"}, &context},
        // Nothing is for a shell: these are plain arguments of the program.
        {"editor ; rm -rf ~ $(x) |", std::vector<std::string>{"editor", ";", "rm", "-rf", "~", "$(x)", "|"}, &context},
        {"editor %", std::vector<std::string>{"editor"}, &context},
        {"editor \"open", std::nullopt, &context},
        {"editor 'open", std::nullopt, &context},
        {"%U", std::nullopt, &context},
        {"\"\" arg", std::nullopt, &context},
        {"   ", std::nullopt, &context},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DesktopEntry::splitExec(c.exec, *c.context), c.expected) << c.exec;
    }
}

TEST(DesktopEntry, DecodesStringEscapesBeforeTheExecQuoting) {
    // In the file a backslash inside quotes is written four times: once for the string, once for Exec.
    const auto entry = DesktopEntry::parse("[Desktop Entry]\nExec=editor \"C:\\\\\\\\dir\" two\\swords\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->execArguments({}), (std::vector<std::string>{"editor", "C:\\dir", "two", "words"}));
    EXPECT_EQ(DesktopEntry::parse("[Desktop Entry]\nName=x\n")->execArguments({}), std::nullopt);
}
