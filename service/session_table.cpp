// The session table.
#include "session_table.h"

namespace tallyro::service {

bool sameEndpoint(const QHostAddress& a, quint16 portA, const QHostAddress& b, quint16 portB) {
    // An IPv4 sender may be reported as ::ffff:a.b.c.d on a dual-stack socket.
    return portA == portB && a.isEqual(b, QHostAddress::TolerantConversion);
}

const Session* SessionTable::find(const QString& name) const {
    const auto it = sessions_.constFind(name);
    return it == sessions_.constEnd() ? nullptr : &it.value();
}

Session* SessionTable::find(const QString& name) {
    const auto it = sessions_.find(name);
    return it == sessions_.end() ? nullptr : &it.value();
}

Session* SessionTable::findByEndpoint(const QHostAddress& address, quint16 port) {
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
        if (sameEndpoint(it->address, it->port, address, port)) {
            return &it.value();
        }
    }
    return nullptr;
}

std::optional<Session> SessionTable::signIn(const QString& name, const QHostAddress& address,
                                            quint16 port, const QDateTime& now) {
    std::optional<Session> replaced;
    const auto it = sessions_.constFind(name);
    if (it != sessions_.constEnd() && !sameEndpoint(it->address, it->port, address, port)) {
        replaced = it.value();
    }
    // One endpoint is one client: if another account was signed in from the same
    // address and port, that client has now signed in as someone else.
    for (auto other = sessions_.begin(); other != sessions_.end();) {
        if (other.key() != name && sameEndpoint(other->address, other->port, address, port)) {
            other = sessions_.erase(other);
        } else {
            ++other;
        }
    }
    Session session;
    session.name = name;
    session.address = address;
    session.port = port;
    session.signedInAt = now;
    session.lastSeen = now;
    sessions_.insert(name, session);
    return replaced;
}

bool SessionTable::remove(const QString& name) {
    return sessions_.remove(name) > 0;
}

}  // namespace tallyro::service
