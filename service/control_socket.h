// The operator commands over a local socket, for a service that runs without a
// terminal (a system daemon). One connection carries one command line; the
// service answers with the console's text and closes the connection.
//
// Only the service's own user (and root) may connect, or also its group when the
// socket lies in a folder of the service's own: owned by its user and group, a group
// named like the user (as systemd's runtime folder of a unit with its own user and
// group is). A group shared with other people (a starter's "users") never gets in.
// The socket holds a bounded number of connections, each for a bounded time; the
// oldest connection that has not sent its command makes room for a new one, and
// running out of file descriptors pauses the listener instead of losing it.
//
//   tallyro-service ctl [--control PATH] <command...>
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <list>
#include <memory>

#include "service_log.h"

class QLocalSocket;

namespace tallyro::service {

class OperatorConsole;

// Where a system service listens unless told otherwise (its runtime folder).
inline constexpr const char* kDefaultControlSocket = "/run/tallyro-service/control";

class ControlServer : public QObject {
    Q_OBJECT

public:
    // Connections held at once, and the time each has to send its command.
    struct Limits {
        int connections = 16;
        std::chrono::milliseconds timeout{15000};
    };

    ControlServer(OperatorConsole& console, LogSink log, QObject* parent = nullptr);
    ~ControlServer() override;

    void setLimits(const Limits& limits) { limits_ = limits; }

    // Listens at `path`, replacing a socket file a former run left behind. False
    // with the reason in `error`.
    bool listen(const QString& path, QString* error);
    QString path() const { return path_; }
    bool groupMayConnect() const { return groupAccess_; }
    int openConnections() const { return static_cast<int>(open_.size()); }

private:
    struct Peer;
    void acceptPending();
    void serve(int fd, const Peer& peer);
    void closed(QLocalSocket* socket);

    OperatorConsole& console_;
    LogSink log_;
    Limits limits_;
    QString path_;
    int fd_ = -1;
    bool groupAccess_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer resume_;
    bool pausedLogged_ = false;
    std::list<QLocalSocket*> open_;  // oldest first
};

// The ctl form: `args` are the words after "ctl". Sends the command, writes the
// answer to standard output and returns the exit code (0 answered, 1 the service
// could not be reached or did not answer, 2 a usage error).
int runControlCommand(const QStringList& args);

}  // namespace tallyro::service
