#pragma once

// A listening TCP socket on 127.0.0.1, on a port the kernel chose: where the tests' stand-ins for
// the feedback server listen.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace tessary::e2e {

class LoopbackListener {
public:
    // `flags` go to socket(2) (SOCK_NONBLOCK, say); port() is 0 when listening failed.
    explicit LoopbackListener(int flags = 0) {
        descriptor_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(descriptor_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(descriptor_, 4) == 0 &&
            ::getsockname(descriptor_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~LoopbackListener() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int descriptor() const { return descriptor_; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    int descriptor_ = -1;
    int port_ = 0;
};

}  // namespace tessary::e2e
