// The control socket: the real program as a service, and its ctl form, as processes.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "temp_dir.h"

namespace tallyro::service::test {
namespace {

// A connection without Qt, so that thousands cost little; it does not wait to be accepted.
int connectTcp(quint16 port, const char* from = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &address.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

sockaddr_un localAddress(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.toUtf8().constData(), sizeof address.sun_path - 1);
    return address;
}

// Connects to a local socket, waiting while its queue is full.
int connectLocal(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const sockaddr_un address = localAddress(path);
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
            errno != EAGAIN)
            break;
        ::poll(nullptr, 0, 5);
    }
    return fd;
}

// Waits until the other end has closed (or reset) every one of `fds`, then closes them.
bool allClosedByPeer(std::vector<int>& fds) {
    const auto closedByPeer = [](int fd) {
        char buffer[4096];
        ssize_t got;
        while ((got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        }
        return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!fds.empty() && std::chrono::steady_clock::now() < deadline) {
        std::erase_if(fds, [&](int fd) { return closedByPeer(fd) && ::close(fd) == 0; });
        ::poll(nullptr, 0, 50);
    }
    return fds.empty();
}

// Sends a request from `from` and gives the first line of what comes back.
std::string statusLine(quint16 port, const std::string& request, const char* from) {
    const int fd = connectTcp(port, from);
    pollfd p{fd, POLLOUT, 0};
    std::string in(64, '\0');
    if (::poll(&p, 1, 30000) == 1 && ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) > 0) {
        p.events = POLLIN;
        const ssize_t got = ::poll(&p, 1, 30000) == 1 ? ::recv(fd, in.data(), in.size(), 0) : 0;
        in.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(fd);
    return in.substr(0, in.find('\r'));
}

// A child set up as `uid` in the group "users" (gid 100), a group shared by people.
std::function<void()> asUser(uid_t uid) {
    return [uid] {
        ::setgroups(0, nullptr);
        [[maybe_unused]] const int g = ::setgid(100);
        [[maybe_unused]] const int u = ::setuid(uid);
    };
}

struct Ran {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the program to its end, as another user when `asUser` sets one up in the child.
Ran run(const QStringList& arguments, const std::function<void()>& asUser = {}) {
    QProcess process;
    if (asUser)
        process.setChildProcessModifier(asUser);
    process.start(QStringLiteral(TALLYRO_SERVICE_PROGRAM), arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// "tallyro-service ctl" with the words of `line`.
Ran ctl(const QString& line, const std::function<void()>& asUser = {}) {
    return run(QStringList{QStringLiteral("ctl")} + line.split(u' ', Qt::SkipEmptyParts), asUser);
}

class ControlSocketTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(start(service_)); }
    void TearDown() override { stop(); }

    bool start(QProcess& process, const QString& more = {},
               const std::function<void()>& modifier = {}) {
        log_[&process].clear();
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (modifier)
            process.setChildProcessModifier(modifier);
        process.start(QStringLiteral(TALLYRO_SERVICE_PROGRAM),
                      (QStringLiteral("--db %1/db --login-port 0 --web-port 0 --probe-seconds 0 "
                                      "--demo-account demo:demo123 --control %2 ")
                           .arg(QString::fromStdString(dir_.path().string()), socket_) +
                       more)
                          .split(u' ', Qt::SkipEmptyParts));
        process.closeWriteChannel();
        return waitForOutput(process, "tallyro-service ready");
    }
    void stop() {
        service_.terminate();
        service_.waitForFinished(30000);
    }
    bool restart(const QString& more, const std::function<void()>& modifier = {}) {
        stop();
        return start(service_, more, modifier);
    }
    // "ctl" with the words of `line` at this service's socket, or at `path`.
    Ran ctlHere(const QString& line, const QString& path = {},
                const std::function<void()>& asUser = {}) {
        return ctl(QStringLiteral("--control %1 ").arg(path.isEmpty() ? socket_ : path) + line,
                   asUser);
    }
    quint16 webPort() {
        static const QRegularExpression ready(QStringLiteral("web http://127\\.0\\.0\\.1:(\\d+)/"));
        return ready.match(QString::fromUtf8(output(service_))).captured(1).toUShort();
    }
    bool waitForOutput(QProcess& process, const char* text) {
        while (!output(process).contains(text))
            if (!process.waitForReadyRead(30000))
                return false;
        return true;
    }
    QByteArray output(QProcess& process) { return log_[&process] += process.readAll(); }

    tallyro::test::TempDir dir_;
    const QString socket_ = QString::fromStdString((dir_ / "control").string());
    const QString noSession = QStringLiteral("no session\n");
    QProcess service_;
    std::map<QProcess*, QByteArray> log_;
};

TEST_F(ControlSocketTest, CommandsAnswerLikeTheConsole) {
    const std::pair<const char*, const char*> steps[] = {
        {"block demo", "account \"demo\" blocked\n"},
        {"accounts", "1 account(s):\n  demo  [blocked]  created "},
        // The words after the command travel as one line, as typed on the console.
        {"push 收盘提示|今日 沪指收涨", "message 1 stored and sent to 0 session(s)\n"},
        {"frobnicate", "unknown command \"frobnicate\"; type help\n"},
        // A pinned price is rounded to cents and lasts from 1 to 1440 minutes.
        {"price sz002594 1.004 1440", "sz002594 priced at 1.00 for 1440 min\n"},
        {"price sz002594 0", "price: a price above 0 and below 100000, minutes from 1 to 1440\n"},
        {"price sz002594 1 1441", "price: a price above 0"},
        {"price 002594 1", "usage: price <code like sh600000> [<price> [<minutes>]]\n"},
        {"price sz002594", "sz002594 follows the simulation again\n"},
        {"price sz002594", "sz002594 had no price pinned\n"},
    };
    for (const auto& [words, answer] : steps) {
        const Ran got = ctlHere(QString::fromUtf8(words));
        EXPECT_TRUE(got.exitCode == 0 && got.out.contains(QString::fromUtf8(answer)))
            << words << " answered: " << got.out.toStdString() << got.err.toStdString();
    }
    // An empty line is a command too: it gets an empty answer at once.
    const int raw = connectLocal(socket_);
    pollfd p{raw, POLLIN, 0};
    char reply[8];
    EXPECT_TRUE(::write(raw, "\n", 1) == 1 && ::poll(&p, 1, 10000) == 1 &&
                ::recv(raw, reply, sizeof reply, 0) == 1);
    ::close(raw);
    // The socket lies in a folder of the test's user and main group: when the group bears
    // the user's name, it is the user's own and may connect; a shared one may not.
    const passwd* user = ::getpwuid(::geteuid());
    const group* own = ::getgrgid(::getegid());
    const bool ownGroup = user && own && std::strcmp(user->pw_name, own->gr_name) == 0;
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(socket_).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, ownGroup ? 0770u : 0700u);
    EXPECT_TRUE(output(service_).contains(ownGroup ? "its user and group may connect"
                                                   : "only its user may connect"));
    // What ctl did is in the service's log, one line per command, with who sent it.
    EXPECT_TRUE(waitForOutput(service_, "): push 收盘提示|今日 沪指收涨"));
    EXPECT_TRUE(output(service_).contains(
        QStringLiteral("control (uid %1, pid ").arg(::getuid()).toUtf8()));
}

// Another service or a file keeps the path; quit removes the socket; a crashed run's does not.
TEST_F(ControlSocketTest, QuitRemovesTheSocketAndWhatHoldsThePathIsLeftAlone) {
    const auto refused = [&](const char* why) {
        QProcess other;
        EXPECT_FALSE(start(other));
        other.waitForFinished(30000);
        EXPECT_TRUE(other.exitCode() == 1 && output(other).contains(why)) << output(other).data();
    };
    refused("another service answers there");
    EXPECT_EQ(ctlHere(QStringLiteral("quit")).out, QStringLiteral("stopping\n"));
    ASSERT_TRUE(service_.waitForFinished(30000) && service_.exitCode() == 0);
    EXPECT_FALSE(QFile::exists(socket_));
    tallyro::test::writeFileBytes(dir_ / "control", "someone's file");
    refused("the path exists and is no socket");
    EXPECT_EQ(tallyro::test::readFileBytes(dir_ / "control"), "someone's file");
    QFile::remove(socket_);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = localAddress(socket_);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(start(service_)) << output(service_).toStdString();
    EXPECT_EQ(ctl(QStringLiteral("--control=") + socket_ + QStringLiteral(" sessions")).out,
              noSession);
}

// At systemd's 1,024 open files, 1,100 idle web and 1,100 silent control connections leave
// a browser elsewhere and the operator served, and the time limit closes every one.
TEST_F(ControlSocketTest, ThousandsOfIdleConnectionsLeaveOthersServedAndCloseInTime) {
    rlimit own{};
    ::getrlimit(RLIMIT_NOFILE, &own);
    if (own.rlim_max < 2400)
        GTEST_SKIP() << "the clients need 2,400 open files; the hard limit is " << own.rlim_max;
    own.rlim_cur = own.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &own);
    ASSERT_TRUE(restart(QStringLiteral("--idle-timeout 3"), [] {
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }));
    const quint16 port = webPort();
    std::vector<int> web;
    std::vector<int> control;
    // From twenty addresses, each under its own cap: together they reach the total one.
    for (int i = 0; i < 1100; ++i) {
        web.push_back(connectTcp(port, ("127.0.1." + std::to_string(i % 20 + 1)).c_str()));
        control.push_back(connectLocal(socket_));
    }
    EXPECT_EQ(statusLine(port, "GET /ad.asp HTTP/1.1\r\n\r\n", "127.0.0.2"), "HTTP/1.1 200 OK");
    EXPECT_EQ(ctlHere(QStringLiteral("sessions")).out, noSession);
    EXPECT_TRUE(allClosedByPeer(web) && allClosedByPeer(control));
    EXPECT_TRUE(waitForOutput(service_, "connections open, the most allowed: the one that waited "
                                        "longest without a request closed for one from 127.0."));
    EXPECT_EQ(ctlHere(QStringLiteral("sessions")).out, noSession);
}

// A small open-file limit shrinks the web cap; an unreadable standard input (a folder) ends
// the reading of commands instead of waking the service again and again. Both are logged.
TEST_F(ControlSocketTest, ASmallOpenFileLimitAndAnUnreadableStandardInputAreBorne) {
    ASSERT_TRUE(restart({}, [] {
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::dup2(::open("/", O_RDONLY), STDIN_FILENO);
    }));
    EXPECT_TRUE(output(service_).contains("open-file limit 100: web connections capped at 20 "
                                          "instead of 512"));
    EXPECT_TRUE(waitForOutput(service_, "limits: 20 web connections, 20 per address"));
    EXPECT_TRUE(waitForOutput(service_, "standard input closed: operator commands are no "
                                        "longer read"));
    EXPECT_EQ(ctlHere(QStringLiteral("sessions")).out, noSession);
}

// Started by someone whose main group is shared, the service lets no other member in.
TEST_F(ControlSocketTest, ASecondUserOfTheStartersGroupIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as two users needs root";
    // Root's socket in a folder of root's but of the group "users" is root's alone.
    const auto others = dir_ / "others";
    std::filesystem::create_directory(others);
    ASSERT_EQ(::chown(others.c_str(), 0, 100), 0);
    ASSERT_TRUE(restart(QStringLiteral("--control %1/control")
                            .arg(QString::fromStdString(others.string()))));
    EXPECT_TRUE(output(service_).contains("only its user may connect"));
    const auto shared = dir_ / "shared";
    std::filesystem::create_directory(shared);
    ASSERT_EQ(::chown(shared.c_str(), 40001, 100) | ::chmod(shared.c_str(), 0770) |
                  ::chmod(dir_.path().c_str(), 0755),
              0);
    const QString path = QString::fromStdString((shared / "control").string());
    ASSERT_TRUE(restart(QStringLiteral("--db %1/db --control %2")
                            .arg(QString::fromStdString(shared.string()), path),
                        asUser(40001)))
        << output(service_).toStdString();
    EXPECT_TRUE(output(service_).contains("only its user may connect"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    const Ran other = ctlHere(QStringLiteral("push x|y"), path, asUser(40002));
    EXPECT_TRUE(other.exitCode == 1 && other.err.contains(QStringLiteral("cannot reach the")))
        << other.err.toStdString();
    EXPECT_EQ(ctlHere(QStringLiteral("sessions"), path, asUser(40001)).out, noSession);
    EXPECT_TRUE(waitForOutput(service_, "control (uid 40001, pid "));
    EXPECT_FALSE(output(service_).contains("push x|y"));
}

// Without a service: ctl says why it fails, and the account commands refuse a password
// under six characters, new or changed; each on standard error.
TEST(Ctl, FailuresAndShortPasswordsAreSaidOnStandardError) {
    for (const auto& [line, exitCode, message] :
         {std::tuple{"--control /nonexistent/control sessions", 1,
                     "cannot reach the service at /nonexistent/control"},
          std::tuple{"--control", 2, "--control expects"}, std::tuple{"", 2, "usage:"}}) {
        const Ran got = ctl(QString::fromUtf8(line));
        EXPECT_TRUE(got.exitCode == exitCode && got.out.isEmpty() &&
                    got.err.startsWith(QStringLiteral("tallyro-service ctl: ")) &&
                    got.err.contains(QString::fromUtf8(message)))
            << line << ": " << got.exitCode << ' ' << got.err.toStdString();
    }
    tallyro::test::TempDir dir;
    const QString db = QString::fromStdString((dir / "db").string());
    QString got;  // each step's exit code and standard error
    for (const char* step : {"--add-account 张三:12345", "--add-account 张三:123456",
                             "--set-password 张三:五个字符", "--set-password 张三:六个汉字密码"}) {
        const Ran ran = run(QStringList{QStringLiteral("--db"), db} +
                            QString::fromUtf8(step).split(u' '));
        got += QString::number(ran.exitCode) + u' ' + ran.err;
    }
    EXPECT_EQ(got, QStringLiteral("1 tallyro-service: --add-account 张三: 密码至少6个字符。\n0 "
                                  "1 tallyro-service: --set-password 张三: 密码至少6个字符。\n0 "));
}

}  // namespace
}  // namespace tallyro::service::test
