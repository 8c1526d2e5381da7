#include "Platform/Qt/InstanceServer.h"

#include <QFileSystemWatcher>
#include <QSocketNotifier>

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

// Reads at most this much per wake-up, so that a peer that never stops sending cannot hold the
// main loop; the notifier fires again for the rest.
constexpr std::size_t readBatch = 64 * 1024;

}  // namespace

InstanceServer::InstanceServer(InstanceLock lock, Scheduler& scheduler)
    : lock_(std::move(lock)), scheduler_(scheduler), notifiers_(std::make_unique<QObject>()) {}

InstanceServer::~InstanceServer() {
    scheduler_.cancel(resume_);
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
            log_.error("Refused a connection from another user");
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
        if (connection.answered) continue;
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
    connection.timeout = scheduler_.schedule(requestTimeLimit, [this, id] {
        log_.error("Dropped a request that did not arrive in time");
        drop(id);
    });
    read(id);
}

void InstanceServer::read(std::uint64_t id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection& connection = found->second;
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
        if (!connection.answered) connection.buffer.append(bytes, static_cast<std::size_t>(n));
        if (connection.buffer.size() >= InstanceMessage::maximumSize) break;
    }
    if (connection.answered) {
        // The peer is gone, or only shut its side after its request: the reply is still sent (a
        // failure to send ends the connection, and so does the time limit on taking it).
        if (ended) connection.readable->setEnabled(false);
        return;
    }
    const auto newline = connection.buffer.find('\n');
    if (newline == std::string::npos) {
        if (connection.buffer.size() >= InstanceMessage::maximumSize) {
            log_.error("Dropped a request over the size limit");
            drop(id);
        } else if (ended) {
            drop(id);
        }
        return;
    }
    scheduler_.cancel(connection.timeout);
    connection.timeout = {};
    auto request = InstanceMessage::decodeRequest(std::string_view(connection.buffer).substr(0, newline));
    if (!request) {
        log_.error("Dropped an unreadable request");
        drop(id);
        return;
    }
    connection.answered = true;
    connection.buffer.clear();
    if (ended) connection.readable->setEnabled(false);
    // The handler may run a while (a window opens); the connection stays ours until it is answered.
    const InstanceReply reply = handler_ ? handler_(*request) : InstanceReply{"not ready", 1};
    const auto answered = connections_.find(id);
    if (answered == connections_.end()) return;
    // A peer that never takes its reply would otherwise keep the connection for ever.
    answered->second.timeout = scheduler_.schedule(requestTimeLimit, [this, id] {
        log_.error("Dropped a connection whose reply was not taken in time");
        drop(id);
    });
    answered->second.reply = InstanceMessage::encode(reply);
    write(id);
}

void InstanceServer::write(std::uint64_t id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection& connection = found->second;
    while (!connection.reply.empty()) {
        const ssize_t n = ::send(connection.descriptor, connection.reply.data(), connection.reply.size(),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            connection.reply.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!connection.writable) {
                connection.writable = new QSocketNotifier(connection.descriptor, QSocketNotifier::Write, notifiers_.get());
                QObject::connect(connection.writable, &QSocketNotifier::activated, [this, id] { write(id); });
            }
            return;
        }
        break;
    }
    // All sent, or the peer is gone: the reply was the connection's last word.
    drop(id);
}

void InstanceServer::drop(std::uint64_t id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection connection = std::move(found->second);
    connections_.erase(found);
    scheduler_.cancel(connection.timeout);
    if (connections_.empty()) refusalLogged_ = false;
    retire(connection.readable);
    retire(connection.writable);
    ::close(connection.descriptor);
}

}  // namespace tessary
