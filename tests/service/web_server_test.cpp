// The web server over real loopback connections.
#include <QThread>

#include <algorithm>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "credentials.h"
#include "resident_memory.h"
#include "service_fixture.h"

namespace tallyro::service::test {
namespace {

class WebServerTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        UdpClient client(login_->port());
        signIn(client, "demo");
    }

    // The answer fields as the client reads them: the Location decoded, cut after "?".
    static QStringList answerFields(const HttpReply& reply, const char* page) {
        const QByteArray location = reply.header("location");
        const QByteArray prefix = QByteArray("/") + page + "?";
        EXPECT_TRUE(location.startsWith(prefix)) << location.toStdString();
        return QString::fromUtf8(QByteArray::fromPercentEncoding(location.mid(prefix.size())))
            .split(u'|');
    }
    HttpReply registration(const QByteArray& body) {
        return httpRequest(webPort_, "/Reg.asp", "POST", body, "application/x-www-form-urlencoded");
    }
    void setPackage(const std::string& bytes) {
        writeFileBytes(dir_ / "Qelvix.exe", bytes);
        web_->setPackagePath(QString::fromStdString((dir_ / "Qelvix.exe").string()));
    }
};

TEST_F(WebServerTest, AnalysisRequestsRedirectToTheAnswerOrItsErrorCode) {
    const HttpReply reply = get("/RequestGpInfo.asp?GpID=sh600000&UserID=demo&PgRun=-48213");
    ASSERT_EQ(reply.status, 302);
    const QStringList f = answerFields(reply, "SendGpInfo.asp");
    ASSERT_EQ(f.size(), 9);
    // Levels of the hand-made series: swing high 12.00 and swing low 9.00 around 10.00.
    EXPECT_EQ(f.mid(0, 8).join(u'|'),
              QStringLiteral("浦发银行|2026-12-06|14:35:02|12.00|20.00|10.00|9.00|10.00"));
    EXPECT_FALSE(f[8].contains(QStringLiteral("演示数据")));
    // The header is a valid URI reference: printable ASCII, no raw "|", "<" or space.
    for (const char c : reply.header("location"))
        EXPECT_TRUE(c > ' ' && c < 0x7F && c != '|' && c != '<') << c;
    EXPECT_EQ(reply.header("cache-control"), "no-store");
    const HttpReply page = get(reply.header("location"));
    EXPECT_TRUE(page.status == 200 && page.body.contains("12.00"));

    // Without a session index requests too get the stock error answer, which explains itself.
    const std::pair<QByteArray, QByteArray> errors[] = {
        {"/RequestGpInfo.asp?GpID=sh999999&UserID=demo", "/SendGpInfo.asp?ErrGpID"},
        {"/RequestGpInfo.asp?GpID=sh000001&UserID=demo", "/SendGpInfo.asp?ErrGpID"},
        {"/RequestGpInfo.asp?GpID=%2E%2E%2Fetc&UserID=demo", "/SendGpInfo.asp?ErrGpID"},
        {"/RequestGpInfo.asp?GpID=sh600519&UserID=demo", "/SendGpInfo.asp?ErrGpMoney"},
        {"/RequestDaPan.asp?DaPan=s_sh600000&UserID=demo", "/SendDaPan.asp?ErrGpID"},
        {"/RequestGpInfo.asp?GpID=sh600000&UserID=Demo", kSignedOutAnswer},
        {"/RequestGpInfo.asp?GpID=sh600000", kSignedOutAnswer},
        {"/RequestGpInfo.asp?", kSignedOutAnswer},
        {"/RequestDaPan.asp?DaPan=s_sh000001&UserID=nobody", kSignedOutAnswer},
        {"/RequestGpInfo.asp?GpID=sh600000&UserID=locked", kSignedOutAnswer},
    };
    for (const auto& [request, answer] : errors) {
        const HttpReply e = get(request + "&PgRun=1");
        EXPECT_EQ(QByteArray::number(e.status) + ' ' + e.header("location"), "302 " + answer);
    }
    EXPECT_TRUE(QByteArray(kSignedOutAnswer).startsWith("/SendG") &&
                QByteArray(kSignedOutAnswer).endsWith("?ErrGpMoney"));
    EXPECT_TRUE(
        QString::fromUtf8(get(kSignedOutAnswer).body).contains(QStringLiteral("没有在客户端登录")));

    // A suspended stock has an empty pressure percentage and every other field.
    const QStringList s = answerFields(get("/RequestGpInfo.asp?GpID=sh600090&UserID=demo&PgRun=-1"),
                                       "SendGpInfo.asp");
    EXPECT_TRUE(s.size() == 9 && s.count(QString()) == 1 && s[4].isEmpty())
        << s.join(u'|').toStdString();

    const QStringList g = answerFields(
        get("/RequestDaPan.asp?DaPan=s_sh000002&UserID=demo&PgRun=-9"), "SendDaPan.asp");
    EXPECT_TRUE(g.size() == 9 && g[0] == QStringLiteral("上证A股指数") && g[6].toDouble() > 0)
        << g.join(u'|').toStdString();

    EXPECT_TRUE(logged(QStringLiteral("refused: locked is not signed in")));
}

TEST_F(WebServerTest, NamesWithAmpersandSpaceOrChineseAreFound) {
    // A client may encode "&", "#", "%", "+" and space; a raw "+" is a plus. Chinese names
    // come as UTF-8 from Qt or as GBK from a Chinese IE.
    for (const auto& [account, queryName] :
         {std::pair<const char*, QByteArray>{"a&b c", "a&b%20c"}, {"g+h", "g+h"},
          {"a&b#c%d+e f", "a%26b%23c%25d%2Be%20f"}, {"张三", "%E5%BC%A0%E4%B8%89"},
          {"李四", "%C0%EE%CB%C4"}}) {
        ASSERT_EQ(store_->addAccount(account, kAbcDigest), AccountStore::AddResult::Added);
        UdpClient client(login_->port());
        signIn(client, QByteArray::fromStdString(utf8ToGbk(account).value()));
        EXPECT_TRUE(get("/RequestGpInfo.asp?GpID=sh600000&UserID=" + queryName + "&PgRun=-2")
                        .header("location")
                        .startsWith("/SendGpInfo.asp?"))
            << account;
    }
    EXPECT_TRUE(logged(QStringLiteral("Login|a&b c|")));  // a space is no control character
}

TEST_F(WebServerTest, RegistrationCreatesAccountsThatCanSignInOrSaysWhyNot) {
    EXPECT_TRUE(QString::fromUtf8(
                    registration("name=%E6%9D%8E%E5%9B%9B&password=abcabc&password2=abcabc").body)
                    .contains(QStringLiteral("注册成功")));
    UdpClient client(login_->port());
    client.send("Login|\xC0\xEE\xCB\xC4|" + passwordDigest(QStringLiteral("abcabc"))->toLatin1() +
                "|10.09");
    EXPECT_EQ(client.receive(), "LoginOk|\xC0\xEE\xCB\xC4");
    // Twenty characters are the most a name may have, six the fewest a password may.
    const QByteArray twenty = "一二三四五六七八九十abcdefghij";
    EXPECT_EQ(registration("name=" + twenty.toPercentEncoding() + "&password=abcdef").status, 200);
    EXPECT_TRUE(store_->find(twenty.toStdString()).account);
    const std::tuple<QByteArray, int, const char*> cases[] = {
        {"name=demo&password=secret&password2=secret", 409, "已经被注册"},
        {"password=secret&password2=secret", 400, "帐号不能为空"},
        {"name=a%7Cb&password=secret&password2=secret", 400, "不能包含“|”"},
        {"name=123456789012345678901&password=secret&password2=secret", 400, "最多20个字符"},
        {"name=ok&password=&password2=", 400, "密码不能为空"},
        {"name=ok&password=abcde&password2=abcde", 400, "密码至少6个字符"},
        {"name=ok&password=abcdef&password2=abcdeg", 400, "不一致"},
        {"name=ok&password=%F0%9F%98%80abcdef&password2=%F0%9F%98%80abcdef", 400, "GBK"},
        {"name=%0Aok&password=secret&password2=secret", 400, "控制字符"},
        {"name=x&password=" + QByteArray(kMaxFormBytes, 'p'), 413, ""},
    };
    for (const auto& [body, status, message] : cases) {
        const HttpReply reply = registration(body);
        EXPECT_EQ(reply.status, status) << body.left(80).toStdString();
        EXPECT_TRUE(QString::fromUtf8(reply.body).contains(QString::fromUtf8(message)));
    }
    EXPECT_EQ(store_->accounts().size(), 4u);
}

TEST_F(WebServerTest, PlainPagesPackageAndRefusedRequests) {
    for (const char* target : {"/", "/ad.asp", "/Question.asp", "/Reg.asp", "/BusinessRePass.asp",
                               "/question.ASP", "/SendGpInfo.asp?ErrGpID", "/SendDaPan.asp?x"}) {
        const HttpReply reply = get(target);
        EXPECT_EQ(reply.status, 200) << target;
        EXPECT_EQ(reply.header("content-type"), "text/html; charset=utf-8") << target;
        EXPECT_TRUE(reply.body.startsWith("<!DOCTYPE html>")) << target;
    }
    // Stock picking lists the watch list with its levels; 平安银行 has no bars file.
    const QString picks = QString::fromUtf8(get("/Computer.asp").body);
    for (const char* text : {"浦发银行", "平安银行", ">12.00<", "演示数据"})
        EXPECT_TRUE(picks.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(std::tuple(get("/nothing.asp").status, get("/Qelvix.exe").status,
                         httpRequest(webPort_, "/Question.asp", "POST", "x=1").status,
                         httpRequest(webPort_, "/Reg.asp", "DELETE").status),
              std::tuple(404, 404, 405, 405));
    const QByteArray bytes("MZ\x90\x00\x03 fake package", 19);
    setPackage(bytes.toStdString());
    const HttpReply reply = get("/Qelvix.exe");
    EXPECT_EQ(std::pair(reply.header("content-type"), reply.body),
              std::pair(QByteArray("application/octet-stream"), bytes));
}

// Keep-alive by default; closed when asked, on HTTP/1.0, on a refusal, when idle or late.
TEST_F(WebServerTest, ConnectionsCloseWhenAskedRefusedOrLate) {
    // Long enough that a busy machine answers the complete requests well within it.
    web_->setLimits({.timeout = std::chrono::milliseconds(1000)});
    // Each refusal in an interval of its own, so that each is logged in full.
    LogThrottle::TimePoint now{};
    web_->http().setClock([&] { return now += std::chrono::seconds(10); });
    Connection kept(webPort_);
    kept.socket.write("GET /ad.asp HTTP/1.1\r\nHost: x\r\n\r\nGET /none HTTP/1.1\r\n\r\n");
    EXPECT_EQ(kept.answers(2), QList<int>({200, 404}));
    EXPECT_FALSE(kept.in.contains("Connection: close"));
    EXPECT_TRUE(kept.waitClosed());  // idle past the limit
    // Each with the status it gets and why a refusal is logged.
    const std::tuple<QByteArray, int, const char*> closing[] = {
        {"GET / HTTP/1.1\r\nConnection: close\r\n\r\nGET / HTTP/1.1\r\n\r\n", 200, ""},
        {"GET / HTTP/1.0\r\n\r\n", 200, ""},
        {"GET / HTTP/1.1\r\nHost: " + QByteArray(9000, 'h') + "\r\n\r\n", 431,
         "header fields beyond 8192 bytes or 100 lines"},
        {"GET /" + QByteArray(9000, 'p') + " HTTP/1.1\r\n\r\n", 414,
         "request line longer than 8192 bytes"},
        {"POST /Reg.asp HTTP/1.1\r\nContent-Length: 268435456\r\n\r\nname=", 413,
         "declared body longer than 16384 bytes"},
        {"POST /Reg.asp HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 411,
         "body without a stated length"},
        {"GET / HTT", 408, "request not complete within 1000 ms"},
        {"POST /Reg.asp HTTP/1.1\r\nContent-Length: 10\r\n\r\nname", 408, ""},
    };
    for (const auto& [request, status, why] : closing) {
        Connection c(webPort_);
        c.socket.write(request);
        EXPECT_EQ(c.answers(2), QList<int>{status}) << request.left(40).toStdString();
        EXPECT_TRUE(c.waitClosed() && c.in.contains("\r\nConnection: close\r\n"));
        const QString line = QStringLiteral("http refused from 127.0.0.1: %1 %2").arg(status);
        EXPECT_TRUE(!*why || logged(line.arg(QLatin1String(why)))) << why;
    }
    EXPECT_EQ(web_->http().refusedRequests(), 6u);
    // A body that announces itself waits for the go-ahead.
    Connection expecting(webPort_);
    expecting.socket.write(
        "POST /Reg.asp HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 5\r\n\r\n");
    EXPECT_TRUE(waitUntil([&] { return expecting.in == "HTTP/1.1 100 Continue\r\n\r\n"; }));
}

// A slow reader of a large answer is closed within four time limits, though pieces move.
TEST_F(WebServerTest, ASlowReaderIsClosedAtLast) {
    web_->setLimits({.timeout = std::chrono::milliseconds(250)});
    setPackage(std::string(64 << 20, 'x'));
    QTcpSocket socket;
    socket.setReadBufferSize(64 * 1024);
    socket.connectToHost(QHostAddress::LocalHost, webPort_);
    ASSERT_TRUE(socket.waitForConnected(10000));
    socket.write("GET /Qelvix.exe HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(waitUntil([&] { return socket.bytesAvailable() > 0; }));
    ASSERT_EQ(web_->http().openConnections(), 1);
    qint64 received = 0;
    EXPECT_TRUE(waitUntil(
        [&] {
            received += socket.read(64 * 1024).size();
            QThread::msleep(5);  // some 10 MB a second: each piece moves the answer on
            return web_->http().openConnections() == 0;
        },
        20000));
    EXPECT_LT(received, 48 << 20);
}

// Idle connections of one address take its share only; refusals log the limit that hit.
TEST_F(WebServerTest, ConnectionCapsKeepRoomForOthers) {
    web_->setLimits({.connections = 6, .connectionsPerAddress = 4});
    std::vector<std::unique_ptr<Connection>> idle;
    for (int i = 0; i < 12; ++i)
        idle.push_back(std::make_unique<Connection>(webPort_));
    const auto refused = [&] {
        return std::count_if(idle.begin(), idle.end(), [](const auto& c) { return c->closed; });
    };
    ASSERT_TRUE(waitUntil([&] { return refused() == 8; }));
    EXPECT_TRUE(idle.back()->in.startsWith("HTTP/1.1 503 Service Unavailable\r\n"));
    EXPECT_EQ(web_->http().openConnections(), 4);
    const QHostAddress other(QStringLiteral("127.0.0.2"));
    Connection first(webPort_, other);
    Connection second(webPort_, other);
    first.socket.write("GET /ad.asp HTTP/1.1\r\n\r\n");
    EXPECT_EQ(first.answers(1), QList<int>{200});
    // The seventh in all: the oldest connection still without a request gives way,
    // not the one that was served.
    Connection third(webPort_, other);
    third.socket.write("GET /ad.asp HTTP/1.1\r\n\r\n");
    EXPECT_EQ(third.answers(1), QList<int>{200});
    ASSERT_TRUE(waitUntil([&] { return refused() == 9; }));
    first.socket.write("GET /ad.asp HTTP/1.1\r\n\r\n");
    EXPECT_EQ(first.answers(2), (QList<int>{200, 200}));
    EXPECT_TRUE(logged(QStringLiteral("http refused from 127.0.0.1: connection refused: this "
                                      "address holds 4 connections, the most one address may")));
    EXPECT_EQ(web_->http().refusedConnections(), 9u);
}

// Nothing in a request starts a line of the log or reaches it unescaped.
TEST_F(WebServerTest, RequestsCannotForgeLogLines) {
    EXPECT_EQ(get("/x%0a12:00:00.000%20session%20admin%20signed%20in%20from%201.2.3.4:1%1B[2J?q=%0d%C2%85").status, 404);
    get("/" + QByteArray(1000, 'a'));
    // A backslash sent as text cannot pass for an escape.
    get("/y%5Cx0a");
    EXPECT_TRUE(logged(QStringLiteral("http GET /y\\x5cx0a -> 404")));
    for (const QString& line : log_)
        EXPECT_FALSE(line.contains(u'\n') || line.contains(u'\r') || line.contains(QChar(0x1b)) ||
                     line.contains(QChar(0x85)));
    EXPECT_TRUE(logged(QStringLiteral("http GET /x\\x0a12:00:00.000 session admin signed in "
                                      "from 1.2.3.4:1\\x1b[2J?q=%0D\\x85 -> 404")));
    EXPECT_TRUE(logged(QStringLiteral("a... (1001 characters) -> 404")));
}

// Bytes it does not understand, each over a connection of its own: it stays up and flat.
TEST_F(WebServerTest, ThousandMalformedRequestsLeaveItUpAndItsMemoryFlat) {
    std::mt19937 random(20261206);
    QByteArray noise(512, 0);
    std::generate(noise.begin(), noise.end(), [&] { return static_cast<char>(random()); });
    const QByteArray post = "POST /Reg.asp HTTP/1.1\r\nHost: x\r\n";
    const QList<QByteArray> malformed{
        "\r\n\r\n", "GARBAGE\r\n\r\n", "GET / HTTP/1.1\r\nHost\r\n\r\n", "GET / HTT", noise,
        "GET /%zz%%%00%u4e2d HTTP/1.1\r\nHost: x\r\n\r\n",
        "GET /RequestGpInfo.asp?%ff%fe=%c0%af&&&== HTTP/1.1\r\nHost: x\r\n\r\n",
        QByteArray("GET /\0/ HTTP/1.1\r\nHost: \0\r\n\r\n", 29),
        post + "Content-Length: -5\r\n\r\n", post + "Content-Length: 100\r\n\r\nshort",
        post + "Content-Length: 99999999999999999999\r\n\r\n",
        post + "Transfer-Encoding: chunked\r\n\r\nZZ\r\nxx\r\n0\r\n\r\n",
        "GET / HTTP/1.1\r\nX: " + QByteArray(16 * 1024, 'a') + "\r\n\r\n",
        "GET /" + QByteArray(10 * 1024, '/') + " HTTP/1.1\r\n\r\n"};
    // Waits until the server has answered, dropped the connection or taken everything.
    const auto send = [&](const QByteArray& bytes) {
        Connection c(webPort_);
        c.socket.write(bytes);
        waitUntil([&] {
            return !c.in.isEmpty() || c.closed ||
                   (c.socket.state() == QAbstractSocket::ConnectedState &&
                    c.socket.bytesToWrite() == 0);
        });
        c.socket.abort();
        log_.clear();  // the service writes its log out; the fixture would keep it
    };
    for (int i = 0; i < 100; ++i)  // the server's buffers and caches reach their size
        send(malformed[i % malformed.size()]);
    waitUntil([] { return false; }, 100);
    const auto before = tallyro::test::residentBytes();
    for (int i = 0; i < 1000; ++i) {
        send(malformed[i % malformed.size()]);
        if (i % 250 == 249) {
            ASSERT_EQ(get("/ad.asp").status, 200) << "after " << i + 1;
        }
    }
    waitUntil([] { return false; }, 100);
    if (tallyro::test::kMemoryIsMeasurable) {
        EXPECT_LT(tallyro::test::residentBytes() - before, 2 * tallyro::test::kMiB);
    }
    EXPECT_EQ(
        answerFields(get("/RequestGpInfo.asp?GpID=sh600000&UserID=demo&PgRun=1"), "SendGpInfo.asp")
            .size(),
        9);
}

}  // namespace
}  // namespace tallyro::service::test
