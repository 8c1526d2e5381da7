#pragma once

// A one-thread HTTP/1.1 server on 127.0.0.1 for the feedback client's tests: it keeps each request
// it reads (head and body, byte for byte) and answers with the status it is given, or never.

#include <QTcpServer>
#include <QTcpSocket>

#include <optional>
#include <string>
#include <vector>

namespace tessary::qttest {

class LocalHTTPServer {
public:
    struct Request {
        std::string head;
        std::string body;
    };

    // `status` nothing: read requests and never answer.
    explicit LocalHTTPServer(std::optional<int> status) : status_(status) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
            }
        });
    }

    std::string url(const std::string& path = "/feedback") const {
        return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + path;
    }
    const std::vector<Request>& requests() const { return requests_; }

private:
    void read(QTcpSocket* socket) {
        buffer_ += socket->readAll().toStdString();
        const std::size_t end = buffer_.find("\r\n\r\n");
        if (end == std::string::npos) return;
        std::size_t length = 0;
        const std::size_t field = buffer_.find("Content-Length: ");
        if (field != std::string::npos && field < end) length = std::stoul(buffer_.substr(field + 16));
        if (buffer_.size() < end + 4 + length) return;
        requests_.push_back({buffer_.substr(0, end), buffer_.substr(end + 4, length)});
        buffer_.clear();
        if (!status_) return;
        const std::string answer = "HTTP/1.1 " + std::to_string(*status_) +
                                   " Test\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}";
        socket->write(answer.data(), static_cast<qint64>(answer.size()));
        socket->disconnectFromHost();
    }

    std::optional<int> status_;
    QTcpServer server_;
    std::string buffer_;
    std::vector<Request> requests_;
};

}  // namespace tessary::qttest
