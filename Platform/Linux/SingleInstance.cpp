#include "Platform/Linux/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <thread>

#include "Platform/Logger.h"

namespace tessary {

namespace fs = std::filesystem;

namespace {

std::string errnoText(int error) { return std::strerror(error); }

// A folder that exists as a real folder (not a link) of this user's.
bool isOwnFolder(const fs::path& folder, struct stat& info) {
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
}

// Whether the file at the path is this user's own, of the kind asked for (S_IFSOCK, S_IFREG), not a
// link; nothing when there is no file.
std::optional<bool> isOwnFile(const fs::path& path, mode_t kind) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    return (info.st_mode & S_IFMT) == kind && info.st_uid == ::getuid();
}

// Moves a file that is not this user's (or not of its kind) out of the way of ours. Only a folder
// opened up to others can hold one; the folder is ours, so the rename is allowed.
void setAsideForeign(const fs::path& path) {
    fs::path aside = path;
    aside += ".not-ours";
    const Logger log("Instance");
    if (::rename(path.c_str(), aside.c_str()) == 0) {
        log.error("Set aside " + path.string() + ", which was not this user's own, as " + aside.string());
    } else {
        log.error("Cannot set aside " + path.string() + ", which is not this user's own: " + errnoText(errno));
    }
}

using Clock = std::chrono::steady_clock;

int remainingMilliseconds(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the descriptor to be ready for `events` until the deadline.
bool waitFor(int descriptor, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{descriptor, events, 0};
        const int ready = ::poll(&entry, 1, remainingMilliseconds(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

}  // namespace

std::string InstanceLocation::displayStem(std::string_view display) {
    const auto colon = display.rfind(':');
    std::string host = colon == std::string_view::npos ? std::string() : std::string(display.substr(0, colon));
    std::string number = std::string(colon == std::string_view::npos ? display : display.substr(colon + 1));
    number = number.substr(0, number.find('.'));  // the screen does not matter: one X server
    if (host.empty() || host == "unix") host = "local";
    std::string stem = host + "-" + (number.empty() ? "0" : number);
    for (char& c : stem) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        if (!plain) c = '_';
    }
    return stem;
}

Expected<InstanceLocation, std::string> InstanceLocation::locate(const std::optional<fs::path>& runtimeDirectory,
                                                                 std::string_view display) {
    if (!runtimeDirectory) return unexpected(std::string("XDG_RUNTIME_DIR is not set"));
    struct stat info {};
    if (!isOwnFolder(*runtimeDirectory, info)) {
        return unexpected(runtimeDirectory->string() + " is not a folder of this user's");
    }
    const fs::path folder = *runtimeDirectory / "tessary";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return unexpected("cannot create " + folder.string() + ": " + errnoText(errno));
    }
    if (!isOwnFolder(folder, info)) return unexpected(folder.string() + " is not a folder of this user's");
    // Ours, so nobody else could have loosened it but us: tighten it back.
    if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
        return unexpected("cannot make " + folder.string() + " private: " + errnoText(errno));
    }
    const std::string stem = displayStem(display);
    InstanceLocation location{folder, folder / (stem + ".socket"), folder / (stem + ".lock")};
    if (location.socket.string().size() >= sizeof(sockaddr_un::sun_path)) {
        return unexpected(location.socket.string() + " is too long for a socket");
    }
    return location;
}

fs::path InstanceLocation::fallbackRuntimeDirectory() {
    // Every start of the user's must find the same folder: /tmp, not $TMPDIR.
    const fs::path folder = "/tmp/tessary-runtime-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

std::optional<InstanceLock> InstanceLock::acquire(const InstanceLocation& location) {
    // Another user's lock file, left in a folder that was open to others, would hold every start
    // off for good: it goes, and ours takes its place.
    if (isOwnFile(location.lock, S_IFREG) == false) setAsideForeign(location.lock);
    const int descriptor = ::open(location.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid() ||
        ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return std::nullopt;
    }
    return InstanceLock(location, descriptor);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : location_(std::move(other.location_)), descriptor_(std::exchange(other.descriptor_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        location_ = std::move(other.location_);
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    // The lock file stays: removing it would let a third start lock a new file while a second
    // still holds the old one.
    if (descriptor_ >= 0) ::close(descriptor_);
}

void InstanceLock::removeStaleSocket() const { ::unlink(location_.socket.c_str()); }

std::optional<uid_t> peerUserID(int socketDescriptor) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socketDescriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
    return credentials.uid;
}

Expected<InstanceReply, ForwardError> InstanceClient::send(const InstanceLocation& location,
                                                           const InstanceRequest& request,
                                                           std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (descriptor < 0) return unexpected(ForwardError{ForwardError::Code::failed, "socket: " + errnoText(errno)});
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{descriptor};
    auto fail = [&](const std::string& what) {
        return unexpected(ForwardError{ForwardError::Code::failed, what});
    };

    // Nothing is connected to that is not this user's own socket: whoever made it would learn of
    // the start. Set aside, it makes room for the instance's own, which it makes anew when it sees
    // its file gone.
    const auto ownSocket = isOwnFile(location.socket, S_IFSOCK);
    if (ownSocket != true) {
        if (ownSocket == false) setAsideForeign(location.socket);
        return unexpected(ForwardError{ForwardError::Code::notListening, "no socket of this user's"});
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, location.socket.c_str(), sizeof address.sun_path - 1);
    // A local socket connects at once or not at all: EAGAIN is the instance's queue of waiting
    // connections full, and the socket is not connected.
    if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno == ENOENT || errno == ECONNREFUSED) {
            return unexpected(ForwardError{ForwardError::Code::notListening, errnoText(errno)});
        }
        if (errno == EAGAIN) return unexpected(ForwardError{ForwardError::Code::busy, "the running instance is busy"});
        return fail("cannot connect: " + errnoText(errno));
    }
    if (peerUserID(descriptor) != ::getuid()) return fail("the socket belongs to another user");

    const std::string message = InstanceMessage::encode(request);
    for (std::size_t sent = 0; sent < message.size();) {
        const ssize_t n = ::send(descriptor, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(descriptor, POLLOUT, deadline)) return fail("the running instance does not answer");
        } else if (n < 0 && (errno == EPIPE || errno == ECONNRESET)) {
            // Closed by the instance: what it said before (the busy reply) is still to be read.
            break;
        } else {
            return fail("cannot send: " + errnoText(errno));
        }
    }

    std::string received;
    // Where the search for the line's end goes on: a long reply arrives in many pieces.
    std::size_t searched = 0;
    for (;;) {
        if (const auto newline = received.find('\n', searched); newline != std::string::npos) {
            auto reply = InstanceMessage::decodeReply(std::string_view(received).substr(0, newline));
            if (!reply) return fail("the running instance gave an unreadable reply");
            if (*reply == busyReply()) {
                return unexpected(ForwardError{ForwardError::Code::busy, "the running instance is busy"});
            }
            return *reply;
        }
        searched = received.size();
        if (received.size() >= InstanceMessage::maximumReplySize) return fail("the running instance's reply is too long");
        if (!waitFor(descriptor, POLLIN, deadline)) return fail("the running instance does not answer");
        char buffer[65536];
        const ssize_t n = ::recv(descriptor, buffer, sizeof buffer, 0);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            return unexpected(ForwardError{ForwardError::Code::gone,
                                           "the running instance closed the connection without a reply"});
        } else if (errno == ECONNRESET) {
            return unexpected(ForwardError{ForwardError::Code::gone, "cannot receive: " + errnoText(errno)});
        } else if (errno != EAGAIN && errno != EINTR) {
            return fail("cannot receive: " + errnoText(errno));
        }
    }
}

InstanceClient::Outcome InstanceClient::becomeOrForward(const InstanceLocation& location,
                                                        const InstanceRequest& request,
                                                        std::chrono::milliseconds patience,
                                                        std::chrono::milliseconds replyPatience) {
    const auto deadline = Clock::now() + patience;
    std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<int> pause(0, 45);
    for (;;) {
        if (auto lock = InstanceLock::acquire(location)) {
            lock->removeStaleSocket();
            return std::move(*lock);
        }
        auto reply = send(location, request, replyPatience);
        if (reply) return std::move(reply.value());
        const ForwardError::Code code = reply.error().code;
        if (code == ForwardError::Code::failed || Clock::now() >= deadline) return reply.error();
        if (code == ForwardError::Code::notListening || code == ForwardError::Code::gone) {
            // Still starting (it holds the lock but does not listen yet), or ending: the lock comes
            // free with the process.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } else {
            // Busy: starts that came together spread out, rather than return together.
            std::this_thread::sleep_for(std::chrono::milliseconds(5 + pause(random)));
        }
    }
}

}  // namespace tessary
