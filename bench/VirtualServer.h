#pragma once

// A virtual X server for the benchmarks that measure the road over a real one: Xvfb on a display
// number it picks itself, split into side-by-side monitors as the end-to-end tests split it, and
// killed with the benchmark.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace tessary::bench {

constexpr int kMonitorWidth = 1920, kMonitorHeight = 1080;

inline bool waitReadable(int fd, int milliseconds = 2000) {
    pollfd wanted{fd, POLLIN, 0};
    return ::poll(&wanted, 1, milliseconds) > 0;
}

class VirtualServer {
public:
    VirtualServer(int width, int height) {
        int ready[2];
        if (::pipe(ready) != 0) throw std::runtime_error("pipe");
        const std::string fd = std::to_string(ready[1]);
        const std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "x24";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "+extension", "RANDR",
                     "-screen", "0", geometry.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        std::string number;
        char c = 0;
        while (waitReadable(ready[0], 10000) && ::read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(ready[0]);
        if (number.empty()) throw std::runtime_error("Xvfb did not start");
        name_ = ":" + number;
    }
    ~VirtualServer() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    VirtualServer(const VirtualServer&) = delete;
    VirtualServer& operator=(const VirtualServer&) = delete;

    const std::string& name() const { return name_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// With xrandr, as the end-to-end tests do; the first monitor takes the server's only output, so
// that no automatic monitor stays.
inline void splitIntoMonitors(const std::string& display, int displays) {
    for (int i = 0; i < displays; ++i) {
        const std::string geometry = std::to_string(kMonitorWidth) + "/520x" + std::to_string(kMonitorHeight) +
                                     "/290+" + std::to_string(i * kMonitorWidth) + "+0";
        const std::string command = "xrandr -display " + display + " --setmonitor bench-" + std::to_string(i) +
                                    " " + geometry + (i == 0 ? " screen" : " none") + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("xrandr --setmonitor failed");
    }
}

}  // namespace tessary::bench
