// Two machines synchronising through one sync folder: two sync programs, each on an X server of its
// own with its own configuration and documents (so each starts from its own starter library), on
// one shared folder, as a file-sync tool would share it between two machines.

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/TessaryCore/TestSupport.h"
#include "tests/e2e/harness/ChildProcess.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#ifndef TESSARY_SYNC_PROGRAM
#error "TESSARY_SYNC_PROGRAM must name the sync program"
#endif

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    if (text.empty()) return parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

// One machine: its desktop, its own settings and documents, and the sync program.
class Machine {
public:
    Machine(const fs::path& home, const fs::path& syncFolder) {
        // Sync switched on, and the shared folder chosen, as the Sync pane would store them.
        writeFile(home / "config" / "Tessary" / "defaults.json",
                  "{\"preferences.v1\": {\"data\": \"{\\\"iCloudSyncEnabled\\\":true}\"}, \"syncFolder\": \"" +
                      syncFolder.string() + "\"}");
        desktop = std::make_unique<VirtualDesktop>();
        ChildProcess::Options options;
        options.arguments = {TESSARY_SYNC_PROGRAM};
        options.environment = {"DISPLAY=" + desktop->display(), "XDG_CONFIG_HOME=" + (home / "config").string(),
                               "XDG_DATA_HOME=" + (home / "data").string(), "TESSARY_X_ERRORS_FATAL=1"};
        options.pipeStdin = true;
        options.pipeStdout = true;
        program = ChildProcess::start(options);
    }
    ~Machine() { program.kill(); }

    // Reads the program's lines until one satisfies the condition; the lines read stay in `seen`.
    bool waitFor(const std::function<bool(const std::string&)>& condition, std::chrono::milliseconds limit = 10s) {
        const auto deadline = Clock::now() + limit;
        for (; cursor < seen.size(); ++cursor) {
            if (condition(seen[cursor])) return ++cursor, true;
        }
        while (auto line = program.readLine(deadline)) {
            seen.push_back(*line);
            ++cursor;
            if (condition(*line)) return true;
        }
        return false;
    }
    // The items of the newest line starting with the prefix ("layouts ", "rules "), read up to now.
    std::vector<std::string> latest(const std::string& prefix, char separator) const {
        for (auto line = seen.rbegin(); line != seen.rend(); ++line) {
            if (line->rfind(prefix, 0) == 0) return split(line->substr(prefix.size()), separator);
        }
        return {};
    }
    void send(const std::string& command) { ASSERT_TRUE(program.writeLine(command)); }

    std::unique_ptr<VirtualDesktop> desktop;
    ChildProcess program;
    std::vector<std::string> seen;
    std::size_t cursor = 0;
};

auto startsWith(const std::string& prefix) {
    return [prefix](const std::string& line) { return line.rfind(prefix, 0) == 0; };
}

auto layoutsWith(const std::string& name) {
    return [name](const std::string& line) {
        if (line.rfind("layouts ", 0) != 0) return false;
        const auto names = split(line.substr(8), '|');
        return std::find(names.begin(), names.end(), name) != names.end();
    };
}

auto layoutCount(std::size_t count) {
    return [count](const std::string& line) { return line.rfind("layouts ", 0) == 0 && split(line.substr(8), '|').size() == count; };
}

TEST(SyncE2ETest, TwoMachinesExchangeLayoutsAndDeletionsThenGoQuiet) {
    TemporaryFolder root;
    const fs::path shared = root / "Sync";
    fs::create_directories(shared);

    Machine first(root / "first", shared);
    ASSERT_TRUE(first.waitFor(startsWith("ready")));
    Machine second(root / "second", shared);
    ASSERT_TRUE(second.waitFor(startsWith("ready")));
    for (const char* key : {"layouts.v1", "rules.v1", "workspaces.v1"}) EXPECT_TRUE(fs::is_regular_file(shared / key)) << key;
    // The second merged both starter libraries at launch; the first hears of it from the folder.
    EXPECT_EQ(second.latest("layouts ", '|').size(), 12u);
    ASSERT_TRUE(first.waitFor(layoutCount(12))) << "the first never took the second's starter layouts";

    // A layout made and assigned on the first reaches the second soon after the 2 s upload delay.
    const auto made = Clock::now();
    first.send("add-layout Tessellate");
    ASSERT_TRUE(second.waitFor(layoutsWith("Tessellate"), 10s));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - made);
    std::printf("a new layout reached the other machine after %lld ms (2000 ms of them the upload delay)\n",
                static_cast<long long>(took.count()));
    EXPECT_LT(took, 5s);

    // A rule deleted on the second disappears on the first: the tombstone travels.
    first.send("add-rule org.example.Mail");
    ASSERT_TRUE(second.waitFor(startsWith("rules org.example.Mail")));
    second.send("delete-rule org.example.Mail");
    ASSERT_TRUE(first.waitFor([](const std::string& line) { return line == "rules " || line == "rules"; }))
        << "the deletion did not reach the first";

    // Then neither writes to the folder again.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, shared.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MODIFY), 0);
    int events = 0;
    waitUntil(
        [&] {
            alignas(struct inotify_event) char buffer[4096];
            for (ssize_t length; (length = ::read(watch, buffer, sizeof buffer)) > 0;) {
                for (ssize_t offset = 0; offset < length;) {
                    const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + offset);
                    ADD_FAILURE() << "written after the exchange: " << (event->len ? event->name : "?");
                    offset += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
                    ++events;
                }
            }
            return events > 0;
        },
        Clock::now() + 10s, watch, 1000ms);
    ::close(watch);
    EXPECT_EQ(events, 0);
    for (Machine* machine : {&first, &second}) {
        EXPECT_TRUE(std::none_of(machine->seen.begin(), machine->seen.end(), [](const std::string& line) {
            return line.rfind("sync ", 0) == 0 && line != "sync ok";
        })) << "a sync error was reported";
    }
}

}  // namespace
}  // namespace tessary::e2e
