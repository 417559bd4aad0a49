// The login server over real loopback datagrams in the client's exact format.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "credentials.h"
#include "operator_console.h"
#include "service_fixture.h"

namespace tallyro::service::test {
namespace {

class LoginServerTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        ASSERT_EQ(store_->addAccount("demo", kAbcDigest), AccountStore::AddResult::Added);
        ASSERT_EQ(store_->addAccount("locked", kAbcDigest), AccountStore::AddResult::Added);
        ASSERT_TRUE(store_->setBlocked("locked", true));
    }
};

TEST(PasswordDigest, IsTheRfc1321DigestOfTheGbkBytesInUpperCase) {
    EXPECT_EQ(passwordDigest(QStringLiteral("abc")), QString::fromLatin1(kAbcDigest));
    EXPECT_EQ(passwordDigest(QString()), QStringLiteral("D41D8CD98F00B204E9800998ECF8427E"));
    // 张三 is digested as its GBK bytes D5 C5 C8 FD, not as UTF-8.
    EXPECT_EQ(
        passwordDigest(QStringLiteral("张三")),
        QString::fromLatin1(QCryptographicHash::hash("\xD5\xC5\xC8\xFD", QCryptographicHash::Md5)
                                .toHex()
                                .toUpper()));
    EXPECT_FALSE(passwordDigest(QString::fromUtf8("\xF0\x9F\x98\x80")));
}

TEST_F(LoginServerTest, RightDigestSignsIn) {
    UdpClient client(login_->port());
    client.send("Login|demo|900150983CD24FB0D6963F7D28E17F72|10.09");
    EXPECT_EQ(client.receiveText(), QStringLiteral("LoginOk|demo"));
    ASSERT_TRUE(sessions_.isSignedIn(QStringLiteral("demo")));
    EXPECT_EQ(sessions_.find(QStringLiteral("demo"))->port, client.port());
    EXPECT_TRUE(logged(QStringLiteral("udp <- 127.0.0.1:%1 Login|demo|").arg(client.port())));
    EXPECT_TRUE(logged(QStringLiteral("udp -> 127.0.0.1:%1 LoginOk|demo").arg(client.port())));
}

struct Refusal {
    const char* datagram;
    const char* answer;
};

std::ostream& operator<<(std::ostream& os, const Refusal& c) {
    return os << '"' << c.datagram << '"';
}

class LoginRefusals : public LoginServerTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(LoginRefusals, AnswerAndNoSession) {
    UdpClient client(login_->port());
    client.send(GetParam().datagram);
    EXPECT_EQ(client.receiveText(), QString::fromLatin1(GetParam().answer));
    EXPECT_EQ(sessions_.size(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LoginRefusals,
    ::testing::Values(
        Refusal{"Login|demo|00000000000000000000000000000000|10.09", "Err|Password"},
        Refusal{"Login|nobody|900150983CD24FB0D6963F7D28E17F72|10.09", "Err|Password"},
        Refusal{"Login||900150983CD24FB0D6963F7D28E17F72|10.09", "Err|Password"},
        Refusal{"Login|DEMO|900150983CD24FB0D6963F7D28E17F72|10.09", "Err|Password"},
        // Digests are compared exactly: the client always sends upper case.
        Refusal{"Login|demo|900150983cd24fb0d6963f7d28e17f72|10.09", "Err|Password"},
        Refusal{"Login|locked|900150983CD24FB0D6963F7D28E17F72|10.09", "Err|Style"},
        // A blocked account does not reveal its state to a wrong password.
        Refusal{"Login|locked|00000000000000000000000000000000|10.09", "Err|Password"},
        Refusal{"Login|demo|900150983CD24FB0D6963F7D28E17F72|10.08", "Err|ErrCode"},
        Refusal{"Login|demo|900150983CD24FB0D6963F7D28E17F72|", "Err|ErrCode"},
        // An old client is told to update whatever its password.
        Refusal{"Login|nobody|0|9.99", "Err|ErrCode"},
        // A "|" typed into the name shifts the fields: the version field holds the digest.
        Refusal{"Login|de|mo|900150983CD24FB0D6963F7D28E17F72|10.09", "Err|ErrCode"}));

TEST_F(LoginServerTest, SecondSignInElsewhereTellsTheFirstAddress) {
    UdpClient first(login_->port());
    UdpClient second(login_->port());
    signIn(first, "demo");
    signIn(second, "demo");
    EXPECT_EQ(first.receiveText(), QStringLiteral("Err|Users"));
    EXPECT_EQ(sessions_.size(), 1);
    EXPECT_EQ(sessions_.find(QStringLiteral("demo"))->port, second.port());
}

TEST_F(LoginServerTest, SignInAgainFromTheSameAddressIsNoTakeOver) {
    UdpClient client(login_->port());
    signIn(client, "demo");
    signIn(client, "demo");
    // Had "Err|Users" been sent, it would arrive before this probe.
    login_->probeSessions();
    EXPECT_TRUE(client.receiveText().startsWith(QStringLiteral("TestLogin|")));
}

TEST_F(LoginServerTest, AnotherAccountFromTheSameAddressEndsTheFormerOne) {
    ASSERT_EQ(store_->addAccount("other", kAbcDigest), AccountStore::AddResult::Added);
    UdpClient client(login_->port());
    signIn(client, "demo");
    signIn(client, "other");
    EXPECT_FALSE(sessions_.isSignedIn(QStringLiteral("demo")));
    EXPECT_TRUE(sessions_.isSignedIn(QStringLiteral("other")));
}

TEST_F(LoginServerTest, EchoedProbesKeepTheSession) {
    UdpClient client(login_->port());
    signIn(client, "demo");
    for (int round = 0; round < 6; ++round) {
        login_->probeSessions();
        const QString probe = client.receiveText();
        ASSERT_TRUE(probe.startsWith(QStringLiteral("TestLogin|"))) << probe.toStdString();
        client.sendText(probe);  // the client echoes "TestLogin|" + the value
        ASSERT_TRUE(
            waitUntil([&] { return sessions_.find(QStringLiteral("demo"))->unanswered == 0; }));
    }
    EXPECT_TRUE(sessions_.isSignedIn(QStringLiteral("demo")));
}

TEST_F(LoginServerTest, SilentSessionIsDroppedAfterThreeUnansweredProbes) {
    UdpClient client(login_->port());
    signIn(client, "demo");
    QStringList values;
    for (int round = 0; round < 3; ++round) {
        login_->probeSessions();
        values << client.receiveText();
        EXPECT_TRUE(sessions_.isSignedIn(QStringLiteral("demo")));
    }
    EXPECT_EQ(values.removeDuplicates(), 0);  // a fresh value every time
    login_->probeSessions();
    EXPECT_FALSE(sessions_.isSignedIn(QStringLiteral("demo")));
    EXPECT_TRUE(logged(QStringLiteral("session demo dropped")));
}

TEST_F(LoginServerTest, EchoOfAnotherValueOrFromAnotherPortDoesNotCount) {
    UdpClient client(login_->port());
    UdpClient stranger(login_->port());
    signIn(client, "demo");
    login_->probeSessions();
    const QString probe = client.receiveText();
    client.sendText(QStringLiteral("TestLogin|12345"));
    stranger.sendText(probe);
    ASSERT_TRUE(waitUntil([&] { return login_->ignoredDatagrams() == 2; }));
    EXPECT_TRUE(logged(QStringLiteral("never sent")));
    EXPECT_EQ(sessions_.find(QStringLiteral("demo"))->unanswered, 1);
    // An echo of an older, still outstanding value counts.
    login_->probeSessions();
    client.receiveText();
    client.sendText(probe);
    EXPECT_TRUE(waitUntil([&] { return sessions_.find(QStringLiteral("demo"))->unanswered == 0; }));
}

class MalformedDatagrams : public LoginServerTest,
                           public ::testing::WithParamInterface<QByteArray> {};

// Ignored without an answer: the valid login sent after it is answered first, and by
// then the bad datagram (read in order before it) has been counted.
TEST_P(MalformedDatagrams, AreIgnoredAndTheServerStillAnswers) {
    UdpClient client(login_->port());
    client.send(GetParam());
    signIn(client, "demo");
    EXPECT_EQ(login_->ignoredDatagrams(), 1u);
    EXPECT_TRUE(logged(QStringLiteral("udp ignored from 127.0.0.1:%1").arg(client.port())));
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, MalformedDatagrams,
    ::testing::Values(QByteArray(), QByteArray("Hello|world"), QByteArray("login|demo|x|10.09"),
                      QByteArray("Login"), QByteArray("Login|demo"),
                      QByteArray("Login|demo|900150983CD24FB0D6963F7D28E17F72"),
                      QByteArray("TestLogin"), QByteArray("\xFF\xFE|\x80\x81"),
                      QByteArray("Login|\xD5|x|10.09"), QByteArray(1025, 'A'),
                      QByteArray("LoginOk|demo")));

TEST(LogThrottle, ShowsTheFirstEventOfAnIntervalAndSumsUpTheRest) {
    using namespace std::chrono_literals;
    LogThrottle throttle(10s);
    const LogThrottle::TimePoint t0{};
    EXPECT_TRUE(throttle.record(t0, "a", false).showInFull);
    EXPECT_FALSE(throttle.record(t0 + 1s, "b", true).showInFull);
    EXPECT_FALSE(throttle.record(t0 + 10s - 1ns, "a", false).showInFull);
    EXPECT_FALSE(throttle.flush(t0 + 10s - 1ns));
    // An event at the end of the interval closes it and opens the next one.
    const auto next = throttle.record(t0 + 10s, "c", false);
    EXPECT_TRUE(next.showInFull);
    ASSERT_TRUE(next.ended);
    EXPECT_EQ(next.ended->events, 3u);
    EXPECT_EQ(next.ended->flagged, 1u);
    EXPECT_EQ(next.ended->senders, 2u);
    EXPECT_FALSE(next.ended->moreSenders);
    // That interval's only event was shown: nothing to sum up.
    EXPECT_FALSE(throttle.flush(t0 + 20s));
    EXPECT_FALSE(throttle.intervalEnd());
    // Events further apart than the interval are each shown.
    for (int i = 0; i < 3; ++i) {
        const auto outcome = throttle.record(t0 + 30s + i * 11s, "a", false);
        EXPECT_TRUE(outcome.showInFull);
        EXPECT_FALSE(outcome.ended);
    }
    // Senders are counted up to a limit.
    for (std::size_t i = 0; i <= LogThrottle::kMaxSenders; ++i) {
        throttle.record(t0 + 100s, std::to_string(i), false);
    }
    const auto many = throttle.flush(t0 + 110s);
    ASSERT_TRUE(many);
    EXPECT_EQ(many->events, LogThrottle::kMaxSenders + 1);
    EXPECT_EQ(many->senders, LogThrottle::kMaxSenders);
    EXPECT_TRUE(many->moreSenders);
}

// A flood of junk costs two log lines an interval (the first datagram in full, then a
// count), while what the server handles is still logged line by line.
TEST_F(LoginServerTest, FloodOfIgnoredDatagramsIsLoggedAsACount) {
    LogThrottle::TimePoint now{};
    login_->setClock([&] { return now; });
    std::vector<std::unique_ptr<UdpClient>> senders;
    for (int i = 0; i < 3; ++i) {
        senders.push_back(std::make_unique<UdpClient>(login_->port()));
    }
    const struct {
        QByteArray bytes;
        bool malformed;
    } junk[] = {{QByteArray(), false},         {"Hello|world", false},
                {"Login|demo", true},          {"\xFF\xFE|\x80", true},
                {QByteArray(1025, 'A'), true}, {"TestLogin|123456789", false}};
    constexpr int kTotal = 10000;
    int malformed = 0;
    for (int sent = 0; sent < kTotal;) {
        // In batches the socket's receive buffer holds, so that none is dropped.
        for (int k = 0; k < 50 && sent < kTotal; ++k, ++sent) {
            const auto& datagram = junk[sent % std::size(junk)];
            senders[sent % senders.size()]->send(datagram.bytes);
            malformed += datagram.malformed ? 1 : 0;
        }
        ASSERT_TRUE(waitUntil([&] { return login_->ignoredDatagrams() == quint64(sent); }));
    }
    UdpClient client(login_->port());
    signIn(client, "demo");
    now += kIgnoredLogInterval;
    login_->flushIgnoredLog();

    EXPECT_LE(log_.size(), 6) << log_.join(u'\n').left(2000).toStdString();
    EXPECT_EQ(log_.filter(QStringLiteral("ignored")).size(), 2);
    EXPECT_TRUE(logged(
        QStringLiteral("udp ignored from 127.0.0.1:%1: empty datagram").arg(senders[0]->port())));
    EXPECT_TRUE(logged(QStringLiteral("udp: ignored %1 datagrams (%2 malformed) in the last 10 s "
                                      "from 3 senders")
                           .arg(kTotal)
                           .arg(malformed)));
    EXPECT_TRUE(logged(QStringLiteral("udp <- 127.0.0.1:%1 Login|demo|%2|10.09")
                           .arg(client.port())
                           .arg(kAbcDigest)));
    EXPECT_TRUE(logged(QStringLiteral("udp -> 127.0.0.1:%1 LoginOk|demo").arg(client.port())));
}

TEST_F(LoginServerTest, DatagramOfExactlyOneKibibyteIsStillRead) {
    UdpClient client(login_->port());
    QByteArray datagram = loginDatagram(QByteArray(1024 - 45, 'n'));
    ASSERT_EQ(datagram.size(), 1024);
    client.send(datagram);
    EXPECT_EQ(client.receiveText(), QStringLiteral("Err|Password"));
    EXPECT_EQ(login_->ignoredDatagrams(), 0u);
}

TEST_F(LoginServerTest, GbkNameRoundTrip) {
    ASSERT_EQ(store_->addAccount("张三", kAbcDigest), AccountStore::AddResult::Added);
    UdpClient client(login_->port());
    client.send("Login|\xD5\xC5\xC8\xFD|900150983CD24FB0D6963F7D28E17F72|10.09");
    const auto answer = client.receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, QByteArray("LoginOk|\xD5\xC5\xC8\xFD"));
    EXPECT_TRUE(sessions_.isSignedIn(QStringLiteral("张三")));
    EXPECT_TRUE(logged(QStringLiteral("Login|张三|")));
}

TEST_F(LoginServerTest, PushedMessageReachesEverySession) {
    ASSERT_EQ(store_->addAccount("张三", kAbcDigest), AccountStore::AddResult::Added);
    UdpClient a(login_->port());
    UdpClient b(login_->port());
    signIn(a, "demo");
    signIn(b, "\xD5\xC5\xC8\xFD");
    OperatorConsole console(*login_, *store_, sessions_, [](const QString&) {});
    EXPECT_EQ(console.execute(QStringLiteral("push 收盘提示|今日沪指收涨")),
              QStringLiteral("message 1 stored and sent to 2 session(s)"));
    EXPECT_EQ(a.receiveText(), QStringLiteral("Msg|收盘提示|1"));
    EXPECT_EQ(b.receiveText(), QStringLiteral("Msg|收盘提示|1"));
    const auto stored = store_->message(1);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->body, "今日沪指收涨");
}

TEST_F(LoginServerTest, PushedTitleIsSentVerbatim) {
    UdpClient client(login_->port());
    signIn(client, "demo");
    OperatorConsole console(*login_, *store_, sessions_, [](const QString&) {});
    console.execute(QStringLiteral("push 涨幅%1超过5%|%2"));
    EXPECT_EQ(client.receiveText(), QStringLiteral("Msg|涨幅%1超过5%|1"));
    EXPECT_EQ(store_->message(1)->body, "%2");
}

TEST_F(LoginServerTest, ConsoleBlockEndsTheSessionWithStyle) {
    UdpClient client(login_->port());
    signIn(client, "demo");
    OperatorConsole console(*login_, *store_, sessions_, [](const QString&) {});
    EXPECT_EQ(console.execute(QStringLiteral("block demo")),
              QStringLiteral("account \"demo\" blocked; its session was ended"));
    EXPECT_EQ(client.receiveText(), QStringLiteral("Err|Style"));
    EXPECT_FALSE(sessions_.isSignedIn(QStringLiteral("demo")));
    client.send(loginDatagram("demo"));
    EXPECT_EQ(client.receiveText(), QStringLiteral("Err|Style"));
    console.execute(QStringLiteral("unblock demo"));
    signIn(client, "demo");
}

struct ConsoleCase {
    const char* line;
    const char* reply;
};

std::ostream& operator<<(std::ostream& os, const ConsoleCase& c) {
    return os << '"' << c.line << '"';
}

class ConsoleCommands : public LoginServerTest,
                        public ::testing::WithParamInterface<ConsoleCase> {};

TEST_P(ConsoleCommands, RefuseBadInputClearly) {
    OperatorConsole console(*login_, *store_, sessions_, [](const QString&) {});
    EXPECT_EQ(console.execute(QString::fromUtf8(GetParam().line)),
              QString::fromUtf8(GetParam().reply));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConsoleCommands,
    ::testing::Values(ConsoleCase{"", ""}, ConsoleCase{"   \r", ""},
                      ConsoleCase{"sessions", "no session"},
                      ConsoleCase{"push", "usage: push <title>|<body>"},
                      ConsoleCase{"push  |body only", "usage: push <title>|<body>"},
                      ConsoleCase{"push \xF0\x9F\x98\x80|x",
                                  "push refused: the title has characters without a GBK code"},
                      ConsoleCase{"block", "usage: block <name>"},
                      ConsoleCase{"block nobody", "block failed: no account named nobody"},
                      ConsoleCase{"frobnicate now", "unknown command \"frobnicate\"; type help"}));

TEST_F(LoginServerTest, ConsoleQuitAsksToStop) {
    OperatorConsole console(*login_, *store_, sessions_, [](const QString&) {});
    bool asked = false;
    QObject::connect(&console, &OperatorConsole::quitRequested, [&] { asked = true; });
    console.execute(QStringLiteral("quit"));
    EXPECT_TRUE(asked);
}

}  // namespace
}  // namespace tallyro::service::test
