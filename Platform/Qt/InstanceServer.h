#pragma once

// The running instance's side of the single-instance socket (see Platform/Linux/SingleInstance.h):
// answers each later start's request on the main loop. Connections are plain non-blocking
// descriptors watched by Qt Core's notifiers, so that the program maps no network library at start.
//
// A connection is read without blocking as its bytes arrive; it is dropped unanswered when its
// peer is another user, when its request does not decode, or when it is not complete within two
// seconds (on the Scheduler; what arrived while the loop was busy is read before that is decided);
// a request that grows past the size limit is answered with a refusal that says so
// (oversizedReply()), never run. Complete requests run in the order they arrived, one handler per
// turn of the loop (never inside the accepting), so that between two handlers every connection is
// read and every time limit kept; a request whose start closed its end while it waited is dropped
// rather than run, since that start has told its user it failed. One request per connection; a
// reply that the peer stops taking for two seconds drops the connection too. A descriptor is closed
// once its notifiers are deleted, so its number never returns from accept while a notifier still
// names it. The socket file is made 0600 (only its owner may connect) and removed when the server ends.
//
// The log hears of each kind of dropped or refused connection once per flood: the first at once,
// the rest counted and summed up when no more came for floodQuiet (or every floodSummaryInterval
// while they go on), so that a program holding idle connections open cannot fill the log.
//
// Under load: at most maximumConnections are held at once, so that no number of clients can use up
// the program's descriptors. What a newcomer sent is read as it is accepted. Beyond the limit, a
// newcomer that sent nothing is turned away; one that sent closes the oldest connection whose
// request has not arrived (or is turned away itself when every held one is being answered). Each
// is sent the busy reply first, and its start tries again. Refusing is logged once until the
// connections fall back to none. When
// accepting fails for want of descriptors the server pauses a moment and accepts again; any other
// failure of the listening socket makes it anew, and so does the removal of its file (watched
// through the folder, which costs nothing while nothing happens). The socket keeps listening for
// the life of the server.

#include <QObject>

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Platform/InstanceMessage.h"
#include "Platform/Linux/SingleInstance.h"
#include "Platform/Logger.h"
#include "Platform/Scheduler.h"

class QFileSystemWatcher;
class QSocketNotifier;

namespace tessary {

class InstanceServer final {
public:
    using Handler = std::function<InstanceReply(const InstanceRequest&)>;

    static constexpr std::chrono::seconds requestTimeLimit{2};
    static constexpr std::size_t maximumConnections = 32;
    // How long accepting pauses when the process has no descriptor to spare, or the socket could
    // not be made again.
    static constexpr std::chrono::milliseconds pauseAfterFailure{200};
    static constexpr std::chrono::seconds floodQuiet{10};
    static constexpr std::chrono::seconds floodSummaryInterval{60};

    // The answer to a request past InstanceMessage::maximumSize: "tessary: the request is larger
    // than 64 kB", status 1.
    static InstanceReply oversizedReply();

    // Holds the lock for its lifetime; listens only from start().
    InstanceServer(InstanceLock lock, Scheduler& scheduler);
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Listens on the socket and answers every request with the handler; false (logged) when the
    // socket cannot be made.
    bool start(Handler handler);
    // Stops watching the socket's folder, stops listening and removes the socket, in that order, so
    // that the removal is not taken for someone else's and the socket made anew. For a quit that
    // cannot wait for the destructor (the X server is gone). Safe to repeat.
    void close();
    const InstanceLocation& location() const { return lock_.location(); }
    std::size_t connectionCount() const { return connections_.size(); }

private:
    enum class Phase {
        reading,    // the request is still arriving
        queued,     // complete; waiting for its turn
        answering,  // its handler runs, or its reply is being sent
    };
    struct Connection {
        int descriptor = -1;
        QSocketNotifier* readable = nullptr;
        // Made only when the reply does not fit the socket's buffer at once.
        QSocketNotifier* writable = nullptr;
        std::string buffer;
        // The reply, and how much of it is sent.
        std::string reply;
        std::size_t sent = 0;
        ScheduledTask timeout;
        Phase phase = Phase::reading;
        std::optional<InstanceRequest> request;
    };

    bool listen();
    // Makes the socket anew when its file is gone or another took its place.
    void checkSocketFile();
    void stopListening();
    void relisten();
    void pauseAccepting();
    void accept();
    // Room for one more connection: false when the newcomer is to be turned away instead.
    bool makeRoom(bool newcomerSent);
    void admit(int descriptor, std::string early);
    void read(std::uint64_t id);
    // The request time limit: what arrived while the loop was busy is read first.
    void arrivalTimedOut(std::uint64_t id);
    // Runs the first queued request on the next turn of the loop.
    void scheduleTurn();
    void runNext();
    // Starts sending the reply.
    void respond(std::uint64_t id, const InstanceReply& reply);
    // Sends what is left of the reply; the connection ends once it is all sent.
    void write(std::uint64_t id);
    // The time limit on taking the rest of the reply, from now.
    void awaitTaking(std::uint64_t id);
    void drop(std::uint64_t id);
    void logOncePerFlood(const std::string& line);

    InstanceLock lock_;
    Scheduler& scheduler_;
    Handler handler_;
    bool started_ = false;
    int listener_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QFileSystemWatcher> folderWatch_;
    ino_t socketFile_ = 0;
    ScheduledTask resume_;
    // Parent of every connection's notifiers, so that one whose deferred deletion never ran dies with it.
    std::unique_ptr<QObject> notifiers_;
    // By age: identifiers only grow.
    std::map<std::uint64_t, Connection> connections_;
    // Complete requests in the order they arrived.
    std::deque<std::uint64_t> queue_;
    bool turnPending_ = false;
    std::uint64_t nextID_ = 0;
    bool refusalLogged_ = false;
    bool shortageLogged_ = false;
    struct Flood {
        std::size_t unlogged = 0;
        Scheduler::TimePoint logged;
        ScheduledTask ebb;
    };
    std::map<std::string, Flood, std::less<>> floods_;
    Logger log_{"Instance"};
};

}  // namespace tessary
