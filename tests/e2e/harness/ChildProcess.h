#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessary::e2e {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A process the harness started. It dies with the test: the destructor kills it by its pid, and
// the kernel kills it too should the test process itself die (PR_SET_PDEATHSIG).
class ChildProcess {
public:
    struct Options {
        std::vector<std::string> arguments;  // the program first
        std::vector<std::string> environment;  // NAME=value added to (or replacing in) ours
        bool pipeStdin = false;
        bool pipeStdout = false;
        // Without a pipe, stdout goes to /dev/null instead of the test's output.
        bool discardStdout = false;
        // Descriptors the child keeps open (under the same number).
        std::vector<int> inheritedDescriptors;
        // The child leads a process group of its own, and kill() and crash() end the whole group:
        // for programs that start helpers of their own (a D-Bus session's daemon).
        bool ownProcessGroup = false;
    };

    static ChildProcess start(const Options& options);
    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    pid_t pid() const { return pid_; }

    // Writes one line to the child's stdin.
    bool writeLine(const std::string& line);
    // Reads one line of the child's stdout; nullopt at the deadline or end of file.
    std::optional<std::string> readLine(Clock::time_point deadline);

    // Waits for the process to end; its wait status, or nullopt at the deadline.
    std::optional<int> waitForExit(Clock::time_point deadline);
    // SIGTERM, then SIGKILL when it has not ended within a second; always reaps it.
    void kill();
    // SIGKILL at once (a crash, as far as others can tell); reaps it.
    void crash();

private:
    pid_t pid_ = -1;
    int pidDescriptor_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::string buffered_;
    std::optional<int> exitStatus_;
    bool group_ = false;
};

// Waits until `condition` holds or the deadline passes, checking again whenever `descriptor`
// (when given) becomes readable and at the latest every `interval`.
bool waitUntil(const std::function<bool()>& condition, Clock::time_point deadline, int descriptor = -1,
               std::chrono::milliseconds interval = 20ms);

}  // namespace tessary::e2e
