#pragma once

// One running instance per user and X display, found through a local socket.
//
// Where: $XDG_RUNTIME_DIR/tessary/ (made 0700; a runtime folder or a "tessary" folder that is not
// the user's own is refused, and the program then runs without a socket), one socket and one lock
// file per X display ("local-0.socket", "local-0.lock"), so that a start on another display never
// reaches this instance.
//
// Who: the process holding the lock (flock, released by the kernel however the holder ends) is the
// instance. A later start that cannot take the lock forwards its request over the socket; one that
// takes it removes whatever socket a killed instance left and becomes the instance. Two starts at
// once race only for the lock, so exactly one wins. The instance listens only once it is ready to
// answer; until then a later start finds no socket (or a refusing one) and tries again.
//
// Many starts at once: one that finds the instance's queue of waiting connections full, or is sent
// the busy reply (the instance holds as many connections as it will and did not take this one's
// request), tries again after a short, varied pause, until its time is up. Neither case ran the
// request, so trying again never runs it twice.
//
// An instance that dies (a crash, kill -9, a quit) while a start's connection waits in its queue or
// is being read resets that connection or closes it unanswered. The start then tries for the lock
// again, until its time is up: the lock comes free once the dying process is gone, and the start
// becomes the instance (or, for an action, answers it as without an instance). A request the dying
// instance had begun to run may so run twice; one lost with it would leave no instance at all.
//
// The socket's peer must run as the same user, on either side. A start connects only to a socket
// file of its user's own; a lock or socket file of another user's (a folder opened up to others can
// hold one) is renamed out of the way (NAME.not-ours), logged, and never stops a start.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "Platform/InstanceMessage.h"
#include "TessaryCore/Expected.h"

namespace tessary {

struct InstanceLocation {
    std::filesystem::path folder;
    std::filesystem::path socket;
    std::filesystem::path lock;

    // The folder for the runtime directory and the X display name (":0", "host:1.0"); the reason
    // when there is none to use.
    static Expected<InstanceLocation, std::string> locate(const std::optional<std::filesystem::path>& runtimeDirectory,
                                                          std::string_view display);
    // The file-name stem of a display: "local-0" for ":0" and ":0.1", "host-1" for "host:1".
    static std::string displayStem(std::string_view display);
    // Where to look when there is no usable runtime folder ($XDG_RUNTIME_DIR unset, or not the
    // user's own): /tmp/tessary-runtime-UID, made 0700 when missing, the same for every start of the
    // user's (locate() still checks that it is theirs).
    static std::filesystem::path fallbackRuntimeDirectory();
};

// The lock that makes this process the instance; released when destroyed.
class InstanceLock {
public:
    // The lock, or nothing when another process holds it (or the lock file cannot be opened).
    static std::optional<InstanceLock> acquire(const InstanceLocation& location);

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Removes a socket file left by an instance that did not end cleanly; holding the lock, nobody
    // else listens there.
    void removeStaleSocket() const;
    const InstanceLocation& location() const { return location_; }

private:
    InstanceLock(InstanceLocation location, int descriptor) : location_(std::move(location)), descriptor_(descriptor) {}

    InstanceLocation location_;
    int descriptor_ = -1;
};

// Why a request could not be forwarded.
struct ForwardError {
    enum class Code {
        notListening,  // no socket, or nobody accepts on it: the instance is starting or gone
        busy,          // the instance did not take the request now: its queue is full, or it said so
        gone,          // the instance reset the connection or closed it unanswered: it is going away
        failed,        // the instance was reached but did not answer properly
    };
    Code code = Code::failed;
    std::string description;
};

// A later start's side: sends the request and waits for the reply.
struct InstanceClient {
    // The reply an instance sends a connection whose request it did not take.
    static constexpr int busyStatus = 75;
    static InstanceReply busyReply() { return {"Tessary is busy", busyStatus}; }

    static Expected<InstanceReply, ForwardError> send(const InstanceLocation& location, const InstanceRequest& request,
                                                      std::chrono::milliseconds timeout);

    // Either this process becomes the instance (the lock), or the running instance answers (its
    // reply). A start that finds the instance not yet listening, busy, or going away tries again
    // until the deadline; once its request is sent it waits `replyPatience` for the answer, then
    // gives up and closes (the instance then never runs it).
    using Outcome = std::variant<InstanceLock, InstanceReply, ForwardError>;
    static Outcome becomeOrForward(const InstanceLocation& location, const InstanceRequest& request,
                                   std::chrono::milliseconds patience = std::chrono::seconds(10),
                                   std::chrono::milliseconds replyPatience = std::chrono::seconds(5));
};

// The user id of a connected local socket's peer; nothing when it cannot be told.
std::optional<uid_t> peerUserID(int socketDescriptor);

}  // namespace tessary
