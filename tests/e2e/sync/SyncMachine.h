#pragma once

// Two machines synchronising through one sync folder: the real tessary program twice, each on an X
// server of its own with its own XDG folders (so each starts from its own starter library), both on
// one shared folder as a file-sync tool would share it between two machines. Edits are made through
// the program's command-line verbs; what each machine holds is read from its own document files.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/RuleSet.h"
#include "TessaryCore/WorkspaceLibrary.h"
#include "tests/TessaryCore/TestSupport.h"
#include "tests/e2e/harness/ChildProcess.h"
#include "tests/e2e/harness/TessaryProgram.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif

namespace tessary::e2e {

namespace fs = std::filesystem;

inline std::string programPath() { return programUnderTest(TESSARY_PROGRAM); }

struct Reply {
    int status = -1;
    std::vector<std::string> lines;
    std::string first() const { return lines.empty() ? "" : lines.front(); }
};

template <typename Document>
std::optional<Document> decodeFile(const fs::path& path) {
    if (!fs::exists(path)) return std::nullopt;
    auto document = JSONDocumentStore<Document>::decode(readFile(path));
    if (!document) return std::nullopt;
    return *document;
}

inline std::size_t countRulesFor(const RuleSet& rules, const std::string& application) {
    return static_cast<std::size_t>(std::count_if(rules.rules.begin(), rules.rules.end(),
                                                  [&](const PlacementRule& rule) { return rule.bundleID == application; }));
}

// One machine: its desktop, its user defaults choosing the shared folder with sync switched on (as
// the Sync pane stores them; without a folder, none chosen and sync off) and onboarding done, and
// the program running there.
class Machine {
public:
    // `extra`: variables for the program beyond the desktop's (a clock that runs ahead, say).
    explicit Machine(const std::optional<fs::path>& syncFolder, std::vector<std::string> extra = {})
        : desktop(std::make_unique<VirtualDesktop>()), extra_(std::move(extra)) {
        writeFile(fs::path(desktop->configHome()) / "Tessary" / "defaults.json",
                  syncFolder ? "{\"hasCompletedOnboarding\": true, \"preferences.v1\": {\"data\": "
                               "\"{\\\"iCloudSyncEnabled\\\":true}\"}, \"syncFolder\": \"" + syncFolder->string() + "\"}\n"
                             : std::string("{\"hasCompletedOnboarding\": true}\n"));
        start();
    }
    ~Machine() { program.kill(); }

    void start() {
        ChildProcess::Options options;
        options.arguments = {"sh", "-c", "exec \"$0\" 2>&1", programPath()};
        options.environment = environment();
        options.pipeStdout = true;
        program = ChildProcess::start(options);
        lines.clear();
    }

    // Ends the program as a user quits it; true when it ended cleanly.
    bool quit() {
        ::kill(program.pid(), SIGTERM);
        const auto deadline = Clock::now() + 15s;
        while (auto line = program.readLine(deadline)) lines.push_back(*line);
        const auto status = program.waitForExit(deadline);
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    }

    // Whether the launch sequence ran (the synchronisation's first pull and push with it) and the
    // instance answers later starts.
    bool launched() {
        const fs::path socket = fs::path(desktop->runtimeDirectory()) / "tessary" /
                                ("local-" + desktop->display().substr(1) + ".socket");
        return waitUntil([&] { return drain(), hasLine(activeLine) && fs::exists(socket); }, Clock::now() + 20s);
    }

    // A later start of the program here with these arguments, answered by the running instance.
    Reply run(const std::vector<std::string>& arguments) {
        ChildProcess::Options options;
        options.arguments = {"sh", "-c", "exec \"$0\" \"$@\" 2>&1", programPath()};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = environment();
        options.pipeStdout = true;
        ChildProcess later = ChildProcess::start(options);
        Reply reply;
        const auto deadline = Clock::now() + 15s;
        while (auto line = later.readLine(deadline)) reply.lines.push_back(*line);
        const auto status = later.waitForExit(deadline);
        reply.status = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
        return reply;
    }

    // The settings window's test query: the reply's first line, or "status N ..." on a failure.
    std::string settings(const std::vector<std::string>& arguments) {
        std::vector<std::string> full{"settings-test"};
        full.insert(full.end(), arguments.begin(), arguments.end());
        const Reply reply = run(full);
        return reply.status == 0 ? reply.first() : "status " + std::to_string(reply.status) + " " + reply.first();
    }

    // Waits until the settings query answers `expected` (or, with `prefix`, something starting with it).
    bool settingsSay(const std::vector<std::string>& arguments, const std::string& expected, bool prefix = false) {
        return waitUntil([&] {
            drain();
            const std::string answer = settings(arguments);
            return prefix ? answer.starts_with(expected) : answer == expected;
        }, Clock::now() + 15s, -1, 100ms);
    }

    // Clicks the middle of a control of the settings window, by its name.
    bool click(const std::string& name) {
        int x = 0, y = 0, width = 0, height = 0;
        if (!(std::istringstream(settings({"rect", name})) >> x >> y >> width >> height)) return false;
        desktop->movePointerTo(x + width / 2, y + height / 2);
        desktop->pressButton(1, true);
        desktop->pressButton(1, false);
        desktop->syncInput();
        return true;
    }

    // Types the text on the US keyboard of the virtual desktop, key by key.
    void type(const std::string& text) {
        constexpr uint32_t shift = 0xffe1;
        for (const char c : text) {
            const bool upper = c >= 'A' && c <= 'Z';
            if (upper) desktop->pressKey(shift, true);
            desktop->pressKey(static_cast<unsigned char>(c), true);
            desktop->pressKey(static_cast<unsigned char>(c), false);
            if (upper) desktop->pressKey(shift, false);
        }
        desktop->syncInput();
    }

    // The whole screen, for a person to look at, in the folder the test runs in.
    void screenshot(const std::string& name) {
        EXPECT_TRUE(desktop->run({"import", "-window", "root", (fs::current_path() / name).string()}, Clock::now() + 10s));
    }

    // The documents as this machine's disk holds them; nothing for a missing or unreadable file.
    std::optional<LayoutLibrary> layouts() const { return decodeFile<LayoutLibrary>(dataFolder() / "layouts.json"); }
    std::optional<RuleSet> rules() const { return decodeFile<RuleSet>(dataFolder() / "rules.json"); }
    std::optional<WorkspaceLibrary> workspaces() const {
        return decodeFile<WorkspaceLibrary>(dataFolder() / "workspaces.json");
    }

    // Takes what the program has written so far, without waiting; its output must not fill the pipe.
    void drain() {
        while (auto line = program.readLine(Clock::now())) lines.push_back(*line);
    }
    bool hasLine(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }

    std::unique_ptr<VirtualDesktop> desktop;
    ChildProcess program;
    std::vector<std::string> lines;

private:
    std::vector<std::string> environment() const {
        auto variables = desktop->environment();
        variables.push_back("QT_QPA_PLATFORM=xcb");
        variables.push_back("TESSARY_E2E=1");
        variables.insert(variables.end(), extra_.begin(), extra_.end());
        return variables;
    }
    std::vector<std::string> extra_;
    fs::path dataFolder() const { return fs::path(desktop->dataHome()) / "Tessary"; }
};

// Waits until the condition holds, taking both programs' output meanwhile.
inline bool eventually(Machine& a, Machine& b, const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    return waitUntil([&] { return a.drain(), b.drain(), condition(); }, Clock::now() + limit, -1, 50ms);
}

// The names of the writes seen on the folder within the span: every event that changes a file.
inline std::vector<std::string> writesWithin(const fs::path& folder, std::chrono::milliseconds span, Machine& a, Machine& b) {
    std::vector<std::string> written;
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, folder.c_str(),
                                         IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MODIFY) < 0) {
        ADD_FAILURE() << "cannot watch " << folder;
        return written;
    }
    waitUntil(
        [&] {
            a.drain(), b.drain();
            alignas(struct inotify_event) char buffer[4096];
            for (ssize_t length; (length = ::read(watch, buffer, sizeof buffer)) > 0;) {
                for (ssize_t offset = 0; offset < length;) {
                    const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + offset);
                    written.emplace_back(event->len ? event->name : "?");
                    offset += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
                }
            }
            return false;
        },
        Clock::now() + span, watch, 500ms);
    ::close(watch);
    return written;
}

// Removes a folder and what is in it, again where a machine wrote into it meanwhile, as a file
// manager would.
inline void removeFolder(const fs::path& folder) {
    std::error_code removal;
    const auto removeBy = Clock::now() + 5s;
    while (fs::remove_all(folder, removal), removal && Clock::now() < removeBy) std::this_thread::sleep_for(50ms);
    ASSERT_FALSE(removal) << removal.message();
}

// What the copies of rules.v1 set aside in the folder hold.
inline std::vector<std::string> rulesSetAside(const fs::path& folder) {
    std::vector<std::string> copies;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("rules.v1.unreadable-")) copies.push_back(readFile(entry.path()));
    }
    return copies;
}

// How many times the program told its user that rules.v1 was set aside.
inline long toldRulesSetAside(const Machine& machine) {
    return std::count_if(machine.lines.begin(), machine.lines.end(), [](const std::string& line) {
        return line.starts_with("AppDelegate: \u201Crules.v1\u201D in the sync folder was set aside");
    });
}

// The workspace of that name on the machine's disk.
inline std::optional<Workspace> workspaceNamed(const Machine& machine, const std::string& name) {
    const auto library = machine.workspaces();
    return library ? library->workspaceNamed(name) : std::nullopt;
}


}  // namespace tessary::e2e
