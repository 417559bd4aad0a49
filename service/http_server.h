// A small HTTP/1.1 server on QTcpServer that an outsider cannot make hold more than it
// allows: a bounded number of connections (in all and per address), a bounded head
// and body per request, and a time limit for a request to arrive and for a response
// to move. Requests are answered one at a time per connection, in order; a
// connection stays open after its response unless the request asked to close it or
// came as HTTP/1.0.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <unordered_set>

#include "http_head.h"
#include "log_throttle.h"
#include "service_log.h"
#include "throttled_log.h"

class QIODevice;

namespace tallyro::service {

struct HttpRequest {
    QByteArray method;  // as sent: a token
    QUrl url;           // the target read as the address it names
    QByteArray body;
    QHostAddress peer;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Sent in place of `body`, piece by piece, when set: a file is never held whole.
    std::shared_ptr<QIODevice> file;
};

struct HttpLimits {
    // A request (head and body) must arrive within this from the moment the
    // connection is ready for it (accepted, or its previous response sent), and a
    // response may not stall for longer.
    std::chrono::milliseconds timeout{15000};
    int connections = 512;
    int connectionsPerAddress = 64;
    HttpHeadLimits head;
};

class HttpServer : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    // The answer the server gives on its own: 400, 408, 411, 413, 414, 431, 505.
    using ErrorPage = std::function<HttpResponse(int status)>;
    using Clock = ThrottledLog::Clock;

    HttpServer(Handler handler, LogSink log, QObject* parent = nullptr);
    ~HttpServer() override;

    void setLimits(const HttpLimits& limits) { limits_ = limits; }
    void setErrorPage(ErrorPage page) { errorPage_ = std::move(page); }
    // Steady time of the refusal log; tests fix it.
    void setClock(Clock clock) { clock_ = std::move(clock); }
    const HttpLimits& limits() const { return limits_; }

    // Port 0 picks a free port. Returns the port listened on, 0 on failure.
    quint16 listen(const QHostAddress& address, quint16 port);
    quint16 port() const;

    int openConnections() const { return open_; }
    // Answers given by the server itself (malformed, oversized, late) and connections
    // refused at a limit, since the start.
    quint64 refusedRequests() const { return refusedRequests_; }
    quint64 refusedConnections() const { return refusedConnections_; }

private:
    class Listener;
    class Connection;
    friend class Connection;

    void accept(qintptr descriptor);
    void closed(Connection* connection);
    // At the cap: closes the connection that has waited longest without a request.
    void makeRoom(const QHostAddress& newcomer);
    // One refusal: the first of an interval is logged in full, the others counted.
    void noteRefusal(const QHostAddress& peer, int kind, const QString& what);

    Handler handler_;
    ErrorPage errorPage_;
    LogSink log_;
    HttpLimits limits_;
    Listener* listener_;
    int open_ = 0;
    std::unordered_set<Connection*> connections_;  // open ones
    quint64 accepted_ = 0;
    QHash<QHostAddress, int> perAddress_;
    quint64 refusedRequests_ = 0;
    quint64 refusedConnections_ = 0;
    QTimer resumeTimer_;
    Clock clock_;
    ThrottledLog refusalLog_;
};

// The address without an IPv4-mapped IPv6 form, as shown and counted.
QHostAddress plainAddress(const QHostAddress& address);

}  // namespace tallyro::service
