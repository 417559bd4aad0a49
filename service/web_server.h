// The service's web server: the pages the client shows or opens, and the analysis
// requests, answered by a 302 redirect to "/SendGpInfo.asp?<payload>" or
// "/SendDaPan.asp?<payload>" for accounts signed in to the login server, and to
// kSignedOutAnswer for others.
#pragma once

#include <QDateTime>
#include <QHostAddress>
#include <QObject>

#include <functional>

#include "http_server.h"
#include "service_log.h"

namespace tallyro::service {

class AccountStore;
class MarketData;
class SessionTable;
class StockList;

// Where an analysis request from an account that is not signed in is sent: a stock
// answer (any address under "/SendG") with an error code every client shows.
inline constexpr const char* kSignedOutAnswer = "/SendGpSignedOut.asp?ErrGpMoney";

// Largest form body accepted (the registration form is well under 1 KiB).
inline constexpr qsizetype kMaxFormBytes = 16 * 1024;

class WebServer : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    WebServer(AccountStore& accounts, const SessionTable& sessions, const MarketData& market,
              const StockList& stocks, LogSink log, QObject* parent = nullptr);

    // Port 0 picks a free port. Returns the port listened on, 0 on failure. Limits set
    // before apply to every connection.
    quint16 start(const QHostAddress& address, quint16 port, QString* error);
    // Bodies are bounded by kMaxFormBytes whatever `limits` says: only forms come in.
    void setLimits(HttpLimits limits) {
        limits.head.body = kMaxFormBytes;
        http_.setLimits(limits);
    }
    const HttpServer& http() const { return http_; }
    HttpServer& http() { return http_; }

    // The client package served at /Qelvix.exe; a missing file gives a 404 page.
    void setPackagePath(const QString& path) { packagePath_ = path; }
    // Shown on the home page.
    void setLoginPort(quint16 port) { loginPort_ = port; }
    // Local time of the answers' query time; tests fix it.
    void setClock(Clock clock) { clock_ = std::move(clock); }

private:
    HttpResponse handleRequest(const HttpRequest& request);
    HttpResponse dispatch(const HttpRequest& request, const QByteArray& query, QString& note);
    HttpResponse analysisRequest(const QByteArray& query, bool index, QString& note);
    HttpResponse registration(const HttpRequest& request, QString& note);
    HttpResponse messagePage(const QByteArray& query);
    HttpResponse package();
    HttpResponse home();
    HttpResponse picking();

    AccountStore& accounts_;
    const SessionTable& sessions_;
    const MarketData& market_;
    const StockList& stocks_;
    LogSink log_;
    QString packagePath_;
    quint16 loginPort_ = 0;
    quint16 webPort_ = 0;
    Clock clock_;
    HttpServer http_;
};

// The request's query in percent-encoded form, ready to be split at "&" and decoded
// value by value.
QByteArray encodedQuery(const QUrl& url);

}  // namespace tallyro::service
