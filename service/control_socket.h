// The operator commands over a local socket, for a service that runs without a
// terminal (a system daemon). One connection carries one command line; the
// service answers with the console's text and closes the connection.
//
//   tallyro-service ctl [--control PATH] <command...>
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

#include "service_log.h"

namespace tallyro::service {

class OperatorConsole;

// Where a system service listens unless told otherwise (its runtime folder).
inline constexpr const char* kDefaultControlSocket = "/run/tallyro-service/control";

class ControlServer : public QObject {
    Q_OBJECT

public:
    ControlServer(OperatorConsole& console, LogSink log, QObject* parent = nullptr);

    // Listens at `path`, replacing a socket file a former run left behind. Owner
    // and group may connect. False with the reason in `error`.
    bool listen(const QString& path, QString* error);
    QString path() const { return server_.fullServerName(); }

private:
    void accept();

    OperatorConsole& console_;
    LogSink log_;
    QLocalServer server_;
};

// The ctl form: `args` are the words after "ctl". Sends the command, writes the
// answer to standard output and returns the exit code (0 answered, 1 the service
// could not be reached or did not answer, 2 a usage error).
int runControlCommand(const QStringList& args);

}  // namespace tallyro::service
