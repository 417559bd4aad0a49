// Operator commands over a local socket.
#include "control_socket.h"

#include <QFile>
#include <QLocalSocket>
#include <QVariant>

#include <sys/stat.h>

#include <cstdio>

#include "operator_console.h"

namespace tallyro::service {

namespace {

// A command line longer than this is refused: no operator types one.
constexpr qsizetype kMaxCommandBytes = 64 * 1024;
// Bounds on a connection that stalls; an answer itself comes at once.
constexpr int kWaitMs = 10000;

void printError(const QString& text) {
    std::fprintf(stderr, "tallyro-service ctl: %s\n", text.toUtf8().constData());
}

}  // namespace

ControlServer::ControlServer(OperatorConsole& console, LogSink log, QObject* parent)
    : QObject(parent), console_(console), log_(std::move(log)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption | QLocalServer::GroupAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &ControlServer::accept);
}

bool ControlServer::listen(const QString& path, QString* error) {
    // A socket file left by a run that did not end cleanly would refuse the bind;
    // one where a service still answers is that service's.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(kWaitMs)) {
        if (error != nullptr)
            *error = QStringLiteral("control socket %1: another service answers there").arg(path);
        return false;
    }
    // Only a socket is replaced: a mistyped path must not remove someone's file.
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISSOCK(st.st_mode)) {
        if (error != nullptr)
            *error =
                QStringLiteral("control socket %1: the path exists and is no socket").arg(path);
        return false;
    }
    QLocalServer::removeServer(path);
    if (server_.listen(path))
        return true;
    if (error != nullptr)
        *error = QStringLiteral("control socket %1: %2").arg(path, server_.errorString());
    return false;
}

void ControlServer::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->property("answered").toBool())
                return;
            const qsizetype newline = socket->peek(kMaxCommandBytes + 1).indexOf('\n');
            QString answer;
            if (newline >= 0) {
                const QString line = QString::fromUtf8(socket->read(newline + 1)).chopped(1);
                log_(QStringLiteral("control: %1").arg(printable(line)));
                answer = console_.execute(line);
            } else if (socket->bytesAvailable() > kMaxCommandBytes) {
                answer =
                    QStringLiteral("command refused: longer than %1 bytes").arg(kMaxCommandBytes);
            } else {
                return;  // the rest of the line is still on its way
            }
            socket->setProperty("answered", true);
            socket->write(answer.toUtf8() + '\n');
            socket->flush();  // "quit" ends the event loop right after this
            socket->disconnectFromServer();
        });
    }
}

int runControlCommand(const QStringList& args) {
    QString path = QString::fromUtf8(kDefaultControlSocket);
    QStringList words = args;
    if (!words.isEmpty() && words.first().startsWith(QLatin1String("--control="))) {
        path = words.takeFirst().mid(10);
    } else if (!words.isEmpty() && words.first() == QLatin1String("--control")) {
        words.removeFirst();
        if (words.isEmpty()) {
            printError(QStringLiteral("--control expects the socket's path"));
            return 2;
        }
        path = words.takeFirst();
    }
    const QString line = words.join(u' ');
    if (line.trimmed().isEmpty() || path.isEmpty() || line.contains(u'\n')) {
        printError(
            QStringLiteral("usage: tallyro-service ctl [--control PATH] COMMAND [ARGUMENT...]"
                           " (commands: push, block, unblock, sessions, accounts, help, quit)"));
        return 2;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(kWaitMs)) {
        printError(
            QStringLiteral("cannot reach the service at %1: %2").arg(path, socket.errorString()));
        return 1;
    }
    socket.write(line.toUtf8() + '\n');
    socket.waitForBytesWritten(kWaitMs);
    QByteArray answer;
    // The service closes the connection after its answer.
    while (socket.state() == QLocalSocket::ConnectedState && socket.waitForReadyRead(kWaitMs))
        answer += socket.readAll();
    answer += socket.readAll();
    if (answer.isEmpty()) {
        printError(QStringLiteral("the service at %1 did not answer").arg(path));
        return 1;
    }
    std::fwrite(answer.constData(), 1, static_cast<size_t>(answer.size()), stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace tallyro::service
