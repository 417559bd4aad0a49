// Operator commands from standard input.
#include "operator_console.h"

#include <fcntl.h>
#include <unistd.h>

#include <QRegularExpression>

#include <cerrno>
#include <cmath>

#include "account_store.h"
#include "analysis.h"
#include "gbk.h"
#include "live_prices.h"
#include "login_server.h"
#include "session_table.h"

namespace tallyro::service {

namespace {

QString endpointText(const Session& s) {
    bool mapped = false;
    const quint32 v4 = s.address.toIPv4Address(&mapped);
    return (mapped ? QHostAddress(v4) : s.address).toString() + u':' + QString::number(s.port);
}

const char* const kHelp =
    "commands:\n"
    "  push <title>|<body>   store a message and send it to every signed-in client\n"
    "  block <name>          block an account and end its session\n"
    "  unblock <name>        lift the block\n"
    "  price <code> [<price> [<minutes>]]\n"
    "                        pin a stock's price for a while (10 minutes), or unpin it\n"
    "  sessions              list signed-in accounts\n"
    "  accounts              list all accounts\n"
    "  quit                  stop the service";

}  // namespace

QString OperatorConsole::priceCommand(const QString& argument) {
    const QStringList words = argument.split(u' ', Qt::SkipEmptyParts);
    static const QRegularExpression codeForm(QStringLiteral("^s[hz][0-9]{6}$"));
    if (!prices_ || words.isEmpty() || words.size() > 3 || !codeForm.match(words[0]).hasMatch()) {
        return QStringLiteral("usage: price <code like sh600000> [<price> [<minutes>]]");
    }
    const std::string code = words[0].toStdString();
    if (words.size() == 1) {
        return prices_->unpin(code)
                   ? QStringLiteral("%1 follows the simulation again").arg(words[0])
                   : QStringLiteral("%1 had no price pinned").arg(words[0]);
    }
    bool priceOk = false, minutesOk = true;
    const double price = words[1].toDouble(&priceOk);
    const int minutes = words.size() == 3 ? words[2].toInt(&minutesOk) : 10;
    if (!priceOk || !(price > 0 && price < 100000) || !minutesOk || minutes < 1 || minutes > 1440) {
        return QStringLiteral("price: a price above 0 and below 100000, minutes from 1 to 1440");
    }
    prices_->pin(code, std::round(price * 100) / 100, minutes);
    return QStringLiteral("%1 priced at %2 for %3 min")
        .arg(words[0], QString::fromStdString(formatFixed(std::round(price * 100) / 100, 2)),
             QString::number(minutes));
}

OperatorConsole::OperatorConsole(LoginServer& login, AccountStore& accounts,
                                 const SessionTable& sessions, LogSink out, QObject* parent)
    : QObject(parent),
      login_(login),
      accounts_(accounts),
      sessions_(sessions),
      out_(std::move(out)) {}

void OperatorConsole::startReadingStdin() {
    // A background job reading its terminal would be stopped by SIGTTIN: only the
    // foreground process reads the terminal.
    if (isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) != getpgrp()) {
        out_(QStringLiteral("running in the background: operator commands are not read"));
        return;
    }
    if (fcntl(STDIN_FILENO, F_GETFL) < 0) {
        return;  // no standard input at all
    }
    // The descriptor stays blocking: it may be the terminal shared with the shell, and
    // one read per notification never waits anyway.
    notifier_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &OperatorConsole::readAvailable);
}

void OperatorConsole::readAvailable() {
    char buffer[4096];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (got > 0) {
        pending_.append(buffer, got);
    }
    qsizetype newline;
    while ((newline = pending_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(pending_.left(newline));
        pending_.remove(0, newline + 1);
        const QString reply = execute(line);
        if (!reply.isEmpty()) {
            out_(reply);
        }
    }
    if (got <= 0) {
        notifier_->setEnabled(false);
        if (!pending_.isEmpty()) {
            const QString reply = execute(QString::fromUtf8(pending_));
            pending_.clear();
            if (!reply.isEmpty()) {
                out_(reply);
            }
        }
        out_(QStringLiteral("standard input closed: operator commands are no longer read"));
    }
}

QString OperatorConsole::execute(const QString& rawLine) {
    QString line = rawLine;
    if (line.endsWith(u'\r')) {
        line.chop(1);
    }
    if (line.trimmed().isEmpty()) {
        return {};
    }
    const qsizetype space = line.indexOf(u' ');
    const QString command = (space < 0 ? line : line.left(space)).trimmed();
    // Names are taken exactly as typed after the command and one space.
    const QString argument = space < 0 ? QString() : line.mid(space + 1);

    if (command == u"help") {
        return QString::fromUtf8(kHelp);
    }
    if (command == u"quit" || command == u"exit") {
        emit quitRequested();
        return QStringLiteral("stopping");
    }
    if (command == u"price") {
        return priceCommand(argument);
    }
    if (command == u"sessions") {
        const auto all = sessions_.all();
        if (all.isEmpty()) {
            return QStringLiteral("no session");
        }
        QString text = QStringLiteral("%1 session(s):").arg(all.size());
        for (const Session& s : all) {
            text += QStringLiteral("\n  %1  %2  signed in %3  last seen %4  unanswered probes %5")
                        .arg(printable(s.name), endpointText(s),
                             s.signedInAt.toLocalTime().toString(Qt::ISODate),
                             s.lastSeen.toLocalTime().toString(Qt::ISODate),
                             QString::number(s.unanswered));
        }
        return text;
    }
    if (command == u"accounts") {
        const auto all = accounts_.accounts();
        QString text = QStringLiteral("%1 account(s):").arg(all.size());
        for (const Account& a : all) {
            text += QStringLiteral("\n  %1%2  created %3")
                        .arg(printable(QString::fromStdString(a.name)),
                             a.blocked ? QStringLiteral("  [blocked]") : QString(),
                             QString::fromStdString(a.created));
        }
        return text;
    }
    if (command == u"block" || command == u"unblock") {
        if (argument.isEmpty()) {
            return QStringLiteral("usage: %1 <name>").arg(command);
        }
        const bool block = command == u"block";
        if (!accounts_.setBlocked(argument.toStdString(), block)) {
            return QStringLiteral("%1 failed: %2")
                .arg(command, QString::fromStdString(accounts_.lastError()));
        }
        if (block && login_.endSession(argument, QStringLiteral("Style"))) {
            return QStringLiteral("account \"%1\" blocked; its session was ended").arg(argument);
        }
        return QStringLiteral("account \"%1\" %2").arg(argument, block ? "blocked" : "unblocked");
    }
    if (command == u"push") {
        const qsizetype bar = argument.indexOf(u'|');
        const QString title = (bar < 0 ? argument : argument.left(bar)).trimmed();
        const QString body = bar < 0 ? QString() : argument.mid(bar + 1).trimmed();
        if (title.isEmpty()) {
            return QStringLiteral("usage: push <title>|<body>");
        }
        if (!utf8ToGbk(title.toStdString())) {
            return QStringLiteral("push refused: the title has characters without a GBK code");
        }
        const auto id = accounts_.addMessage(title.toStdString(), body.toStdString());
        if (!id) {
            return QStringLiteral("push failed: ") + QString::fromStdString(accounts_.lastError());
        }
        const int sent = login_.pushMessage(title, *id);
        return QStringLiteral("message %1 stored and sent to %2 session(s)")
            .arg(QString::number(*id), QString::number(sent));
    }
    return QStringLiteral("unknown command \"%1\"; type help").arg(printable(command));
}

}  // namespace tallyro::service
