#pragma once

// One run of the real program on a test desktop, its standard error (with its standard output)
// read line by line, and later starts that hand their arguments to it.

#include "tests/e2e/harness/ChildProcess.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace tessary::e2e {

// What the program logs once its services run: the sign that a test's program is ready.
inline const std::string activeLine = "AppDelegate: drag snapping, shortcuts and window memory active";

// The program a test runs: this build's, or the one TESSARY_E2E_PROGRAM names (an earlier commit's,
// to see a test fail there; a Release build, for measurements).
inline std::string programUnderTest(const char* built) {
    const char* other = std::getenv("TESSARY_E2E_PROGRAM");
    return other && *other ? other : built;
}

class TessaryProgram {
public:
    // `shell` runs first in the shell that starts it (a limit set with ulimit).
    TessaryProgram(VirtualDesktop& desktop, const std::string& program, std::vector<std::string> arguments = {},
                   std::vector<std::string> environment = {}, const std::string& shell = "") {
        ChildProcess::Options options;
        options.arguments = {"sh", "-c", shell + "exec \"$0\" \"$@\" 2>&1", program};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = desktop.environment();
        options.environment.push_back("QT_QPA_PLATFORM=xcb");
        options.environment.push_back("TESSARY_DEBUG=1");
        options.environment.insert(options.environment.end(), environment.begin(), environment.end());
        options.pipeStdout = true;
        process = ChildProcess::start(options);
    }

    // Reads until a line equal to `line` arrives (or was read already, from the `from`th line on);
    // a `line` ending in a space matches every line it begins.
    bool expectLine(const std::string& line, std::size_t from = 0, std::chrono::milliseconds limit = 10s) {
        auto matches = [&](const std::string& l) { return l == line || (line.back() == ' ' && l.rfind(line, 0) == 0); };
        if (std::any_of(lines.begin() + std::ptrdiff_t(std::min(from, lines.size())), lines.end(), matches)) return true;
        const auto deadline = Clock::now() + limit;
        while (auto next = process.readLine(deadline)) {
            lines.push_back(*next);
            if (matches(*next)) return true;
        }
        return false;
    }
    // Everything up to the end of its output (it must be ending).
    void readToEnd(std::chrono::milliseconds limit = 10s) {
        const auto deadline = Clock::now() + limit;
        while (auto next = process.readLine(deadline)) lines.push_back(*next);
    }
    std::size_t count(const std::string& line) const {
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
    bool sanitizerReported() const {
        return std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find("Sanitizer") != std::string::npos || l.find("runtime error:") != std::string::npos;
        });
    }
    // The exit status, or -1 when it did not end in time or ended by a signal.
    int exitStatus(std::chrono::milliseconds limit = 10s) {
        auto status = process.waitForExit(Clock::now() + limit);
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // A later start with these arguments, answered by the running instance: its exit status and
    // output.
    static std::pair<int, std::vector<std::string>> run(VirtualDesktop& desktop, const std::string& program,
                                                        std::vector<std::string> arguments) {
        TessaryProgram later(desktop, program, std::move(arguments));
        const int status = later.exitStatus();
        later.readToEnd();
        return {status, later.lines};
    }

    ChildProcess process;
    std::vector<std::string> lines;
};

}  // namespace tessary::e2e
