#include "Platform/Qt/InstanceServer.h"

#include <QFileSystemWatcher>
#include <QMetaObject>
#include <QSocketNotifier>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessary {

namespace {

// Sends the busy reply without waiting: the start behind it tries again. A connection that has
// been sent nothing yet takes the one short line into its buffer.
void sendBusy(int descriptor) {
    const std::string text = InstanceMessage::encode(InstanceClient::busyReply());
    [[maybe_unused]] const ssize_t sent = ::send(descriptor, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

// Stops watching at once; the notifier itself goes on the next turn of the loop, since it may be
// the one whose signal is running.
void retire(QSocketNotifier* notifier) {
    if (!notifier) return;
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
}

// Whether the peer has closed its end for good (not merely shut its sending side).
bool peerGone(int descriptor) {
    pollfd entry{descriptor, POLLOUT, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLERR)) != 0;
}

// Reads at most this much per wake-up, so that a peer that never stops sending cannot hold the
// main loop; the notifier fires again for the rest.
constexpr std::size_t readBatch = 64 * 1024;

}  // namespace

InstanceServer::InstanceServer(InstanceLock lock, Scheduler& scheduler)
    : lock_(std::move(lock)), scheduler_(scheduler), notifiers_(std::make_unique<QObject>()) {}

InstanceServer::~InstanceServer() {
    scheduler_.cancel(resume_);
    for (auto& [line, flood] : floods_) scheduler_.cancel(flood.ebb);
    folderWatch_.reset();
    for (auto& [id, connection] : connections_) {
        scheduler_.cancel(connection.timeout);
        delete connection.readable;
        delete connection.writable;
        ::close(connection.descriptor);
    }
    connections_.clear();
    notifiers_.reset();
    if (listener_ >= 0) {
        stopListening();
        ::unlink(lock_.location().socket.c_str());
    }
}

bool InstanceServer::start(Handler handler) {
    handler_ = std::move(handler);
    if (started_) return true;
    if (!listen()) return false;
    started_ = true;
    return true;
}

bool InstanceServer::listen() {
    const std::string path = lock_.location().socket.string();
    lock_.removeStaleSocket();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        log_.error("Cannot make the socket " + path + ": " + std::strerror(errno) + "; later starts cannot reach this one");
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const char* step = nullptr;
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        step = "listen on";
    } else if (::chmod(path.c_str(), 0600) != 0) {
        // The folder is the user's alone already; the socket is as well, should the folder ever not be.
        step = "make private";
    } else if (::listen(listener, SOMAXCONN) != 0) {
        step = "listen on";
    }
    if (step) {
        log_.error(std::string("Cannot ") + step + " " + path + ": " + std::strerror(errno) +
                   "; later starts cannot reach this one");
        ::close(listener);
        ::unlink(path.c_str());
        return false;
    }
    listener_ = listener;
    notifier_ = std::make_unique<QSocketNotifier>(listener_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { accept(); });
    struct stat file {};
    socketFile_ = ::stat(path.c_str(), &file) == 0 ? file.st_ino : 0;
    if (!folderWatch_) {
        folderWatch_ = std::make_unique<QFileSystemWatcher>();
        folderWatch_->addPath(QString::fromStdString(lock_.location().folder.string()));
        QObject::connect(folderWatch_.get(), &QFileSystemWatcher::directoryChanged, [this] { checkSocketFile(); });
    }
    return true;
}

void InstanceServer::close() {
    folderWatch_.reset();
    scheduler_.cancel(resume_);
    if (listener_ < 0) return;
    stopListening();
    ::unlink(lock_.location().socket.c_str());
}

void InstanceServer::checkSocketFile() {
    if (listener_ < 0) return;
    struct stat file {};
    if (::stat(lock_.location().socket.c_str(), &file) == 0 && file.st_ino == socketFile_) return;
    log_.error("The single-instance socket " + lock_.location().socket.string() + " was removed; making it anew");
    relisten();
}

void InstanceServer::stopListening() {
    notifier_.reset();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
}

void InstanceServer::relisten() {
    stopListening();
    if (listen()) {
        log_.notice("Listening again on " + lock_.location().socket.string());
        return;
    }
    scheduler_.cancel(resume_);
    resume_ = scheduler_.schedule(pauseAfterFailure, [this] {
        resume_ = {};
        relisten();
    });
}

void InstanceServer::pauseAccepting() {
    if (!shortageLogged_) {
        log_.error("No descriptor to spare for a later start; accepting again shortly");
        shortageLogged_ = true;
    }
    notifier_->setEnabled(false);
    scheduler_.cancel(resume_);
    resume_ = scheduler_.schedule(pauseAfterFailure, [this] {
        resume_ = {};
        if (!notifier_) return;
        notifier_->setEnabled(true);
        accept();
    });
}

void InstanceServer::accept() {
    // A bounded batch per wake-up keeps the main loop turning under a flood; the notifier fires
    // again for the rest.
    for (int batch = 0; batch < 256 && listener_ >= 0; ++batch) {
        const int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (descriptor < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                pauseAccepting();
                return;
            }
            log_.error(std::string("The single-instance socket failed (") + std::strerror(errno) + "); making it anew");
            relisten();
            return;
        }
        shortageLogged_ = false;
        if (peerUserID(descriptor) != ::getuid()) {
            logOncePerFlood("Refused a connection from another user");
            ::close(descriptor);
            continue;
        }
        // What the start sent already is read now: a start sends its request as soon as it
        // connects, so one that sent nothing by the time its turn came is likely no start at all.
        std::string early;
        char bytes[4096];
        for (ssize_t n; early.size() < InstanceMessage::maximumSize &&
                        (n = ::recv(descriptor, bytes, sizeof bytes, MSG_DONTWAIT)) > 0;) {
            early.append(bytes, static_cast<std::size_t>(n));
        }
        if (!makeRoom(!early.empty())) {
            sendBusy(descriptor);
            ::close(descriptor);
            continue;
        }
        admit(descriptor, std::move(early));
    }
}

bool InstanceServer::makeRoom(bool newcomerSent) {
    if (connections_.size() < maximumConnections) return true;
    if (!refusalLogged_) {
        log_.error("More than " + std::to_string(maximumConnections) +
                   " connections at once; those that sent nothing yet are closed");
        refusalLogged_ = true;
    }
    // Turned away cheaply, without a notifier of its own: the flood's case.
    if (!newcomerSent) return false;
    for (auto& [id, connection] : connections_) {
        if (connection.phase != Phase::reading) continue;
        // Its request has not arrived whole, so nothing of it ran: its start may try again.
        sendBusy(connection.descriptor);
        drop(id);
        return true;
    }
    return false;
}

void InstanceServer::admit(int descriptor, std::string early) {
    const std::uint64_t id = ++nextID_;
    Connection& connection = connections_[id];
    connection.descriptor = descriptor;
    connection.buffer = std::move(early);
    connection.readable = new QSocketNotifier(descriptor, QSocketNotifier::Read, notifiers_.get());
    QObject::connect(connection.readable, &QSocketNotifier::activated, [this, id] { read(id); });
    connection.timeout = scheduler_.schedule(requestTimeLimit, [this, id] { arrivalTimedOut(id); });
    read(id);
}

void InstanceServer::arrivalTimedOut(std::uint64_t id) {
    connections_.at(id).timeout = {};
    // The loop may have been busy all this while (another request's handler, a save): what arrived
    // meanwhile counts, and only a request still incomplete is dropped.
    read(id);
    const auto found = connections_.find(id);
    if (found == connections_.end() || found->second.phase != Phase::reading) return;
    logOncePerFlood("Dropped a request that did not arrive in time");
    drop(id);
}

void InstanceServer::read(std::uint64_t id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection& connection = found->second;
    const bool reading = connection.phase == Phase::reading;
    bool ended = false;
    char bytes[4096];
    for (std::size_t taken = 0; taken < readBatch;) {
        const ssize_t n = ::recv(connection.descriptor, bytes, sizeof bytes, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
            ended = true;
            break;
        }
        taken += static_cast<std::size_t>(n);
        // One request per connection: what follows it is not another (nor, while the handler runs
        // a window's own loop, the same one again). It is still read, since a socket closed with
        // bytes unread resets its peer, which may then lose its reply.
        if (reading) connection.buffer.append(bytes, static_cast<std::size_t>(n));
        if (connection.buffer.size() >= InstanceMessage::maximumSize) break;
    }
    if (!reading) {
        // The peer is gone, or only shut its side after its request: the reply is still sent (a
        // failure to send ends the connection, and so does the time limit on taking it).
        if (ended) connection.readable->setEnabled(false);
        return;
    }
    const auto newline = connection.buffer.find('\n');
    if (newline == std::string::npos) {
        if (connection.buffer.size() >= InstanceMessage::maximumSize) {
            // Told, so that the start does not take the closed connection for a broken instance.
            logOncePerFlood("Refused a request larger than " + std::to_string(InstanceMessage::maximumSize / 1024) + " kB");
            if (ended) connection.readable->setEnabled(false);
            respond(id, oversizedReply());
        } else if (ended) {
            drop(id);
        }
        return;
    }
    auto request = InstanceMessage::decodeRequest(std::string_view(connection.buffer).substr(0, newline));
    if (!request) {
        logOncePerFlood("Dropped an unreadable request");
        drop(id);
        return;
    }
    // Its turn comes in the order the requests arrived, one handler per turn of the loop, so that
    // every other connection is read (and its time limit kept) between two handlers.
    scheduler_.cancel(connection.timeout);
    connection.timeout = {};
    connection.phase = Phase::queued;
    connection.request = std::move(*request);
    connection.buffer.clear();
    connection.buffer.shrink_to_fit();
    if (ended) connection.readable->setEnabled(false);
    queue_.push_back(id);
    scheduleTurn();
}

InstanceReply InstanceServer::oversizedReply() {
    return {"tessary: the request is larger than " + std::to_string(InstanceMessage::maximumSize / 1024) + " kB", 1};
}

void InstanceServer::scheduleTurn() {
    if (turnPending_ || queue_.empty()) return;
    turnPending_ = true;
    // The next turn of the loop, not a delay; gone with the server (the notifiers' parent).
    QMetaObject::invokeMethod(
        notifiers_.get(),
        [this] {
            turnPending_ = false;
            runNext();
        },
        Qt::QueuedConnection);
}

void InstanceServer::runNext() {
    while (!queue_.empty()) {
        const std::uint64_t id = queue_.front();
        queue_.pop_front();
        const auto found = connections_.find(id);
        if (found == connections_.end()) continue;
        // A start that gave up waiting has told its user so: running its request now would do what
        // the user was told did not happen.
        if (peerGone(found->second.descriptor)) {
            logOncePerFlood("Dropped a request whose start had stopped waiting for it");
            drop(id);
            continue;
        }
        const InstanceRequest request = std::move(*found->second.request);
        found->second.request.reset();
        found->second.phase = Phase::answering;
        scheduleTurn();
        // The handler may run a while (a window opens); the connection stays ours until it is answered.
        const InstanceReply reply = handler_ ? handler_(request) : InstanceReply{"not ready", 1};
        if (connections_.contains(id)) respond(id, reply);
        return;
    }
}

void InstanceServer::respond(std::uint64_t id, const InstanceReply& reply) {
    Connection& connection = connections_.at(id);
    scheduler_.cancel(connection.timeout);
    connection.timeout = {};
    connection.phase = Phase::answering;
    connection.buffer.clear();
    connection.reply = InstanceMessage::encode(reply);
    write(id);
}

void InstanceServer::awaitTaking(std::uint64_t id) {
    Connection& connection = connections_.at(id);
    scheduler_.cancel(connection.timeout);
    // A peer that never takes its reply would otherwise keep the connection for ever; one that
    // takes a long reply piece by piece has the time limit again after each piece.
    connection.timeout = scheduler_.schedule(requestTimeLimit, [this, id] {
        logOncePerFlood("Dropped a connection whose reply was not taken in time");
        drop(id);
    });
}

void InstanceServer::write(std::uint64_t id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection& connection = found->second;
    while (connection.sent < connection.reply.size()) {
        const ssize_t n = ::send(connection.descriptor, connection.reply.data() + connection.sent,
                                 connection.reply.size() - connection.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            connection.sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!connection.writable) {
                connection.writable = new QSocketNotifier(connection.descriptor, QSocketNotifier::Write, notifiers_.get());
                QObject::connect(connection.writable, &QSocketNotifier::activated, [this, id] { write(id); });
            }
            awaitTaking(id);
            return;
        }
        break;
    }
    // All sent, or the peer is gone: the reply was the connection's last word.
    drop(id);
}

void InstanceServer::logOncePerFlood(const std::string& line) {
    auto [found, first] = floods_.try_emplace(line);
    Flood& flood = found->second;
    const auto now = scheduler_.now();
    if (first) {
        log_.error(line);
        flood.logged = now;
    } else if (now - flood.logged >= floodSummaryInterval) {
        // A flood that never ebbs is still heard of now and then.
        log_.error(line + " (" + std::to_string(flood.unlogged + 1) + " times since the last line)");
        flood.unlogged = 0;
        flood.logged = now;
    } else {
        ++flood.unlogged;
    }
    scheduler_.cancel(flood.ebb);
    flood.ebb = scheduler_.schedule(floodQuiet, [this, line] {
        const auto ended = floods_.find(line);
        if (ended == floods_.end()) return;
        if (ended->second.unlogged > 0) {
            log_.error(line + " (" + std::to_string(ended->second.unlogged) + " more times since the last line)");
        }
        floods_.erase(ended);
    });
}

void InstanceServer::drop(std::uint64_t id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection connection = std::move(found->second);
    connections_.erase(found);
    scheduler_.cancel(connection.timeout);
    if (connections_.empty()) refusalLogged_ = false;
    // The descriptor is closed only once its notifiers are gone: a number closed now could come back
    // from the next accept while a retired notifier still names it.
    retire(connection.readable);
    retire(connection.writable);
    QObject* last = connection.writable ? static_cast<QObject*>(connection.writable) : connection.readable;
    QObject::connect(last, &QObject::destroyed, [descriptor = connection.descriptor] { ::close(descriptor); });
}

}  // namespace tessary
