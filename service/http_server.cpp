// The bounded HTTP/1.1 server.
#include "http_server.h"


#include <QElapsedTimer>
#include <QIODevice>
#include <QTcpSocket>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace tallyro::service {

namespace {

enum RefusalKind : unsigned { kRequestRefused = 0, kConnectionRefused = 1 };

// Refusals are logged in full at most once an interval, the rest as a count.
constexpr std::chrono::seconds kRefusalLogInterval{10};

QString refusalSummary(const LogThrottle::Summary& summary) {
    return QStringLiteral("http: refused %1 requests and %2 connections in the last %3 s from %4")
        .arg(summary.kinds[kRequestRefused])
        .arg(summary.kinds[kConnectionRefused])
        .arg(kRefusalLogInterval.count())
        .arg(QString::fromStdString(sendersText(summary, "address", "addresses")));
}

// A file is sent in pieces of this size, the next when the last has left.
constexpr qint64 kFilePiece = 64 * 1024;
// After the last response of a connection the server stops sending and reads what
// the client still sends, so that closing does not reset the connection before the
// client has read the answer; for this long at most.
constexpr std::chrono::milliseconds kLinger{2000};

// The request target read as an address: percent-encoded bytes as sent, the
// authority from the Host field.
QUrl requestUrl(const HttpHead& head, quint16 localPort) {
    QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(head.target));
    if (const auto host = head.header("host")) {
        url.setAuthority(QString::fromUtf8(host->data(), static_cast<qsizetype>(host->size())));
    }
    if (url.scheme().isEmpty()) {
        url.setScheme(QStringLiteral("http"));
    }
    if (url.host().isEmpty()) {
        url.setHost(QStringLiteral("127.0.0.1"));
    }
    if (url.port() == -1) {
        url.setPort(localPort);
    }
    return url;
}

QString refusalReason(int status, const HttpLimits& limits) {
    switch (status) {
        case 408:
            return QStringLiteral("request not complete within %1 ms").arg(limits.timeout.count());
        case 411:
            return QStringLiteral("body without a stated length");
        case 413:
            return QStringLiteral("declared body longer than %1 bytes").arg(limits.head.body);
        case 414:
            return QStringLiteral("request line longer than %1 bytes").arg(limits.head.requestLine);
        case 431:
            return QStringLiteral("header fields beyond %1 bytes or %2 lines")
                .arg(limits.head.headerBytes)
                .arg(limits.head.headerCount);
        case 505:
            return QStringLiteral("HTTP version other than 1.0 and 1.1");
        default:
            return QStringLiteral("malformed request");
    }
}

}  // namespace

QHostAddress plainAddress(const QHostAddress& address) {
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4) : address;
}

class HttpServer::Listener : public QTcpServer {
public:
    explicit Listener(HttpServer* owner) : QTcpServer(owner), owner_(owner) {}

protected:
    void incomingConnection(qintptr descriptor) override { owner_->accept(descriptor); }

private:
    HttpServer* owner_;
};

class HttpServer::Connection : public QObject {
public:
    Connection(HttpServer* server, qintptr descriptor, const QHostAddress& peer)
        : QObject(server), server_(server), peer_(peer) {
        const HttpLimits& limits = server_->limits_;
        room_ = static_cast<qsizetype>(limits.head.requestLine + limits.head.headerBytes +
                                       limits.head.body);
        socket_.setReadBufferSize(64 * 1024);
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, &Connection::timedOut);
        connect(&socket_, &QTcpSocket::readyRead, this, &Connection::readable);
        connect(&socket_, &QTcpSocket::bytesWritten, this, &Connection::written);
        connect(&socket_, &QTcpSocket::disconnected, this, &Connection::release);
        if (!socket_.setSocketDescriptor(descriptor)) {
            ::close(static_cast<int>(descriptor));
            QTimer::singleShot(0, this, &Connection::release);
            return;
        }
        timer_.start(limits.timeout);
    }

    // Closing the socket below must not report back to a server that may itself be
    // going away.
    ~Connection() override { socket_.disconnect(this); }

    // Nothing of a request has been answered yet and none is being answered: the
    // connection only holds a place.
    bool waiting() const { return state_ == State::Reading && !served_; }
    quint64 openedAt() const { return openedAt_; }  // the count of connections accepted then
    const QHostAddress& peer() const { return peer_; }
    // Closed to make room for a newcomer.
    void drop() {
        socket_.abort();
        release();
    }

private:
    enum class State { Reading, Writing, Closing, Gone };

    void readable() {
        if (state_ == State::Closing) {
            socket_.readAll();  // read to let the client's last bytes go; kept nowhere
            return;
        }
        if (state_ == State::Reading) {
            process();
        }
        // While a response is being written the bytes wait in the socket, whose buffer
        // is bounded; the kernel holds back the rest.
    }

    void process() {
        const HttpLimits& limits = server_->limits_;
        while (state_ == State::Reading) {
            if (in_.size() < room_) {
                in_ += socket_.read(room_ - in_.size());
            }
            const HttpHeadResult r =
                readHttpHead(std::string_view(in_.constData(), static_cast<size_t>(in_.size())),
                             limits.head);
            if (r.status == 0) {
                return;
            }
            if (r.status != 200) {
                refuse(r.status);
                return;
            }
            const auto total = static_cast<qsizetype>(r.consumed + r.head.contentLength);
            if (in_.size() < total) {
                if (r.head.expectContinue && !continued_) {
                    socket_.write("HTTP/1.1 100 Continue\r\n\r\n");
                    continued_ = true;
                }
                return;
            }
            HttpRequest request;
            request.method = QByteArray::fromStdString(r.head.method);
            request.url = requestUrl(r.head, socket_.localPort());
            request.body = in_.mid(static_cast<qsizetype>(r.consumed),
                                   static_cast<qsizetype>(r.head.contentLength));
            request.peer = peer_;
            in_.remove(0, total);
            continued_ = false;
            served_ = true;
            respond(server_->handler_(request), r.head.keepAlive, r.head.method == "HEAD");
        }
    }

    void respond(const HttpResponse& response, bool keepAlive, bool headOnly) {
        keepAlive_ = keepAlive;
        file_ = headOnly ? nullptr : response.file;
        const qint64 length = response.file ? response.file->size() : response.body.size();
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                         httpReason(response.status) + "\r\n";
        for (const auto& [name, value] : response.headers) {
            out += name + ": " + value + "\r\n";
        }
        if (!response.contentType.isEmpty()) {
            out += "Content-Type: " + response.contentType + "\r\n";
        }
        out += "Content-Length: " + QByteArray::number(length) + "\r\n";
        if (!keepAlive) {
            out += "Connection: close\r\n";
        }
        out += "\r\n";
        if (!headOnly && !response.file) {
            out += response.body;
        }
        state_ = State::Writing;
        writing_.start();
        timer_.start(server_->limits_.timeout);
        socket_.write(out);
        pump();
    }

    // An answer of the server's own; the connection closes after it.
    void refuse(int status) {
        server_->noteRefusal(peer_, kRequestRefused,
                             QStringLiteral("%1 %2").arg(status).arg(
                                 refusalReason(status, server_->limits_)));
        ++server_->refusedRequests_;
        respond(server_->errorPage_(status), false, false);
    }

    // Tops up the socket's output with the next pieces of a file; ends the response
    // once everything has left.
    void pump() {
        while (file_ && socket_.bytesToWrite() < kFilePiece) {
            const QByteArray piece = file_->read(kFilePiece);
            if (piece.isEmpty()) {
                file_.reset();
                break;
            }
            socket_.write(piece);
        }
        if (file_ || socket_.bytesToWrite() > 0) {
            return;
        }
        if (keepAlive_) {
            state_ = State::Reading;
            timer_.start(server_->limits_.timeout);
            process();
            return;
        }
        // The last response: stop sending, let the client read it and close.
        state_ = State::Closing;
        ::shutdown(static_cast<int>(socket_.socketDescriptor()), SHUT_WR);
        timer_.start(std::min(server_->limits_.timeout, kLinger));
        socket_.readAll();
    }

    void written() {
        if (state_ != State::Writing) {
            return;
        }
        // It moves: the time limit starts again, but a reader that takes bytes slowly
        // on purpose does not keep the connection past four times the limit.
        const auto limit = server_->limits_.timeout;
        const auto left = 4 * limit - std::chrono::milliseconds(writing_.elapsed());
        if (left <= std::chrono::milliseconds::zero()) {
            timedOut();
            return;
        }
        timer_.start(std::min(limit, left));
        pump();
    }

    void timedOut() {
        const bool partial = in_.size() > 0 || socket_.bytesAvailable() > 0;
        if (state_ == State::Reading && partial) {
            refuse(408);
            return;
        }
        // Idle between requests, a response that does not move, or a client that
        // keeps sending after the last response: closed without more words.
        socket_.abort();
        release();
    }

    void release() {
        if (state_ == State::Gone) {
            return;
        }
        state_ = State::Gone;
        timer_.stop();
        server_->closed(this);
        deleteLater();
    }

    HttpServer* server_;
    QHostAddress peer_;
    QTcpSocket socket_{this};
    QTimer timer_{this};
    QByteArray in_;
    qsizetype room_ = 0;
    State state_ = State::Reading;
    quint64 openedAt_ = ++server_->accepted_;
    QElapsedTimer writing_;  // since the response began
    bool served_ = false;
    bool keepAlive_ = true;
    bool continued_ = false;
    std::shared_ptr<QIODevice> file_;
};

HttpServer::HttpServer(Handler handler, LogSink log, QObject* parent)
    : QObject(parent),
      handler_(std::move(handler)),
      errorPage_([](int status) {
          HttpResponse response;
          response.status = status;
          response.contentType = "text/plain; charset=utf-8";
          response.body = QByteArray::number(status) + ' ' + httpReason(status) + '\n';
          return response;
      }),
      log_(std::move(log)),
      listener_(new Listener(this)),
      clock_([] { return std::chrono::steady_clock::now(); }),
      refusalLog_(kRefusalLogInterval, clock_, log_, refusalSummary) {
    // Out of file descriptors, a listener stops accepting; it is woken again while
    // the condition lasts, and only then.
    resumeTimer_.setSingleShot(true);
    connect(&resumeTimer_, &QTimer::timeout, listener_, &QTcpServer::resumeAccepting);
    connect(listener_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        noteRefusal({}, kConnectionRefused,
                    QStringLiteral("cannot accept a connection: %1").arg(listener_->errorString()));
        resumeTimer_.start(250);
    });
}

HttpServer::~HttpServer() = default;

quint16 HttpServer::listen(const QHostAddress& address, quint16 port) {
    // Connections are taken off the queue at once (and refused at once when over a
    // cap), but a burst can outrun that: a longer queue keeps the kernel from dropping
    // a newcomer's handshake and making it wait a second for the retry.
    listener_->setListenBacklogSize(1024);
    return listener_->listen(address, port) ? listener_->serverPort() : 0;
}

quint16 HttpServer::port() const {
    return listener_->serverPort();
}

void HttpServer::accept(qintptr descriptor) {
    QHostAddress peer;
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getpeername(static_cast<int>(descriptor), reinterpret_cast<sockaddr*>(&storage),
                      &length) == 0) {
        peer = plainAddress(QHostAddress(reinterpret_cast<sockaddr*>(&storage)));
    }
    const int fromPeer = perAddress_.value(peer);
    if (open_ >= limits_.connections && fromPeer < limits_.connectionsPerAddress) {
        makeRoom(peer);
    }
    if (open_ >= limits_.connections || fromPeer >= limits_.connectionsPerAddress) {
        // Refused at once, so that the listener's queue keeps moving for others.
        static const char k503[] =
            "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
        [[maybe_unused]] const auto sent = ::send(static_cast<int>(descriptor), k503,
                                                  sizeof k503 - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(static_cast<int>(descriptor));
        ++refusedConnections_;
        noteRefusal(peer, kConnectionRefused,
                    open_ >= limits_.connections
                        ? QStringLiteral("connection refused: %1 connections open, the most "
                                         "allowed")
                              .arg(open_)
                        : QStringLiteral("connection refused: this address holds %1 "
                                         "connections, the most one address may")
                              .arg(fromPeer));
        return;
    }
    ++open_;
    perAddress_[peer] = fromPeer + 1;
    connections_.insert(new Connection(this, descriptor, peer));
}

void HttpServer::makeRoom(const QHostAddress& newcomer) {
    // With every place taken (by idle connections from many addresses, say), the one
    // that has waited longest without sending a request gives way: a real client's
    // request takes milliseconds, so the oldest waiting ones are those that hold
    // places, and a flood cannot keep a newcomer out.
    Connection* oldest = nullptr;
    for (Connection* c : connections_) {
        if (c->waiting() && (!oldest || c->openedAt() < oldest->openedAt())) {
            oldest = c;
        }
    }
    if (!oldest) {
        return;
    }
    noteRefusal(oldest->peer(), kConnectionRefused,
                QStringLiteral("%1 connections open, the most allowed: the one that waited "
                               "longest without a request closed for one from %2")
                    .arg(open_)
                    .arg(newcomer.toString()));
    ++refusedConnections_;
    oldest->drop();
}

void HttpServer::closed(Connection* connection) {
    connections_.erase(connection);
    const QHostAddress& peer = connection->peer();
    --open_;
    const auto it = perAddress_.find(peer);
    if (it != perAddress_.end() && --it.value() <= 0) {
        perAddress_.erase(it);
    }
}

void HttpServer::noteRefusal(const QHostAddress& peer, int kind, const QString& what) {
    const QString from = peer.isNull() ? QStringLiteral("-") : peer.toString();
    refusalLog_.record(from.toStdString(), kind,
                       QStringLiteral("http refused from %1: %2").arg(from, what));
}

}  // namespace tallyro::service
