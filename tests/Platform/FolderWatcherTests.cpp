#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "Platform/Linux/FolderWatcher.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "TessaryCore/DocumentFileSystem.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class FolderWatcherTest : public ::testing::Test {
protected:
    // What the watcher has told so far, after taking its events and letting its quiet period pass.
    std::map<fs::path, std::set<std::string>> told() {
        watcher.processEvents();
        scheduler.advance(FolderWatcher::quietPeriod);
        return std::exchange(heard, {});
    }

    // The XDG folders exist; the program's own folders in them not yet.
    static fs::path parentMade(fs::path folder) {
        fs::create_directories(folder.parent_path());
        return folder;
    }

    TemporaryFolder home;
    fs::path data = parentMade(home / "data" / "Tessary");
    fs::path config = parentMade(home / "config" / "Tessary");
    VirtualScheduler scheduler;
    std::map<fs::path, std::set<std::string>> heard;
    FolderWatcher watcher{{data, config}, scheduler, [this](const fs::path& folder, const std::set<std::string>& names) {
                              heard[folder].insert(names.begin(), names.end());
                          }};
};

}  // namespace

// Another instance's atomic save, told once by name after the burst; a folder made only later (the
// first start of all) is watched from then on, with what it already holds.
TEST_F(FolderWatcherTest, SavesInTheWatchedFoldersAreToldOnceByName) {
    fs::create_directories(config);
    writeFile(config / "early.json", "{}");
    ASSERT_GE(watcher.fileDescriptor(), 0);
    EXPECT_EQ(told(), (std::map<fs::path, std::set<std::string>>{{config, {"early.json"}}})) << "what it held when it came";

    PosixDocumentFileSystem files;
    ASSERT_FALSE(files.writeAtomically(config / "defaults.json", "{}"));
    ASSERT_FALSE(files.writeAtomically(config / "defaults.json", "{\"a\": 1}"));
    const auto saved = told();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.at(config), std::set<std::string>{"defaults.json"});

    fs::create_directories(data);
    writeFile(data / "layouts.json", "{}");
    const auto made = told();
    ASSERT_TRUE(made.contains(data));
    EXPECT_TRUE(made.at(data).contains("layouts.json"));

    ASSERT_FALSE(files.writeAtomically(data / "workspaces.json", "{}"));
    EXPECT_EQ(told(), (std::map<fs::path, std::set<std::string>>{{data, {"workspaces.json"}}}));
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "no timer while nothing changes";
}
