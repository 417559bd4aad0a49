// The UDP login server: one "|"-separated GBK text message per datagram.
//
// From clients: "Login|<name>|<digest>|<version>" and "TestLogin|<value>" (the echo of
// a probe). To clients: "LoginOk|<name>", "Err|Password" (unknown account or wrong
// digest), "Err|Style" (blocked account), "Err|ErrCode" (client version other than
// 10.09), "Err|Users" (to the previous address when the account signs in elsewhere),
// "TestLogin|<value>" probes and "Msg|<title>|<message id>".
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <chrono>
#include <functional>

#include "log_throttle.h"
#include "service_log.h"
#include "session_table.h"
#include "sign_in_guard.h"
#include "throttled_log.h"

namespace tallyro::service {

class AccountStore;

inline constexpr const char* kClientVersion = "10.09";
// Larger datagrams are no message of this protocol (a login is well under 100 bytes).
inline constexpr qint64 kMaxDatagramBytes = 1024;
// Ignored datagrams and failed sign-ins are logged in full at most once per interval,
// the rest as a count.
inline constexpr std::chrono::seconds kIgnoredLogInterval{10};
// Longest part of a datagram shown in a log line, in characters.
inline constexpr qsizetype kLoggedDatagramLength = 100;

class LoginServer : public QObject {
    Q_OBJECT

public:
    using Clock = ThrottledLog::Clock;

    LoginServer(AccountStore& accounts, SessionTable& sessions, LogSink log,
                QObject* parent = nullptr, const SignInGuard::Rules& guardRules = {});

    // Port 0 picks a free port; port() tells which.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const { return socket_.localPort(); }

    // Probes run every `seconds` (0 stops them); a session that has left
    // `maxUnanswered` probes in a row without an echo is dropped at the next round.
    void setProbeInterval(int seconds);
    void setMaxUnanswered(int probes) { maxUnanswered_ = probes; }

    // One probe round: drop silent sessions, send a fresh value to the others. The
    // timer calls it; tests call it directly.
    void probeSessions();

    // Sends "Msg|title|id" to every signed-in session; returns how many were sent. The
    // title must not hold "|" and must have a GBK form.
    int pushMessage(const QString& title, qint64 id);

    // Ends an account's session, telling its client "Err|<code>" first.
    bool endSession(const QString& name, const QString& code);

    // Datagrams that changed nothing: empty, oversized, not GBK, an unknown first field,
    // too few fields, or a probe echo that matches no session or no value sent to it.
    quint64 ignoredDatagrams() const { return ignored_; }
    // Sign-ins refused for their password, name or version, and those not checked at
    // all because their account or source is waiting after failures (not answered).
    quint64 failedSignIns() const { return failed_; }
    quint64 heldBackSignIns() const { return heldBack_; }

    // Steady time of the ignored-datagram log and the sign-in back-off; tests fix it.
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // Logs the count of ignored datagrams once their interval is over. A timer calls
    // it; tests call it directly.
    void flushIgnoredLog() { ignoredLog_.flush(); }

private:
    void readPending();
    void handleDatagram(const QByteArray& bytes, const QHostAddress& from, quint16 port);
    void handleLogin(const QStringList& fields, const QHostAddress& from, quint16 port);
    void handleProbeEcho(const QStringList& fields, const QHostAddress& from, quint16 port);
    // `malformed`: no message of this protocol, as opposed to one that means nothing here.
    void ignore(const QHostAddress& from, quint16 port, const QString& why, bool malformed);
    // A sign-in refused with `answer` (logged with the others of its interval), or
    // held back without an answer when `answer` is empty.
    void refuseSignIn(const QHostAddress& from, quint16 port, const QString& why,
                      const QString& answer);
    void throttledLog(const QHostAddress& from, quint16 port, unsigned kind, const QString& line);
    // `logged`: false for answers whose cause is logged as a count.
    bool send(const QString& text, const QHostAddress& to, quint16 port, bool logged = true);

    AccountStore& accounts_;
    SessionTable& sessions_;
    LogSink log_;
    QUdpSocket socket_;
    QTimer probeTimer_;
    int maxUnanswered_ = 3;
    quint64 ignored_ = 0;
    quint64 failed_ = 0;
    quint64 heldBack_ = 0;
    Clock clock_;
    SignInGuard guard_;
    ThrottledLog ignoredLog_;
};

}  // namespace tallyro::service
