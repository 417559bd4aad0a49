// Operator commands, one per line, read from standard input while the service runs:
//   push <title>|<body>   store a message and send "Msg|title|id" to every session
//   block <name>          block an account and end its session
//   unblock <name>        lift the block
//   price <code> [<price> [<minutes>]]
//                         pin a stock's price for a while (10 minutes unless
//                         given), or without a price let it follow the simulation
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
class LivePrices;
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

    // Where "price" pins prices; without it the command is refused.
    void setLivePrices(LivePrices* prices) { prices_ = prices; }

signals:
    void quitRequested();

private:
    void readAvailable();
    QString priceCommand(const QString& argument);

    LoginServer& login_;
    AccountStore& accounts_;
    const SessionTable& sessions_;
    LogSink out_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray pending_;
    LivePrices* prices_ = nullptr;
};

}  // namespace tallyro::service
