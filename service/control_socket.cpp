// Operator commands over a local socket.
#include "control_socket.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QVariant>

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "operator_console.h"

namespace tallyro::service {

namespace {

// A command line longer than this is refused: no operator types one.
constexpr qsizetype kMaxCommandBytes = 64 * 1024;
// A command in the log: a long one (a pushed message) is cut after this many characters.
constexpr qsizetype kLoggedCommandLength = 300;
// Bounds on a connection that stalls; an answer itself comes at once.
constexpr int kWaitMs = 10000;
// Out of file descriptors, the listener rests this long before it tries again.
constexpr int kResumeMs = 250;

void printError(const QString& text) {
    std::fprintf(stderr, "tallyro-service ctl: %s\n", text.toUtf8().constData());
}

// The folder of `path` is the service's own: owned by its user and its group, and
// the group bears the user's name (a group of its own, not one shared with people).
bool inOwnFolder(const QString& path) {
    struct stat st {};
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::stat(dir.constData(), &st) != 0 || st.st_uid != ::geteuid() ||
        st.st_gid != ::getegid()) {
        return false;
    }
    const passwd* user = ::getpwuid(::geteuid());
    const std::string userName = user != nullptr ? user->pw_name : "";
    const group* own = ::getgrgid(::getegid());
    return own != nullptr && !userName.empty() && userName == own->gr_name;
}

bool peerInGroup(int fd, gid_t wanted) {
#ifdef SO_PEERGROUPS
    std::vector<gid_t> groups(64);
    socklen_t length = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &length) == 0) {
        groups.resize(length / sizeof(gid_t));
        return std::find(groups.begin(), groups.end(), wanted) != groups.end();
    }
#endif
    (void)fd;
    (void)wanted;
    return false;
}

}  // namespace

struct ControlServer::Peer {
    uid_t uid = static_cast<uid_t>(-1);
    gid_t gid = static_cast<gid_t>(-1);
    pid_t pid = 0;
};

ControlServer::ControlServer(OperatorConsole& console, LogSink log, QObject* parent)
    : QObject(parent), console_(console), log_(std::move(log)) {
    resume_.setSingleShot(true);
    connect(&resume_, &QTimer::timeout, this, [this] {
        notifier_->setEnabled(true);
        acceptPending();
    });
}

ControlServer::~ControlServer() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(QFile::encodeName(path_).constData());
    }
}

bool ControlServer::listen(const QString& path, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error != nullptr)
            *error = QStringLiteral("control socket %1: %2").arg(path, why);
        return false;
    };
    // A socket file left by a run that did not end cleanly would refuse the bind;
    // one where a service still answers is that service's.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(kWaitMs))
        return fail(QStringLiteral("another service answers there"));
    // Only a socket is replaced: a mistyped path must not remove someone's file.
    const QByteArray file = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(file.constData(), &st) == 0 && !S_ISSOCK(st.st_mode))
        return fail(QStringLiteral("the path exists and is no socket"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (file.isEmpty() || static_cast<size_t>(file.size()) >= sizeof address.sun_path)
        return fail(QStringLiteral("the path is empty or too long for a socket"));
    std::memcpy(address.sun_path, file.constData(), static_cast<size_t>(file.size()));
    ::unlink(file.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    groupAccess_ = inOwnFolder(path);
    // The mode is set between bind and listen, while no one can connect yet.
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(file.constData(), groupAccess_ ? 0770 : 0700) != 0 || ::listen(fd, 16) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return fail(why);
    }
    fd_ = fd;
    path_ = path;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &ControlServer::acceptPending);
    return true;
}

void ControlServer::acceptPending() {
    for (;;) {
        const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            // Out of descriptors or memory: the connection waits in the queue, the
            // listener rests instead of spinning on it, and is never given up.
            if (!pausedLogged_) {
                log_(QStringLiteral("control: cannot accept a connection (%1); trying again "
                                    "every %2 ms")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)))
                         .arg(kResumeMs));
                pausedLogged_ = true;
            }
            notifier_->setEnabled(false);
            resume_.start(kResumeMs);
            return;
        }
        pausedLogged_ = false;
        Peer peer;
        ucred cred{};
        socklen_t length = sizeof cred;
        if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0) {
            peer = {cred.uid, cred.gid, cred.pid};
        }
        const bool allowed =
            peer.uid == ::geteuid() || peer.uid == 0 ||
            (groupAccess_ && (peer.gid == ::getegid() || peerInGroup(client, ::getegid())));
        if (!allowed) {
            static const char kRefused[] = "refused: not the service's user or group\n";
            [[maybe_unused]] const auto sent =
                ::send(client, kRefused, sizeof kRefused - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(client);
            log_(QStringLiteral("control: refused uid %1 pid %2: not the service's user or group")
                     .arg(peer.uid)
                     .arg(peer.pid));
            continue;
        }
        if (static_cast<int>(open_.size()) >= std::max(limits_.connections, 1)) {
            // The oldest connection that has not sent its command makes room; one whose
            // answer is still going out is left to finish, and with only such ones
            // the newcomer is closed.
            const auto idle = std::find_if(open_.begin(), open_.end(), [](QLocalSocket* s) {
                return !s->property("answered").toBool();
            });
            if (idle == open_.end()) {
                ::close(client);
                continue;
            }
            QLocalSocket* oldest = *idle;
            open_.erase(idle);
            oldest->abort();
            oldest->deleteLater();
        }
        serve(client, peer);
    }
}

void ControlServer::serve(int fd, const Peer& peer) {
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(fd)) {
        ::close(fd);
        delete socket;
        return;
    }
    open_.push_back(socket);
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [this, socket] {
        socket->abort();
        closed(socket);
    });
    deadline->start(limits_.timeout);
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { closed(socket); });
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket, peer] {
        if (socket->property("answered").toBool()) {
            socket->readAll();
            return;
        }
        const qsizetype newline = socket->peek(kMaxCommandBytes + 1).indexOf('\n');
        QString answer;
        if (newline >= 0) {
            const QString line = QString::fromUtf8(socket->read(newline + 1)).chopped(1);
            log_(QStringLiteral("control (uid %1, pid %2): %3")
                     .arg(peer.uid)
                     .arg(peer.pid)
                     .arg(printable(line, kLoggedCommandLength)));
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

void ControlServer::closed(QLocalSocket* socket) {
    const auto it = std::find(open_.begin(), open_.end(), socket);
    if (it == open_.end()) {
        return;
    }
    open_.erase(it);
    socket->deleteLater();
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
