#pragma once

// A compositing manager (xcompmgr) on the benchmark's display, for the figures taken with and
// without one. Stopped when this object ends, so that no compositor outlives its server.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace tessary::bench {

class CompositorProcess {
public:
    CompositorProcess() = default;
    ~CompositorProcess() { stop(); }
    CompositorProcess(const CompositorProcess&) = delete;
    CompositorProcess& operator=(const CompositorProcess&) = delete;

    bool running() const { return pid_ > 0; }

    void start(const std::string& display) {
        if (running()) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execlp("xcompmgr", "xcompmgr", "-d", display.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }

    void stop() {
        if (!running()) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

private:
    pid_t pid_ = 0;
};

}  // namespace tessary::bench
