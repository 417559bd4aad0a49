// Operator commands, one per line, read from standard input while the service runs:
//   push <title>|<body>   store a message and send "Msg|title|id" to every session
//   block <name>          block an account and end its session
//   unblock <name>        lift the block
//   sessions              print the session table
//   accounts              print the accounts
//   help, quit
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

#include <memory>

#include "service_log.h"

namespace tallyro::service {

class AccountStore;
class LoginServer;
class SessionTable;

class OperatorConsole : public QObject {
    Q_OBJECT

public:
    OperatorConsole(LoginServer& login, AccountStore& accounts, const SessionTable& sessions,
                    LogSink out, QObject* parent = nullptr);

    // Reads commands from file descriptor 0 when there is something to read. A closed
    // or exhausted input just ends the reading; the service keeps running.
    void startReadingStdin();

    // Runs one command line and returns what it printed.
    QString execute(const QString& line);

signals:
    void quitRequested();

private:
    void readAvailable();

    LoginServer& login_;
    AccountStore& accounts_;
    const SessionTable& sessions_;
    LogSink out_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray pending_;
};

}  // namespace tallyro::service
