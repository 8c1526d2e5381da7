#pragma once

// A desktop's D-Bus tray host, stood in for on a session bus of the test's own: the bus daemon and
// the stand-in watcher (app/FakeTrayWatcher.cpp), whose item's menu the test reads as a host does
// (com.canonical.dbusmenu over gdbus). A program started with `busVariable` in its environment
// exports its tray menu there. Both processes end with the object (the watcher first).

#include <optional>
#include <string>
#include <vector>

#include "tests/PinnedDesktop.h"
#include "tests/e2e/harness/ChildProcess.h"

namespace tessary::e2e {

class StandInTrayHost {
public:
    // `watcher` is the stand-in watcher program. ready() says whether the bus and the host run.
    explicit StandInTrayHost(const std::string& watcher) {
        ChildProcess::Options busOptions;
        busOptions.arguments = {"dbus-daemon", tessary::pinned::privateBusConfiguration(), "--nofork", "--print-address=1"};
        busOptions.pipeStdout = true;
        bus_ = ChildProcess::start(busOptions);
        const auto address = bus_.readLine(Clock::now() + 10s);
        if (!address || address->empty()) return;
        busVariable = "DBUS_SESSION_BUS_ADDRESS=" + *address;
        ChildProcess::Options watcherOptions;
        watcherOptions.arguments = {watcher};
        watcherOptions.environment = {busVariable};
        watcherOptions.pipeStdout = true;
        watcher_ = ChildProcess::start(watcherOptions);
        ready_ = watcher_.readLine(Clock::now() + 10s) == std::optional<std::string>("ready");
    }
    StandInTrayHost(const StandInTrayHost&) = delete;
    StandInTrayHost& operator=(const StandInTrayHost&) = delete;

    bool ready() const { return ready_; }

    // Waits for a program's tray item to register; its D-Bus service, or nothing.
    std::optional<std::string> awaitItem(std::chrono::milliseconds limit = 10s) {
        const auto item = watcher_.readLine(Clock::now() + limit);
        if (!item || !item->starts_with("item ")) return std::nullopt;
        service_ = item->substr(5);
        return service_;
    }

    // The menu as the host reads it when it opens: the opening announced, then the whole layout as
    // gdbus prints it (labels as 'label': <'Zone 2\tCtrl+Alt+2'>).
    std::string menuLayout() {
        call({"com.canonical.dbusmenu.AboutToShow", "0"});
        return call({"com.canonical.dbusmenu.GetLayout", "0", "--", "-1", "[]"});
    }

    std::string busVariable;

private:
    std::string call(std::vector<std::string> arguments) {
        ChildProcess::Options options;
        options.arguments = {"gdbus", "call", "--session", "--dest", service_, "--object-path", "/MenuBar", "--method"};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = {busVariable};
        options.pipeStdout = true;
        ChildProcess gdbus = ChildProcess::start(options);
        std::string output;
        const auto deadline = Clock::now() + 10s;
        while (auto line = gdbus.readLine(deadline)) output += *line + "\n";
        gdbus.waitForExit(deadline);
        return output;
    }

    ChildProcess bus_;
    ChildProcess watcher_;
    std::string service_;
    bool ready_ = false;
};

}  // namespace tessary::e2e
