// The control socket: the real program as a service, and its ctl form, as processes.
#include <QFile>
#include <QProcess>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <tuple>

#include "temp_dir.h"

namespace tallyro::service::test {
namespace {

struct Ctl {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs "tallyro-service ctl" with the words of `line`.
Ctl ctl(const QString& line) {
    QProcess process;
    process.start(QStringLiteral(TALLYRO_SERVICE_PROGRAM),
                  QStringList{QStringLiteral("ctl")} + line.split(u' ', Qt::SkipEmptyParts));
    process.closeWriteChannel();
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class ControlSocketTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(start(service_)); }
    void TearDown() override {
        service_.terminate();
        service_.waitForFinished(30000);
    }

    // Starts a service on the socket and waits for its ready line (or its end).
    bool start(QProcess& process) {
        log_[&process].clear();
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(TALLYRO_SERVICE_PROGRAM),
                      QStringLiteral("--db %1/db --login-port 0 --web-port 0 --probe-seconds 0 "
                                     "--demo-account demo:demo123 --control %2")
                          .arg(QString::fromStdString(dir_.path().string()), socket_)
                          .split(u' '));
        process.closeWriteChannel();
        return waitForOutput(process, "tallyro-service ready");
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
    };
    for (const auto& [words, answer] : steps) {
        const Ctl got =
            ctl(QStringLiteral("--control %1 %2").arg(socket_, QString::fromUtf8(words)));
        EXPECT_EQ(got.exitCode, 0) << words << got.err.toStdString();
        EXPECT_TRUE(got.out.contains(QString::fromUtf8(answer)))
            << words << " answered: " << got.out.toStdString();
    }
    // What ctl did is in the service's log, one line per command, with who sent it.
    EXPECT_TRUE(waitForOutput(service_, "): push 收盘提示|今日 沪指收涨"));
    EXPECT_TRUE(output(service_).contains(
        QStringLiteral("control (uid %1, pid ").arg(::getuid()).toUtf8()));
}

// A second service, or a file that is no socket, keeps the path from a service; quit removes
// the socket, and one left by a crashed run (bound, never removed) does not keep the next out.
TEST_F(ControlSocketTest, QuitRemovesTheSocketAndWhatHoldsThePathIsLeftAlone) {
    const auto refused = [&](const char* why) {
        QProcess other;
        EXPECT_FALSE(start(other));
        other.waitForFinished(30000);
        EXPECT_EQ(other.exitCode(), 1);
        EXPECT_TRUE(output(other).contains(why)) << output(other).toStdString();
    };
    refused("another service answers there");
    EXPECT_EQ(ctl(QStringLiteral("--control %1 quit").arg(socket_)).out,
              QStringLiteral("stopping\n"));
    ASSERT_TRUE(service_.waitForFinished(30000) && service_.exitCode() == 0);
    EXPECT_FALSE(QFile::exists(socket_));
    tallyro::test::writeFileBytes(dir_ / "control", "someone's file");
    refused("the path exists and is no socket");
    EXPECT_EQ(tallyro::test::readFileBytes(dir_ / "control"), "someone's file");
    QFile::remove(socket_);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_.toUtf8().constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(start(service_)) << output(service_).toStdString();
    EXPECT_EQ(ctl(QStringLiteral("--control=") + socket_ + QStringLiteral(" sessions")).out,
              QStringLiteral("no session\n"));
}

TEST(Ctl, FailuresSayWhyOnStandardError) {
    for (const auto& [line, exitCode, message] :
         {std::tuple{"--control /nonexistent/control sessions", 1,
                     "cannot reach the service at /nonexistent/control"},
          std::tuple{"--control", 2, "--control expects"}, std::tuple{"", 2, "usage:"}}) {
        const Ctl got = ctl(QString::fromUtf8(line));
        EXPECT_EQ(got.exitCode, exitCode) << line;
        EXPECT_TRUE(got.out.isEmpty()) << line;
        EXPECT_TRUE(got.err.startsWith(QStringLiteral("tallyro-service ctl: ")));
        EXPECT_TRUE(got.err.contains(QString::fromUtf8(message))) << got.err.toStdString();
    }
}

}  // namespace
}  // namespace tallyro::service::test
