#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Platform/Linux/AutostartLoginItems.h"
#include "Platform/Linux/DesktopEntry.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;
namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class AutostartLoginItemsTest : public ::testing::Test {
protected:
    fs::path entry() const { return folder / "autostart" / "tessary.desktop"; }

    TemporaryFolder folder;
};

TEST_F(AutostartLoginItemsTest, TheEntryStartsExactlyTheProgramWhateverItsPathHolds) {
    const char* programs[] = {
        "/usr/bin/tessary",
        "/home/ann/My Programs/tessary",
        "/opt/100% \"real\"/$HOME/`x`/back\\slash/tessary",
        "/tmp/new\nline/tessary",
    };
    for (const char* program : programs) {
        SCOPED_TRACE(program);
        AutostartLoginItems items(entry(), program);
        ASSERT_TRUE(items.setEnabled(true));
        EXPECT_TRUE(items.isEnabled());
        auto parsed = DesktopEntry::parse(contents(entry()));
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->execArguments({}), std::vector<std::string>{program});
        EXPECT_EQ(parsed->string("Type"), "Application");
    }
}

TEST_F(AutostartLoginItemsTest, SwitchingOffRemovesTheEntry) {
    AutostartLoginItems items(entry(), "/usr/bin/tessary");
    ASSERT_TRUE(items.setEnabled(true));
    ASSERT_TRUE(items.setEnabled(false));
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_FALSE(items.isEnabled());
    EXPECT_TRUE(items.setEnabled(false)) << "an entry already gone";
}

TEST_F(AutostartLoginItemsTest, AnEntryTheSessionSkipsReadsAsOff) {
    struct Row {
        const char* name;
        const char* text;
        bool enabled;
    };
    const Row rows[] = {
        {"plain", "[Desktop Entry]\nType=Application\nExec=tessary\n", true},
        {"hidden", "[Desktop Entry]\nType=Application\nExec=tessary\nHidden=true\n", false},
        {"turned off by the desktop", "[Desktop Entry]\nExec=tessary\nX-GNOME-Autostart-enabled=false\n", false},
        {"not an entry", "garbage\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::create_directories(entry().parent_path());
        std::ofstream(entry()) << row.text;
        EXPECT_EQ(AutostartLoginItems(entry(), "tessary").isEnabled(), row.enabled);
    }
}

TEST_F(AutostartLoginItemsTest, ASystemWideEntryCountsAndSwitchingOffHidesIt) {
    struct Row {
        const char* name;
        const char* systemEntry;  // null: none installed
        bool switchTo;
        bool enabledAfter;
        bool userEntryAfter;
    };
    const char* plain = "[Desktop Entry]\nType=Application\nExec=tessary\n";
    const char* hidden = "[Desktop Entry]\nType=Application\nExec=tessary\nHidden=true\n";
    const Row rows[] = {
        {"off over a system entry hides it", plain, false, false, true},
        {"on over a system entry", plain, true, true, true},
        {"off without a system entry removes ours", nullptr, false, false, false},
        {"off over a hidden system entry removes ours", hidden, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path system = folder / "xdg" / "autostart" / "tessary.desktop";
        fs::remove_all(folder / "xdg");
        fs::remove(entry());
        if (row.systemEntry) {
            fs::create_directories(system.parent_path());
            std::ofstream(system) << row.systemEntry;
        }
        AutostartLoginItems items(entry(), "/usr/bin/tessary", {folder / "missing" / "tessary.desktop", system});
        EXPECT_EQ(items.isEnabled(), row.systemEntry == plain) << "before";
        ASSERT_TRUE(items.setEnabled(!row.switchTo));
        ASSERT_TRUE(items.setEnabled(row.switchTo));
        EXPECT_EQ(items.isEnabled(), row.enabledAfter);
        EXPECT_EQ(fs::exists(entry()), row.userEntryAfter);
        if (row.systemEntry) {
            EXPECT_EQ(contents(system), row.systemEntry) << "the system file is never touched";
        }
    }
}

TEST_F(AutostartLoginItemsTest, AnUnwritableFolderIsAnErrorAndStaysOff) {
    if (::geteuid() == 0) {
        // Root writes through permissions; a file in the folder's place is refused to anyone.
        std::ofstream(folder / "autostart") << "not a folder";
    } else {
        fs::create_directories(folder / "autostart");
        fs::permissions(folder / "autostart", fs::perms::owner_read | fs::perms::owner_exec);
    }
    AutostartLoginItems items(entry(), "/usr/bin/tessary");
    auto result = items.setEnabled(true);
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().description.find("autostart"), std::string::npos) << result.error().description;
    EXPECT_FALSE(items.isEnabled());
}

}  // namespace
