// The operator commands over the control socket: the real program started as a
// service on free loopback ports, and its ctl form run as separate processes.
#include <QFile>
#include <QProcess>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include <map>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace tallyro::service::test {
namespace {

using tallyro::test::TempDir;

struct Ctl {
    int exitCode = -1;
    QString out;
    QString err;
};

Ctl ctl(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(TALLYRO_SERVICE_PROGRAM),
                  QStringList{QStringLiteral("ctl")} + args);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class ControlSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        socket_ = QString::fromStdString((dir_ / "control").string());
        ASSERT_TRUE(start(service_));
    }
    void TearDown() override {
        if (service_.state() != QProcess::NotRunning) {
            service_.terminate();
            service_.waitForFinished(30000);
        }
    }

    // Starts a service on the socket and waits for its ready line (or its end).
    bool start(QProcess& process) {
        log_[&process].clear();
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(
            QStringLiteral(TALLYRO_SERVICE_PROGRAM),
            {QStringLiteral("--db"), QString::fromStdString((dir_ / "db").string()),
             QStringLiteral("--login-port"), QStringLiteral("0"), QStringLiteral("--web-port"),
             QStringLiteral("0"), QStringLiteral("--probe-seconds"), QStringLiteral("0"),
             QStringLiteral("--demo-account"), QStringLiteral("demo:demo123"),
             QStringLiteral("--control"), socket_});
        process.closeWriteChannel();
        return waitForOutput(process, "tallyro-service ready");
    }
    bool waitForOutput(QProcess& process, const char* text) {
        while (!output(process).contains(text)) {
            if (!process.waitForReadyRead(30000))
                return false;
        }
        return true;
    }
    QByteArray output(QProcess& process) {
        log_[&process] += process.readAll();
        return log_[&process];
    }

    TempDir dir_;
    QString socket_;
    QProcess service_;
    std::map<QProcess*, QByteArray> log_;
};

TEST_F(ControlSocketTest, CommandsAnswerLikeTheConsole) {
    struct Step {
        QStringList words;
        const char* answer;
    };
    const std::vector<Step> steps = {
        {{QStringLiteral("accounts")}, "1 account(s):\n  demo  created "},
        {{QStringLiteral("block"), QStringLiteral("demo")}, "account \"demo\" blocked\n"},
        {{QStringLiteral("accounts")}, "  demo  [blocked]  created "},
        {{QStringLiteral("unblock"), QStringLiteral("demo")}, "account \"demo\" unblocked\n"},
        {{QStringLiteral("sessions")}, "no session\n"},
        // The words after the command travel as one line, as typed on the console.
        {{QStringLiteral("push"), QStringLiteral("收盘提示|今日"), QStringLiteral("沪指收涨")},
         "message 1 stored and sent to 0 session(s)\n"},
        {{QStringLiteral("help")}, "  push <title>|<body>"},
        {{QStringLiteral("frobnicate")}, "unknown command \"frobnicate\"; type help\n"},
    };
    for (const Step& step : steps) {
        const Ctl got = ctl(QStringList{QStringLiteral("--control"), socket_} + step.words);
        EXPECT_EQ(got.exitCode, 0) << step.words.join(u' ').toStdString() << got.err.toStdString();
        EXPECT_TRUE(got.out.contains(QString::fromUtf8(step.answer)))
            << step.words.join(u' ').toStdString() << " answered: " << got.out.toStdString();
    }
    // What ctl did is in the service's log, one line per command.
    EXPECT_TRUE(waitForOutput(service_, "control: push 收盘提示|今日 沪指收涨"));
}

TEST_F(ControlSocketTest, ASecondServiceLeavesTheSocketToTheFirst) {
    QProcess second;
    EXPECT_FALSE(start(second));
    second.waitForFinished(30000);
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(output(second).contains("another service answers there"))
        << output(second).toStdString();
    EXPECT_EQ(ctl({QStringLiteral("--control=") + socket_, QStringLiteral("sessions")}).out,
              QStringLiteral("no session\n"));
}

TEST_F(ControlSocketTest, QuitStopsTheServiceAndRemovesTheSocket) {
    const Ctl got = ctl({QStringLiteral("--control"), socket_, QStringLiteral("quit")});
    EXPECT_EQ(got.out, QStringLiteral("stopping\n"));
    ASSERT_TRUE(service_.waitForFinished(30000));
    EXPECT_EQ(service_.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(socket_));
    // A socket left by a crashed run (bound, never removed) does not keep the next one out.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_.toUtf8().constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(start(service_)) << output(service_).toStdString();
    EXPECT_EQ(ctl({QStringLiteral("--control"), socket_, QStringLiteral("sessions")}).out,
              QStringLiteral("no session\n"));
}

TEST_F(ControlSocketTest, AFileThatIsNoSocketIsLeftAlone) {
    service_.terminate();
    ASSERT_TRUE(service_.waitForFinished(30000));
    QFile file(socket_);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("someone's file");
    file.close();
    QProcess refused;
    EXPECT_FALSE(start(refused));
    refused.waitForFinished(30000);
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_TRUE(output(refused).contains("the path exists and is no socket"))
        << output(refused).toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("someone's file"));
}

struct CtlFailure {
    QStringList args;
    int exitCode;
    const char* message;
};

class CtlFailures : public ::testing::TestWithParam<CtlFailure> {};

TEST_P(CtlFailures, SayWhyOnStandardError) {
    const Ctl got = ctl(GetParam().args);
    EXPECT_EQ(got.exitCode, GetParam().exitCode);
    EXPECT_TRUE(got.out.isEmpty());
    EXPECT_TRUE(got.err.startsWith(QStringLiteral("tallyro-service ctl: ")));
    EXPECT_TRUE(got.err.contains(QString::fromUtf8(GetParam().message))) << got.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CtlFailures,
    ::testing::Values(
        CtlFailure{{QStringLiteral("--control"), QStringLiteral("/nonexistent/control"),
                    QStringLiteral("sessions")},
                   1,
                   "cannot reach the service at /nonexistent/control"},
        CtlFailure{{QStringLiteral("--control"), QStringLiteral("/tmp/x")}, 2, "usage:"},
        CtlFailure{{QStringLiteral("--control")}, 2, "--control expects"},
        CtlFailure{{}, 2, "usage:"}));

}  // namespace
}  // namespace tallyro::service::test
