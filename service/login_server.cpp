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

constexpr int kDatagramsPerTurn = 64;

// The kinds counted in the throttled log.
enum LogKind : unsigned { kIgnored = 0, kMalformed = 1, kFailed = 2, kHeldBack = 3 };

// A datagram's text for a log line: escaped, and cut after kLoggedDatagramLength
// characters with its full length said.
QString shown(const QString& text) {
    return printable(text, kLoggedDatagramLength);
}

QString sourceOf(const QHostAddress& address) {
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return (mapped ? QHostAddress(v4) : address).toString();
}

// The line that sums up an interval of the ignored-datagram log.
QString ignoredSummary(const LogThrottle::Summary& summary) {
    const auto& k = summary.kinds;
    QStringList parts;
    if (k[kIgnored] + k[kMalformed] > 0) {
        parts << QStringLiteral("ignored %1 datagrams (%2 malformed)")
                     .arg(k[kIgnored] + k[kMalformed])
                     .arg(k[kMalformed]);
    }
    if (k[kFailed] > 0) {
        parts << QStringLiteral("%1 failed sign-ins").arg(k[kFailed]);
    }
    if (k[kHeldBack] > 0) {
        parts << QStringLiteral("%1 sign-ins held back").arg(k[kHeldBack]);
    }
    return QStringLiteral("udp: %1 in the last %2 s from %3")
        .arg(parts.join(QStringLiteral(", ")))
        .arg(kIgnoredLogInterval.count())
        .arg(QString::fromStdString(sendersText(summary, "sender", "senders")));
}

}  // namespace

LoginServer::LoginServer(AccountStore& accounts, SessionTable& sessions, LogSink log,
                         QObject* parent, const SignInGuard::Rules& guardRules)
    : QObject(parent),
      accounts_(accounts),
      sessions_(sessions),
      log_(std::move(log)),
      clock_(steadyNow),
      guard_(guardRules),
      ignoredLog_(kIgnoredLogInterval, clock_, log_, ignoredSummary) {
    connect(&socket_, &QUdpSocket::readyRead, this, &LoginServer::readPending);
    connect(&probeTimer_, &QTimer::timeout, this, &LoginServer::probeSessions);
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
    // A bounded batch per turn of the event loop: under a flood the web side and the
    // control socket get their turns, and the socket reports the rest again.
    for (int batch = 0; batch < kDatagramsPerTurn && socket_.hasPendingDatagrams(); ++batch) {
        const QNetworkDatagram datagram = socket_.receiveDatagram();
        handleDatagram(datagram.data(), datagram.senderAddress(),
                       static_cast<quint16>(datagram.senderPort()));
    }
}

void LoginServer::ignore(const QHostAddress& from, quint16 port, const QString& why,
                         bool malformed) {
    ++ignored_;
    throttledLog(from, port, malformed ? kMalformed : kIgnored,
                 QStringLiteral("udp ignored from %1: %2").arg(endpoint(from, port), why));
}

void LoginServer::refuseSignIn(const QHostAddress& from, quint16 port, const QString& why,
                               const QString& answer) {
    if (answer.isEmpty()) {
        ++heldBack_;
    } else {
        ++failed_;
        send(answer, from, port, false);
    }
    throttledLog(from, port, answer.isEmpty() ? kHeldBack : kFailed,
                 QStringLiteral("udp sign-in from %1 %2").arg(endpoint(from, port), why));
}

void LoginServer::throttledLog(const QHostAddress& from, quint16 port, unsigned kind,
                               const QString& line) {
    ignoredLog_.record(endpoint(from, port).toStdString(), kind, line);
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
                       .arg(shown(message)),
                   true);
            return;
        }
        handleLogin(fields, from, port);
    } else if (kind == u"TestLogin") {
        handleProbeEcho(fields, from, port);
    } else {
        ignore(from, port,
               QStringLiteral("unknown message \"%1\": %2")
                   .arg(shown(kind.left(kLoggedDatagramLength)), shown(message)),
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
    // The digest is all a client needs to sign in: the log keeps its first four
    // characters, enough to tell two apart, and never the rest.
    QStringList loggedFields = fields;
    if (digest.size() > 4) {
        loggedFields[2] = digest.left(4) + QStringLiteral("…");
    }
    const QString message = loggedFields.join(u'|');

    if (version != QLatin1String(kClientVersion)) {
        refuseSignIn(from, port, QStringLiteral("refused: client version: ") + shown(message),
                     QStringLiteral("Err|ErrCode"));
        return;
    }
    // Waiting sources get no answer at all: an answer would tell a guesser when to
    // try again, and a forged source would make the server send to a third party.
    const std::string account = name.toStdString();
    const std::string source = sourceOf(from).toStdString();
    const auto now = clock_();
    const auto wait = guard_.waitFor(account, source, now);
    if (wait > SignInGuard::Duration::zero()) {
        refuseSignIn(from, port,
                     QStringLiteral("held back for %1 ms after failures: %2")
                         .arg(std::chrono::ceil<std::chrono::milliseconds>(wait).count())
                         .arg(shown(message)),
                     {});
        return;
    }
    const AccountLookup lookup = accounts_.find(account);
    if (lookup.failed) {
        // No answer: the client reports a time-out, which is closer to the truth than
        // a wrong password would be.
        log_(QStringLiteral("login of %1 not answered: %2")
                 .arg(shown(name), QString::fromStdString(accounts_.lastError())));
        return;
    }
    if (!lookup.account || QString::fromStdString(lookup.account->digest) != digest) {
        guard_.failed(lookup.account ? account : std::string(), source, now);
        refuseSignIn(from, port,
                     QStringLiteral("refused: %1: %2")
                         .arg(lookup.account ? "wrong password" : "no such account", shown(message)),
                     QStringLiteral("Err|Password"));
        return;
    }
    // The password was right: whatever follows, it was no guess.
    guard_.succeeded(account, source);
    if (lookup.account->blocked) {
        refuseSignIn(from, port, QStringLiteral("refused: account blocked: ") + shown(message),
                     QStringLiteral("Err|Style"));
        return;
    }
    log_(QStringLiteral("udp <- %1 %2").arg(endpoint(from, port), shown(message)));
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
    const QString text = shown(fields.join(u'|'));
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

bool LoginServer::send(const QString& text, const QHostAddress& to, quint16 port, bool logged) {
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
    if (logged) {
        log_(QStringLiteral("udp -> %1 %2").arg(endpoint(to, port), printable(text)));
    }
    return true;
}

}  // namespace tallyro::service
