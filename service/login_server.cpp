// The UDP login server.
#include "login_server.h"

#include <QNetworkDatagram>
#include <QRandomGenerator>

#include <algorithm>

#include "account_store.h"
#include "gbk.h"

namespace tallyro::service {

namespace {

QString endpoint(const QHostAddress& address, quint16 port) {
    QHostAddress shown = address;
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped) {
        shown = QHostAddress(v4);
    }
    return shown.toString() + u':' + QString::number(port);
}

LogThrottle::TimePoint steadyNow() {
    return std::chrono::steady_clock::now();
}

}  // namespace

LoginServer::LoginServer(AccountStore& accounts, SessionTable& sessions, LogSink log,
                         QObject* parent)
    : QObject(parent),
      accounts_(accounts),
      sessions_(sessions),
      log_(std::move(log)),
      clock_(steadyNow) {
    connect(&socket_, &QUdpSocket::readyRead, this, &LoginServer::readPending);
    connect(&probeTimer_, &QTimer::timeout, this, &LoginServer::probeSessions);
    ignoredLogTimer_.setSingleShot(true);
    ignoredLogTimer_.setTimerType(Qt::PreciseTimer);
    connect(&ignoredLogTimer_, &QTimer::timeout, this, &LoginServer::flushIgnoredLog);
}

bool LoginServer::listen(const QHostAddress& address, quint16 port, QString* error) {
    if (!socket_.bind(address, port)) {
        if (error) {
            *error = QStringLiteral("cannot bind UDP %1: %2")
                         .arg(endpoint(address, port), socket_.errorString());
        }
        return false;
    }
    return true;
}

void LoginServer::setProbeInterval(int seconds) {
    if (seconds <= 0) {
        probeTimer_.stop();
        return;
    }
    probeTimer_.start(seconds * 1000);
}

void LoginServer::readPending() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_.receiveDatagram();
        handleDatagram(datagram.data(), datagram.senderAddress(),
                       static_cast<quint16>(datagram.senderPort()));
    }
}

void LoginServer::ignore(const QHostAddress& from, quint16 port, const QString& why,
                         bool malformed) {
    ++ignored_;
    const QString sender = endpoint(from, port);
    const LogThrottle::Outcome outcome =
        ignoredLog_.record(clock_(), sender.toStdString(), malformed);
    if (outcome.ended) {
        logIgnoredSummary(*outcome.ended);
    }
    if (outcome.showInFull) {
        log_(QStringLiteral("udp ignored from %1: %2").arg(sender, why));
        ignoredLogTimer_.start(
            std::chrono::duration_cast<std::chrono::milliseconds>(ignoredLog_.interval()));
    }
}

void LoginServer::flushIgnoredLog() {
    const auto now = clock_();
    if (const auto summary = ignoredLog_.flush(now)) {
        logIgnoredSummary(*summary);
    } else if (const auto end = ignoredLog_.intervalEnd()) {
        // Woken before the interval is over: look again at its end.
        ignoredLogTimer_.start(
            std::max(std::chrono::duration_cast<std::chrono::milliseconds>(*end - now),
                     std::chrono::milliseconds(1)));
    }
}

void LoginServer::logIgnoredSummary(const LogThrottle::Summary& summary) {
    const qint64 seconds =
        std::chrono::duration_cast<std::chrono::seconds>(ignoredLog_.interval()).count();
    const QString senders = summary.moreSenders
                                ? QStringLiteral("more than %1 senders").arg(summary.senders)
                                : QStringLiteral("%1 sender%2")
                                      .arg(summary.senders)
                                      .arg(summary.senders == 1 ? "" : "s");
    log_(QStringLiteral("udp: ignored %1 datagrams (%2 malformed) in the last %3 s from %4")
             .arg(summary.events)
             .arg(summary.flagged)
             .arg(seconds)
             .arg(senders));
}

void LoginServer::handleDatagram(const QByteArray& bytes, const QHostAddress& from, quint16 port) {
    if (bytes.isEmpty()) {
        ignore(from, port, QStringLiteral("empty datagram"), false);
        return;
    }
    if (bytes.size() > kMaxDatagramBytes) {
        ignore(from, port,
               QStringLiteral("oversized datagram (%1 bytes: %2 ...)")
                   .arg(bytes.size())
                   .arg(QString::fromLatin1(bytes.left(48).toHex(' '))),
               true);
        return;
    }
    const auto text = gbkToUtf8(std::string_view(bytes.constData(), bytes.size()));
    if (!text) {
        ignore(from, port,
               QStringLiteral("not GBK text (%1 bytes: %2)")
                   .arg(bytes.size())
                   .arg(QString::fromLatin1(bytes.left(48).toHex(' '))),
               true);
        return;
    }
    const QString message = QString::fromStdString(*text);
    // Empty fields are kept: "TestLogin|" carries an empty value, "Login||..." an
    // empty name.
    const QStringList fields = message.split(u'|');
    const QString& kind = fields.first();
    if (kind == u"Login") {
        if (fields.size() < 4) {
            ignore(from, port,
                   QStringLiteral("Login with %1 fields, 4 needed: %2")
                       .arg(fields.size())
                       .arg(printable(message)),
                   true);
            return;
        }
        log_(QStringLiteral("udp <- %1 %2").arg(endpoint(from, port), printable(message)));
        handleLogin(fields, from, port);
    } else if (kind == u"TestLogin") {
        handleProbeEcho(fields, from, port);
    } else {
        ignore(
            from, port,
            QStringLiteral("unknown message \"%1\": %2").arg(printable(kind), printable(message)),
            false);
    }
}

void LoginServer::handleLogin(const QStringList& fields, const QHostAddress& from, quint16 port) {
    // At least four fields: handleDatagram ignores shorter logins. A "|" inside a name
    // gives more than four; the fields are read by position all the same, so such a
    // login fails on its digest or version like any other.
    const QString& name = fields[1];
    const QString& digest = fields[2];
    const QString& version = fields[3];

    if (version != QLatin1String(kClientVersion)) {
        send(QStringLiteral("Err|ErrCode"), from, port);
        return;
    }
    const AccountLookup lookup = accounts_.find(name.toStdString());
    if (lookup.failed) {
        // No answer: the client reports a time-out, which is closer to the truth than
        // a wrong password would be.
        log_(QStringLiteral("login of %1 not answered: %2")
                 .arg(printable(name), QString::fromStdString(accounts_.lastError())));
        return;
    }
    if (!lookup.account || QString::fromStdString(lookup.account->digest) != digest) {
        send(QStringLiteral("Err|Password"), from, port);
        return;
    }
    if (lookup.account->blocked) {
        send(QStringLiteral("Err|Style"), from, port);
        return;
    }
    const auto replaced = sessions_.signIn(name, from, port, QDateTime::currentDateTimeUtc());
    if (replaced) {
        send(QStringLiteral("Err|Users"), replaced->address, replaced->port);
        log_(QStringLiteral("session %1 taken over: %2 replaces %3")
                 .arg(printable(name), endpoint(from, port),
                      endpoint(replaced->address, replaced->port)));
    }
    send(QStringLiteral("LoginOk|") + name, from, port);
    log_(QStringLiteral("session %1 signed in from %2").arg(printable(name), endpoint(from, port)));
}

void LoginServer::handleProbeEcho(const QStringList& fields, const QHostAddress& from,
                                  quint16 port) {
    const QString text = printable(fields.join(u'|'));
    if (fields.size() < 2) {
        ignore(from, port, QStringLiteral("TestLogin without a value"), true);
        return;
    }
    Session* session = sessions_.findByEndpoint(from, port);
    if (!session) {
        ignore(from, port, QStringLiteral("probe echo matches no session: ") + text, false);
        return;
    }
    if (!session->pending.contains(fields[1])) {
        ignore(from, port, QStringLiteral("probe echo carries a value never sent to it: ") + text,
               false);
        return;
    }
    log_(QStringLiteral("udp <- %1 %2").arg(endpoint(from, port), text));
    session->unanswered = 0;
    session->pending.clear();
    session->lastSeen = QDateTime::currentDateTimeUtc();
}

void LoginServer::probeSessions() {
    for (const QString& name : sessions_.names()) {
        Session* session = sessions_.find(name);
        if (session->unanswered >= maxUnanswered_) {
            log_(QStringLiteral("session %1 dropped: %2 probes without an echo")
                     .arg(printable(name), QString::number(session->unanswered)));
            sessions_.remove(name);
            continue;
        }
        const QString value =
            QString::number(QRandomGenerator::global()->bounded(100000000u, 999999999u));
        session->pending.append(value);
        while (session->pending.size() > std::max(maxUnanswered_, 1)) {
            session->pending.removeFirst();
        }
        ++session->unanswered;
        send(QStringLiteral("TestLogin|") + value, session->address, session->port);
    }
}

int LoginServer::pushMessage(const QString& title, qint64 id) {
    int sent = 0;
    const QString text = QStringLiteral("Msg|") + title + u'|' + QString::number(id);
    for (const Session& session : sessions_.all()) {
        if (send(text, session.address, session.port)) {
            ++sent;
        }
    }
    return sent;
}

bool LoginServer::endSession(const QString& name, const QString& code) {
    const Session* session = sessions_.find(name);
    if (!session) {
        return false;
    }
    send(QStringLiteral("Err|") + code, session->address, session->port);
    log_(QStringLiteral("session %1 ended by the operator (%2)").arg(printable(name), code));
    sessions_.remove(name);
    return true;
}

bool LoginServer::send(const QString& text, const QHostAddress& to, quint16 port) {
    const auto bytes = utf8ToGbk(text.toStdString());
    if (!bytes) {
        log_(QStringLiteral("udp not sent to %1 (no GBK form): %2")
                 .arg(endpoint(to, port), printable(text)));
        return false;
    }
    const qint64 written = socket_.writeDatagram(
        QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())), to, port);
    if (written < 0) {
        log_(QStringLiteral("udp send to %1 failed: %2")
                 .arg(endpoint(to, port), socket_.errorString()));
        return false;
    }
    log_(QStringLiteral("udp -> %1 %2").arg(endpoint(to, port), printable(text)));
    return true;
}

}  // namespace tallyro::service
