#include "tests/e2e/harness/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace tessary::e2e {

namespace {

int remainingMilliseconds(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

void closeIfOpen(int& descriptor) {
    if (descriptor >= 0) {
        ::close(descriptor);
        descriptor = -1;
    }
}

}  // namespace

ChildProcess ChildProcess::start(const Options& options) {
    if (options.arguments.empty()) {
        throw std::invalid_argument("no program to start");
    }
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (options.pipeStdin && ::pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    if (options.pipeStdout && ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");

    // Everything the child needs is prepared before fork: only async-signal-safe calls follow.
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        std::string text(*entry);
        auto at = text.find('=');
        merged[text.substr(0, at)] = text;
    }
    for (const auto& text : options.environment) {
        merged[text.substr(0, text.find('='))] = text;
    }
    std::vector<std::string> environmentText;
    for (auto& [name, text] : merged) environmentText.push_back(text);
    std::vector<char*> environment;
    for (auto& text : environmentText) environment.push_back(text.data());
    environment.push_back(nullptr);
    std::vector<std::string> argumentText = options.arguments;
    std::vector<char*> arguments;
    for (auto& text : argumentText) arguments.push_back(text.data());
    arguments.push_back(nullptr);
    pid_t parent = ::getpid();

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        if (options.ownProcessGroup) ::setpgid(0, 0);
        if (in[0] >= 0) ::dup2(in[0], STDIN_FILENO);
        else {
            int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, STDIN_FILENO);
        }
        if (out[1] >= 0) {
            ::dup2(out[1], STDOUT_FILENO);
        } else if (options.discardStdout) {
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
        }
        for (int descriptor : options.inheritedDescriptors) {
            int flags = ::fcntl(descriptor, F_GETFD);
            ::fcntl(descriptor, F_SETFD, flags & ~FD_CLOEXEC);
        }
        ::execve(arguments[0], arguments.data(), environment.data());
        // A bare name: search the PATH.
        ::execvpe(arguments[0], arguments.data(), environment.data());
        ::_exit(127);
    }
    ChildProcess child;
    child.pid_ = pid;
    child.group_ = options.ownProcessGroup;
    // Also here, so that a kill right after the start reaches the group.
    if (child.group_) ::setpgid(pid, pid);
    child.pidDescriptor_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (in[0] >= 0) {
        ::close(in[0]);
        child.stdin_ = in[1];
    }
    if (out[1] >= 0) {
        ::close(out[1]);
        child.stdout_ = out[0];
    }
    return child;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept {
    *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        kill();
        pid_ = std::exchange(other.pid_, -1);
        pidDescriptor_ = std::exchange(other.pidDescriptor_, -1);
        stdin_ = std::exchange(other.stdin_, -1);
        stdout_ = std::exchange(other.stdout_, -1);
        buffered_ = std::move(other.buffered_);
        exitStatus_ = std::exchange(other.exitStatus_, std::nullopt);
        group_ = std::exchange(other.group_, false);
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    kill();
}

bool ChildProcess::writeLine(const std::string& line) {
    if (stdin_ < 0) return false;
    std::string text = line + "\n";
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(stdin_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> ChildProcess::readLine(Clock::time_point deadline) {
    for (;;) {
        if (auto at = buffered_.find('\n'); at != std::string::npos) {
            std::string line = buffered_.substr(0, at);
            buffered_.erase(0, at + 1);
            return line;
        }
        if (stdout_ < 0) return std::nullopt;
        pollfd descriptor{stdout_, POLLIN, 0};
        int ready = ::poll(&descriptor, 1, remainingMilliseconds(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[4096];
        ssize_t n = ::read(stdout_, chunk, sizeof chunk);
        if (n <= 0) return std::nullopt;
        buffered_.append(chunk, static_cast<size_t>(n));
    }
}

std::optional<int> ChildProcess::waitForExit(Clock::time_point deadline) {
    if (exitStatus_) return exitStatus_;
    if (pid_ <= 0) return std::nullopt;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitStatus_ = status;
            return exitStatus_;
        }
        if (done < 0 && errno != EINTR) {
            exitStatus_ = -1;
            return exitStatus_;
        }
        int left = remainingMilliseconds(deadline);
        if (left == 0) return std::nullopt;
        // The pid descriptor becomes readable when the process ends.
        pollfd descriptor{pidDescriptor_, POLLIN, 0};
        ::poll(&descriptor, pidDescriptor_ >= 0 ? 1 : 0, std::min(left, pidDescriptor_ >= 0 ? left : 10));
    }
}

void ChildProcess::kill() {
    if (pid_ > 0 && !exitStatus_) {
        ::kill(pid_, SIGTERM);
        if (!waitForExit(Clock::now() + 1s)) {
            ::kill(pid_, SIGKILL);
            waitForExit(Clock::now() + 10s);
        }
    }
    // What the child started outlives it otherwise; the group's id stays ours until all are gone.
    if (group_ && pid_ > 0) ::kill(-pid_, SIGKILL);
    closeIfOpen(stdin_);
    closeIfOpen(stdout_);
    closeIfOpen(pidDescriptor_);
    pid_ = -1;
}

void ChildProcess::crash() {
    if (pid_ > 0 && !exitStatus_) {
        ::kill(group_ ? -pid_ : pid_, SIGKILL);
        waitForExit(Clock::now() + 10s);
    }
    kill();
}

bool waitUntil(const std::function<bool()>& condition, Clock::time_point deadline, int descriptor,
               std::chrono::milliseconds interval) {
    for (;;) {
        if (condition()) return true;
        int left = remainingMilliseconds(deadline);
        if (left == 0) return condition();
        pollfd entry{descriptor, POLLIN, 0};
        ::poll(&entry, descriptor >= 0 ? 1 : 0, std::min<int>(left, static_cast<int>(interval.count())));
    }
}

}  // namespace tessary::e2e
