#pragma once

// A request to the running program on its instance socket, as a later start sends it, without the
// cost of starting that process.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/InstanceMessage.h"

namespace tessary::bench {

// A request sent on the instance's socket, as a later start sends it; the reply is read later.
class InstanceRequestSocket {
public:
    using Clock = std::chrono::steady_clock;

    // The command line after the program's name: a URL, or a verb and its arguments.
    InstanceRequestSocket(const std::filesystem::path& socket, std::vector<std::string> arguments)
        : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("cannot reach the program's socket");
        }
        const std::string line = InstanceMessage::encode(InstanceRequest{std::move(arguments), {}});
        if (::send(fd_, line.data(), line.size(), MSG_NOSIGNAL) != ssize_t(line.size())) {
            throw std::runtime_error("cannot send the request");
        }
    }
    ~InstanceRequestSocket() { ::close(fd_); }
    InstanceRequestSocket(const InstanceRequestSocket&) = delete;
    InstanceRequestSocket& operator=(const InstanceRequestSocket&) = delete;

    // Waits for the reply line (the instance answers once it has run the request).
    bool answered(Clock::time_point deadline) {
        std::string got;
        while (got.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd fd{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&fd, 1, int(left)) <= 0) return false;
            char buffer[512];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) return false;
            got.append(buffer, std::size_t(n));
        }
        return true;
    }

private:
    int fd_;
};

}  // namespace tessary::bench
