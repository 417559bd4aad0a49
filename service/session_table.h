// Signed-in sessions of the login server, one per account, shared with the web
// server, which serves analyses only to accounts signed in here.
#pragma once

#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace tallyro::service {

struct Session {
    QString name;
    QHostAddress address;
    quint16 port = 0;
    QDateTime signedInAt;
    QDateTime lastSeen;   // sign-in or the last answered probe
    int unanswered = 0;   // probes sent since the last echo
    QStringList pending;  // probe values that an echo may carry, newest last
};

class SessionTable {
public:
    bool isSignedIn(const QString& name) const { return sessions_.contains(name); }
    const Session* find(const QString& name) const;
    Session* find(const QString& name);
    Session* findByEndpoint(const QHostAddress& address, quint16 port);

    // Makes (address, port) the account's one session. Returns the session it replaces
    // when that one was at another address or port: the caller tells it that it is over.
    std::optional<Session> signIn(const QString& name, const QHostAddress& address, quint16 port,
                                  const QDateTime& now);
    bool remove(const QString& name);

    QList<Session> all() const { return sessions_.values(); }  // sorted by name
    QStringList names() const { return sessions_.keys(); }
    qsizetype size() const { return sessions_.size(); }

private:
    QMap<QString, Session> sessions_;
};

bool sameEndpoint(const QHostAddress& a, quint16 portA, const QHostAddress& b, quint16 portB);

}  // namespace tallyro::service
