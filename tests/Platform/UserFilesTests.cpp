// The five files the program keeps for the user (the four documents and the user defaults) meet
// the same file system: what a user links into place, what a crash leaves, what is not a file.

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Linux/JSONFileUserDefaults.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/RuleSet.h"
#include "TessaryCore/WindowPlacementMemory.h"
#include "TessaryCore/WorkspaceLibrary.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;
namespace fs = std::filesystem;

namespace {

// What the owner of a file does with it: load it at start (the read error's text, "" when the file
// loaded or did not exist), then save a change with the same store.
struct Session {
    std::string loadError;
    bool saved = false;
};

struct UserFile {
    const char* name;
    std::function<Session(const fs::path&, bool save)> open;
    // A fragment every saved file holds.
    std::string savedText;

    std::string load(const fs::path& path) const { return open(path, false).loadError; }
    Session loadAndSave(const fs::path& path) const { return open(path, true); }
};

template <typename Document>
UserFile document(const char* name, Document saved, std::string savedText) {
    return UserFile{name,
                    [saved](const fs::path& path, bool save) {
                        JSONDocumentStore<Document> store(path);
                        auto loaded = store.load();
                        Session session{loaded ? std::string() : loaded.error().text()};
                        if (save) session.saved = store.save(saved).hasValue();
                        return session;
                    },
                    savedText};
}

std::vector<UserFile> userFiles() {
    return {
        document("layouts.json", LayoutLibrary::starter(), "\"layouts\""),
        document("memory.json", WindowPlacementMemory{}, "\"version\""),
        document("rules.json", RuleSet{}, "\"version\""),
        document("workspaces.json", WorkspaceLibrary{}, "\"version\""),
        UserFile{"defaults.json",
                 [](const fs::path& path, bool save) {
                     RecordingLogSink sink;
                     ScopedLogSink capture(sink);
                     JSONFileUserDefaults defaults(path);
                     auto lines = sink.messages("UserDefaults");
                     Session session{defaults.isWritable() || lines.empty() ? std::string() : lines.front()};
                     if (save) {
                         defaults.set("hasCompletedOnboarding", true);
                         session.saved = defaults.isWritable();
                     }
                     return session;
                 },
                 "\"hasCompletedOnboarding\""},
    };
}

class UserFiles : public ::testing::Test {
protected:
    fs::path home() const { return folder / "Tessary"; }
    TemporaryFolder folder;
};

TEST_F(UserFiles, AnythingButARegularFileIsAReadErrorAndNeverBlocks) {
    for (const UserFile& file : userFiles()) {
        SCOPED_TRACE(file.name);
        const fs::path path = home() / file.name;
        fs::create_directories(home());
        // Nobody writes to this pipe: a blocking open or read would hang here.
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        const Session session = file.loadAndSave(path);
        EXPECT_NE(session.loadError.find("Not a regular file"), std::string::npos) << session.loadError;
        EXPECT_FALSE(session.saved);
        EXPECT_TRUE(fs::is_fifo(path)) << "what the user put there is left alone";
        fs::remove(path);
    }
}

TEST_F(UserFiles, ALinkAtTheFileIsFollowedAndStays) {
    struct Case {
        const char* name;
        // Where the link points, as written into it (a relative target is read from the link's folder).
        std::function<fs::path(const fs::path& folder, const std::string& file)> linkText;
        // The file that must receive the saves.
        std::function<fs::path(const fs::path& folder, const std::string& file)> target;
        bool targetExistsBefore;
    };
    const Case cases[] = {
        {"relative link to a file beside it", [](const fs::path&, const std::string& f) { return fs::path("real-" + f); },
         [](const fs::path& d, const std::string& f) { return d / "Tessary" / ("real-" + f); }, true},
        {"relative link into a sibling folder",
         [](const fs::path&, const std::string& f) { return fs::path("../dotfiles") / f; },
         [](const fs::path& d, const std::string& f) { return d / "dotfiles" / f; }, true},
        {"dangling link (the target is made by the first save)",
         [](const fs::path& d, const std::string& f) { return d / "dotfiles" / "new" / f; },
         [](const fs::path& d, const std::string& f) { return d / "dotfiles" / "new" / f; }, false},
        {"link into another folder", [](const fs::path& d, const std::string& f) { return d / "elsewhere" / f; },
         [](const fs::path& d, const std::string& f) { return d / "elsewhere" / f; }, true},
    };
    for (const Case& c : cases) {
        for (const UserFile& file : userFiles()) {
            SCOPED_TRACE(std::string(c.name) + ": " + file.name);
            TemporaryFolder root;
            const fs::path link = root / "Tessary" / file.name;
            const fs::path target = c.target(root.path(), file.name);
            fs::create_directories(link.parent_path());
            if (c.targetExistsBefore) {
                fs::create_directories(target.parent_path());
                ASSERT_TRUE(file.loadAndSave(target).saved);
            }
            fs::create_symlink(c.linkText(root.path(), file.name), link);

            ASSERT_TRUE(file.loadAndSave(link).saved);
            EXPECT_TRUE(fs::is_symlink(link));
            EXPECT_NE(readFile(target).find(file.savedText), std::string::npos) << readFile(target);
            EXPECT_EQ(file.load(link), "");
            // Nothing but the link in the program's folder.
            std::vector<std::string> names;
            for (const auto& entry : fs::directory_iterator(link.parent_path())) names.push_back(entry.path().filename());
            EXPECT_EQ(names.size(), c.target(root.path(), file.name).parent_path() == link.parent_path() ? 2u : 1u)
                << ::testing::PrintToString(names);
        }
    }
}

TEST_F(UserFiles, LoadingRemovesOnlyTheStaleTemporariesOfThatFile) {
    const auto ago = [](std::chrono::seconds age) {
        const auto when = std::chrono::system_clock::now() - age;
        return fs::file_time_type::clock::now() - (std::chrono::system_clock::now() - when);
    };
    for (const UserFile& file : userFiles()) {
        SCOPED_TRACE(file.name);
        const std::string name = file.name;
        struct Leftover {
            std::string name;
            std::chrono::seconds age;
            bool removed;
        };
        const std::vector<Leftover> leftovers = {
            {"." + name + ".a1B2c3", std::chrono::seconds(120), true},      // a save killed two minutes ago
            {"." + name + ".Zz9900", std::chrono::seconds(86400), true},    // and one a day ago
            {"." + name + ".x7Y8z9", std::chrono::seconds(5), false},       // perhaps a save right now
            {"." + name + ".held01", std::chrono::seconds(120), false},     // a save that still writes
            {"." + name + ".abc", std::chrono::seconds(120), false},        // not our pattern
            {"." + name + ".a1-2c3", std::chrono::seconds(120), false},
            {name + ".a1B2c3", std::chrono::seconds(120), false},
            {".other.json.a1B2c3", std::chrono::seconds(120), false},
            {name + ".unreadable", std::chrono::seconds(120), false},
        };
        TemporaryFolder root;
        const fs::path path = root / "Tessary" / name;
        for (const Leftover& leftover : leftovers) {
            writeFile(path.parent_path() / leftover.name, "{");
            fs::last_write_time(path.parent_path() / leftover.name, ago(leftover.age));
        }
        const int held = ::open((path.parent_path() / ("." + name + ".held01")).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);

        EXPECT_EQ(file.load(path), "");
        ::close(held);
        for (const Leftover& leftover : leftovers) {
            EXPECT_EQ(fs::exists(path.parent_path() / leftover.name), !leftover.removed) << leftover.name;
        }
    }
}

}  // namespace
