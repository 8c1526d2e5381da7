#include "Platform/Qt/InstanceServer.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace tessary {

InstanceServer::InstanceServer(InstanceLock lock, Scheduler& scheduler)
    : lock_(std::move(lock)), scheduler_(scheduler) {}

InstanceServer::~InstanceServer() {
    for (auto& [id, connection] : connections_) {
        scheduler_.cancel(connection.timeout);
        connection.socket->disconnect();
        connection.socket->abort();
        delete connection.socket;
    }
    connections_.clear();
    if (server_) {
        server_->close();
        server_.reset();
        ::unlink(lock_.location().socket.c_str());
    }
}

bool InstanceServer::start(Handler handler) {
    handler_ = std::move(handler);
    if (server_) return true;
    lock_.removeStaleSocket();
    server_ = std::make_unique<QLocalServer>();
    if (!server_->listen(QString::fromStdString(lock_.location().socket.string()))) {
        log_.error("Cannot listen on " + lock_.location().socket.string() + ": " +
                   server_->errorString().toStdString() + "; later starts cannot reach this one");
        server_.reset();
        return false;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, [this] { accept(); });
    return true;
}

void InstanceServer::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        // Stays a child of the server, so a socket whose deferred deletion never ran dies with it.
        if (peerUserID(static_cast<int>(socket->socketDescriptor())) != ::getuid()) {
            log_.error("Refused a connection from another user");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const std::uint64_t id = ++nextID_;
        Connection& connection = connections_[id];
        connection.socket = socket;
        connection.timeout = scheduler_.schedule(requestTimeLimit, [this, id] {
            log_.error("Dropped a request that did not arrive in time");
            drop(id);
        });
        QObject::connect(socket, &QLocalSocket::readyRead, [this, id] { read(id); });
        QObject::connect(socket, &QLocalSocket::disconnected, [this, id] { drop(id); });
        read(id);
    }
}

void InstanceServer::read(std::uint64_t id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection& connection = found->second;
    const QByteArray bytes = connection.socket->readAll();
    connection.buffer.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const auto newline = connection.buffer.find('\n');
    if (newline == std::string::npos) {
        if (connection.buffer.size() >= InstanceMessage::maximumSize) {
            log_.error("Dropped a request over the size limit");
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
    // The handler may run a while (a window opens); the socket stays ours until it is answered.
    QLocalSocket* socket = connection.socket;
    const InstanceReply reply = handler_ ? handler_(*request) : InstanceReply{"not ready", 1};
    if (!connections_.contains(id)) return;
    const std::string text = InstanceMessage::encode(reply);
    socket->write(text.data(), static_cast<qint64>(text.size()));
    socket->flush();
    socket->disconnectFromServer();
}

void InstanceServer::drop(std::uint64_t id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) return;
    scheduler_.cancel(found->second.timeout);
    QLocalSocket* socket = found->second.socket;
    connections_.erase(found);
    socket->disconnect();
    socket->abort();
    socket->deleteLater();
}

}  // namespace tessary
