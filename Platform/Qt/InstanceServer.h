#pragma once

// The running instance's side of the single-instance socket (see Platform/Linux/SingleInstance.h):
// answers each later start's request on the main loop.
//
// A connection is read without blocking as its bytes arrive; it is dropped unanswered when its
// peer is another user, when its request grows past the size limit or does not decode, or when it
// is not complete within two seconds (on the Scheduler). The socket file is removed when the server
// ends.

#include <QObject>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Platform/InstanceMessage.h"
#include "Platform/Linux/SingleInstance.h"
#include "Platform/Logger.h"
#include "Platform/Scheduler.h"

class QLocalServer;
class QLocalSocket;

namespace tessary {

class InstanceServer final {
public:
    using Handler = std::function<InstanceReply(const InstanceRequest&)>;

    static constexpr std::chrono::seconds requestTimeLimit{2};

    // Holds the lock for its lifetime; listens only from start().
    InstanceServer(InstanceLock lock, Scheduler& scheduler);
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Listens on the socket and answers every request with the handler; false (logged) when the
    // socket cannot be made.
    bool start(Handler handler);
    const InstanceLocation& location() const { return lock_.location(); }
    std::size_t connectionCount() const { return connections_.size(); }

private:
    struct Connection {
        QLocalSocket* socket = nullptr;
        std::string buffer;
        ScheduledTask timeout;
    };

    void accept();
    void read(std::uint64_t id);
    void drop(std::uint64_t id);

    InstanceLock lock_;
    Scheduler& scheduler_;
    Handler handler_;
    std::unique_ptr<QLocalServer> server_;
    std::map<std::uint64_t, Connection> connections_;
    std::uint64_t nextID_ = 0;
    Logger log_{"Instance"};
};

}  // namespace tessary
