// The login server over real loopback datagrams in the client's exact format.
#include <QFile>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <iterator>
#include <tuple>
#include <vector>

#include "control_socket.h"
#include "credentials.h"
#include "operator_console.h"
#include "service_fixture.h"

namespace tallyro::service::test {
namespace {

using LoginServerTest = ServiceFixture;

class LoginRefusalTest : public ServiceFixture {
protected:
    void SetUp() override {
        guardRules_.freeFailures = 100;
        ServiceFixture::SetUp();
    }
};

// 张三 is digested as its GBK bytes D5 C5 C8 FD, not as UTF-8.
TEST(PasswordDigest, IsTheRfc1321DigestOfTheGbkBytesInUpperCase) {
    EXPECT_EQ(*passwordDigest(QStringLiteral("abc")) + *passwordDigest(QStringLiteral("张三")),
              QLatin1String(kAbcDigest) + QStringLiteral("894152FFF4F97E8FB2B8F304C5C56EBB"));
    EXPECT_FALSE(passwordDigest(QString::fromUtf8("\xF0\x9F\x98\x80")));
}

TEST_F(LoginRefusalTest, RefusalsAnswerAndOpenNoSession) {
    const QByteArray digest = kAbcDigest;
    const std::pair<QByteArray, const char*> cases[] = {
        {"Login|demo|00000000000000000000000000000000|10.09", "Err|Password"},
        {"Login|DEMO|" + digest + "|10.09", "Err|Password"},
        // Digests are compared exactly: the client always sends upper case.
        {"Login|demo|" + digest.toLower() + "|10.09", "Err|Password"},
        {"Login|locked|" + digest + "|10.09", "Err|Style"},
        // A blocked account does not reveal its state to a wrong password.
        {"Login|locked|00000000000000000000000000000000|10.09", "Err|Password"},
        // An old client is told to update whatever its password.
        {"Login|nobody|0|10.08", "Err|ErrCode"},
        // A "|" typed into the name shifts the fields: the version field holds the digest.
        {"Login|de|mo|" + digest + "|10.09", "Err|ErrCode"},
        {"Login|de\x01mo|" + digest + "|10.09", "Err|Password"},
        // The longest datagram that is read.
        {loginDatagram(QByteArray(1024 - 45, 'n')), "Err|Password"},
    };
    UdpClient client(login_->port());
    for (const auto& [datagram, answer] : cases) {
        client.send(datagram);
        EXPECT_EQ(client.receive(), answer) << datagram.left(80).toStdString();
    }
    EXPECT_TRUE(sessions_.size() == 0 && login_->ignoredDatagrams() == 0u);
    EXPECT_EQ(login_->failedSignIns(), std::size(cases));
    // Logged like ignored datagrams (the first in full, then a count), answers not at all.
    EXPECT_TRUE(logged(QStringLiteral("udp sign-in from 127.0.0.1:%1 refused: wrong password: "
                                      "Login|demo|000")
                           .arg(client.port())));
    EXPECT_FALSE(logged(QStringLiteral("Err|")));
    LoginServer elsewhere(*store_, sessions_, [](const QString&) {});
    QString error;
    EXPECT_FALSE(elsewhere.listen(QHostAddress(QStringLiteral("192.0.2.1")), 0, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("cannot bind UDP"))) << error.toStdString();
}

TEST_F(LoginServerTest, OneSessionPerAccountAndAddressKeptWhileItEchoesTheProbes) {
    ASSERT_EQ(store_->addAccount("other", kAbcDigest), AccountStore::AddResult::Added);
    UdpClient first(login_->port());
    UdpClient second(login_->port());
    signIn(first, "demo");
    // The log keeps the digest's first four characters, never what signs one in.
    EXPECT_TRUE(logged(
        QStringLiteral("udp <- 127.0.0.1:%1 Login|demo|9001…|10.09").arg(first.port())));
    EXPECT_FALSE(log_.join(u'\n').contains(QLatin1String(kAbcDigest)));
    // A second sign-in elsewhere tells the first address.
    signIn(second, "demo");
    EXPECT_EQ(first.receive(), "Err|Users");
    EXPECT_EQ(std::pair(sessions_.size(), sessions_.find(QStringLiteral("demo"))->port),
              std::pair(qsizetype(1), second.port()));
    // Signing in again from the same address is no take-over (no "Err|Users" before the probe).
    signIn(second, "demo");
    login_->probeSessions();
    EXPECT_TRUE(second.receiveText().startsWith(QStringLiteral("TestLogin|")));
    // Another account from the same address ends the former one.
    signIn(second, "other");
    EXPECT_TRUE(!sessions_.isSignedIn(QStringLiteral("demo")) &&
                sessions_.isSignedIn(QStringLiteral("other")));

    // Probes: a session that echoes is kept, a silent one dropped.
    UdpClient stranger(login_->port());
    signIn(first, "demo");
    const auto unanswered = [&] { return sessions_.find(QStringLiteral("demo"))->unanswered; };
    QStringList values;
    for (int round = 0; round < 3; ++round) {
        login_->probeSessions();
        values << first.receiveText();
        ASSERT_TRUE(values.last().startsWith(QStringLiteral("TestLogin|")));
    }
    EXPECT_EQ(values.removeDuplicates(), 0);  // a fresh value every time
    // An echo of another value, or from another port, does not count.
    first.send("TestLogin|12345");
    stranger.send(values[2].toLatin1());
    ASSERT_TRUE(waitUntil([&] { return login_->ignoredDatagrams() == 2; }));
    EXPECT_TRUE(logged(QStringLiteral("never sent")));
    EXPECT_EQ(unanswered(), 3);
    // An echo of an older, still outstanding value counts.
    first.send(values[0].toLatin1());
    ASSERT_TRUE(waitUntil([&] { return unanswered() == 0; }));
    // Three probes without an echo are borne; the fourth finds the session dropped.
    QString kept;
    for (int round = 0; round < 4; ++round) {
        login_->probeSessions();
        kept += sessions_.isSignedIn(QStringLiteral("demo")) ? u'y' : u'n';
    }
    EXPECT_EQ(kept, QStringLiteral("yyyn"));
    EXPECT_TRUE(logged(QStringLiteral("session demo dropped")));
}

// What the flood cannot reach: an interval's last instant and the limit of senders counted.
TEST(LogThrottle, IntervalEndsAtItsLengthAndCountsSendersUpToALimit) {
    using namespace std::chrono_literals;
    LogThrottle throttle(10s);
    const LogThrottle::TimePoint t0{};
    throttle.record(t0, "a", false);
    EXPECT_EQ(throttle.intervalEnd(), t0 + 10s);  // where the log's timer looks again
    EXPECT_FALSE(throttle.record(t0 + 10s - 1ns, "b", true).showInFull ||
                 throttle.flush(t0 + 10s - 1ns));
    const auto next = throttle.record(t0 + 10s, "c", false);
    EXPECT_TRUE(next.showInFull && next.ended && next.ended->events == 2u);
    EXPECT_FALSE(throttle.flush(t0 + 20s));  // its only event was shown: nothing to sum up
    for (std::size_t i = 0; i <= LogThrottle::kMaxSenders; ++i)
        throttle.record(t0 + 100s, std::to_string(i), false);
    const auto many = throttle.flush(t0 + 110s).value();
    EXPECT_EQ(std::pair(many.senders, many.moreSenders), std::pair(LogThrottle::kMaxSenders, true));
}

// A flood of junk costs two log lines an interval: the first datagram in full, then a count.
TEST_F(LoginServerTest, FloodOfMalformedDatagramsIsIgnoredAndLoggedAsACount) {
    LogThrottle::TimePoint now{};
    login_->setClock([&] { return now; });
    UdpClient senders[] = {UdpClient(login_->port()), UdpClient(login_->port()),
                           UdpClient(login_->port())};
    // Three malformed kinds, then three that are well formed but not for the server.
    const QByteArray junk[] = {"Login|demo", "\xFF\xFE|\x80", QByteArray(1025, 'A'),
                               QByteArray(), "Hello|world",   "TestLogin|123456789"};
    constexpr int kTotal = 9000;
    for (int sent = 0; sent < kTotal;) {
        // In batches the socket's receive buffer holds, so that none is dropped.
        for (int k = 0; k < 50 && sent < kTotal; ++k, ++sent)
            senders[sent % 3].send(junk[sent % std::size(junk)]);
        ASSERT_TRUE(waitUntil([&] { return login_->ignoredDatagrams() == quint64(sent); }));
    }
    now += kIgnoredLogInterval;
    login_->flushIgnoredLog();
    EXPECT_EQ(log_.size(), 2) << log_.join(u'\n').left(2000).toStdString();
    EXPECT_TRUE(logged(QStringLiteral("udp ignored from 127.0.0.1:%1: Login with 2 fields")
                           .arg(senders[0].port())));
    EXPECT_TRUE(
        logged(QStringLiteral("udp: ignored 9000 datagrams (4500 malformed) in the last "
                              "10 s from 3 senders")));

    // The first answer this client gets is the one to its login.
    UdpClient client(login_->port());
    const QByteArray kinds[] = {"login|demo|x|10.09", "Login", "TestLogin", "LoginOk|demo",
                                "Login|demo|" + QByteArray(kAbcDigest), "Login|\xD5|x|10.09"};
    for (const QByteArray& bytes : kinds)
        client.send(bytes);
    signIn(client, "demo");
    EXPECT_EQ(login_->ignoredDatagrams(), quint64(kTotal + std::size(kinds)));
}

// A guesser gets five answers, then one per doubling wait; the owner elsewhere gets in.
TEST_F(LoginServerTest, GuessingWaitsLongerAfterEachFailureWhileTheOwnerGetsIn) {
    using namespace std::chrono_literals;
    LogThrottle::TimePoint now{};
    login_->setClock([&] { return now; });
    UdpClient guesser(login_->port());
    const QByteArray wrong = "Login|demo|00000000000000000000000000000000|10.09";
    int answered = 0;
    const auto attempt = [&](const QByteArray& datagram) {
        const quint64 seen = login_->failedSignIns() + login_->heldBackSignIns();
        guesser.send(datagram);
        EXPECT_TRUE(waitUntil(
            [&] { return login_->failedSignIns() + login_->heldBackSignIns() > seen; }));
        while (guesser.pending()) {
            EXPECT_EQ(guesser.receive(), "Err|Password");
            ++answered;
        }
    };
    for (int i = 0; i < 20; ++i)
        attempt(wrong);
    attempt(loginDatagram("demo"));  // the right password waits like any other attempt
    EXPECT_EQ(std::tuple(answered, login_->failedSignIns(), login_->heldBackSignIns()),
              std::tuple(5, 5u, 16u));
    UdpClient owner(login_->port(), QHostAddress(QStringLiteral("127.0.0.2")));
    signIn(owner, "demo");
    now += kIgnoredLogInterval;
    login_->flushIgnoredLog();
    EXPECT_TRUE(log_.contains(QStringLiteral(
        "udp: 5 failed sign-ins, 16 sign-ins held back in the last 10 s from 1 sender")));

    // Two tries a second for a minute: answered after waits of 1, 2, 4, 8 and 16 s.
    answered = 0;
    for (int i = 0; i < 120; ++i, now += 500ms)
        attempt(wrong);
    EXPECT_EQ(answered, 5);
    // The first attempt of the interval from 20 s came 4 s before the wait of 8 s ended.
    EXPECT_TRUE(logged(QStringLiteral("held back for 4000 ms after failures: Login|demo|000")));
    // Another account from the same source waits as well; a success from another
    // source does not free this one.
    ASSERT_EQ(store_->addAccount("other", kAbcDigest), AccountStore::AddResult::Added);
    attempt("Login|other|" + QByteArray(kAbcDigest) + "|10.09");
    EXPECT_FALSE(guesser.pending() || sessions_.isSignedIn(QStringLiteral("other")));
}

// Nothing a datagram carries starts a log line or reaches it unescaped; a long one is cut.
TEST_F(LoginServerTest, DatagramsCannotForgeLogLines) {
    UdpClient client(login_->port());
    client.send("Hello\n12:00:00.000 session admin signed in from 1.2.3.4:1\x1b[2J" +
                QByteArray(900, 'x'));
    ASSERT_TRUE(waitUntil([&] { return login_->ignoredDatagrams() == 1; }));
    ASSERT_EQ(log_.size(), 1);
    EXPECT_TRUE(log_[0].contains(
        QStringLiteral("Hello\\x0a12:00:00.000 session admin signed in from 1.2.3.4:1\\x1b[2J")));
    EXPECT_TRUE(log_[0].endsWith(QStringLiteral("... (961 characters)"))) << log_[0].toStdString();
    EXPECT_LT(log_[0].size(), 300);
    EXPECT_EQ(printable(QStringLiteral("a\u0085b\u2028c\u202Ed\u2069\u00A0\u206A")),
              QStringLiteral("a\\x85b\\u2028c\\u202ed\\u2069\u00A0\u206A"));
}

// Out of descriptors the control socket keeps its file and answers once some are free.
TEST_F(LoginServerTest, ControlSocketOutOfDescriptorsWaitsAndKeepsItsFile) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer runtime needs descriptors of its own.
    GTEST_SKIP() << "no descriptors left for the sanitizer runtime";
#endif
    OperatorConsole console(*login_, *store_, sessions_, [](const QString&) {});
    ControlServer control(console, [this](const QString& line) { log_.append(line); });
    const QString path = QString::fromStdString((dir_ / "control").string());
    ASSERT_TRUE(control.listen(path, nullptr));
    const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = 512;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> taken;
    for (int fd; (fd = ::dup(client)) >= 0;)
        taken.push_back(fd);
    sockaddr_un address{AF_UNIX, {}};
    qstrncpy(address.sun_path, path.toUtf8().constData(), sizeof address.sun_path);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::write(client, "sessions\n", 9), 9);
    EXPECT_TRUE(waitUntil([&] { return logged(QStringLiteral("control: cannot accept")); }));
    for (const int fd : taken)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_TRUE(QFile::exists(path));
    QByteArray answer;
    EXPECT_TRUE(waitUntil([&] {
        char buffer[256];
        const ssize_t got = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
        answer.append(buffer, std::max<ssize_t>(got, 0));
        return got == 0;
    }));
    EXPECT_EQ(answer, "no session\n");
    ::close(client);
}

// Pushes with their pages, blocks and refusals of the operator's console; a GBK name signed in.
TEST_F(LoginServerTest, ConsoleReachesTheSessionsAndPushedMessagesHaveTheirPage) {
    ASSERT_EQ(store_->addAccount("张三", kAbcDigest), AccountStore::AddResult::Added);
    UdpClient a(login_->port());
    UdpClient b(login_->port());
    signIn(a, "demo");
    signIn(b, "\xD5\xC5\xC8\xFD");
    EXPECT_TRUE(logged(QStringLiteral("Login|张三|")));
    OperatorConsole console(*login_, *store_, sessions_, [](const QString&) {});
    EXPECT_EQ(console.execute(QStringLiteral("push 收盘提示|今日沪指收涨")),
              QStringLiteral("message 1 stored and sent to 2 session(s)"));
    EXPECT_EQ(a.receiveText() + b.receiveText(), QStringLiteral("Msg|收盘提示|1Msg|收盘提示|1"));
    // The title is sent verbatim; the page shows the body as text.
    console.execute(QStringLiteral("push 涨幅%1超过5%|%2 <b>22:00</b>"));
    EXPECT_EQ(a.receiveText(), QStringLiteral("Msg|涨幅%1超过5%|2"));
    const QString page = QString::fromUtf8(get("/WebSet.asp?MsgID=2").body);
    EXPECT_TRUE(page.contains(QStringLiteral("涨幅%1超过5%")) &&
                page.contains(QStringLiteral("%2 &lt;b&gt;22:00&lt;/b&gt;")));
    for (const char* target :
         {"/WebSet.asp?MsgID=3", "/WebSet.asp", "/WebSet.asp?MsgID=-1", "/WebSet.asp?MsgID=+1",
          "/WebSet.asp?MsgID=99999999999999999999", "/WebSet.asp?MsgID=%3Cscript%3E"}) {
        const HttpReply missing = get(target);
        EXPECT_TRUE(missing.status == 404 && !missing.body.contains("<script>") &&
                    QString::fromUtf8(missing.body).contains(QStringLiteral("消息不存在")))
            << target;
    }

    EXPECT_EQ(console.execute(QStringLiteral("block demo")),
              QStringLiteral("account \"demo\" blocked; its session was ended"));
    EXPECT_EQ(a.receive(), "Err|Style");
    a.send(loginDatagram("demo"));
    EXPECT_EQ(a.receive(), "Err|Style");
    console.execute(QStringLiteral("unblock demo"));
    signIn(a, "demo");

    QString replies;
    for (const char* line : {"   \r", "push  |body only", "push \xF0\x9F\x98\x80|x", "block nobody"})
        replies += console.execute(QString::fromUtf8(line)) + u'\n';
    EXPECT_EQ(replies, QStringLiteral("\nusage: push <title>|<body>\npush refused: the title has "
                                      "characters without a GBK code\nblock failed: no account "
                                      "named nobody\n"));
    int asked = 0;
    QObject::connect(&console, &OperatorConsole::quitRequested, [&] { ++asked; });
    console.execute(QStringLiteral("sessions"));
    console.execute(QStringLiteral("quit"));
    EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace tallyro::service::test
