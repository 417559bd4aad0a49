// The hidden analysis browser against a local HTTP server on a loopback socket:
// the address it reports after the service's redirect, the decoding of that
// address, abandoned and refused navigations, and the finished-navigation call.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "qt/analysis_browser.h"

namespace tallyro::qt {
namespace {

// A minimal HTTP/1.1 server that answers from a table of raw responses keyed by
// the request target, so header bytes reach the client exactly as written. A
// target with an empty response is held unanswered; "/missing" is not found, and
// any other target gets a small page.
class RawHttpServer {
public:
    RawHttpServer() {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { read(s); });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(server_.serverPort()); }
    void redirect(const std::string& target, const QByteArray& location) {
        responses[target] = "HTTP/1.1 302 Found\r\nLocation: " + location +
                            "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }

    std::map<std::string, QByteArray> responses;
    std::vector<std::string> targets;                  // as they came over the wire
    std::map<std::string, QPointer<QTcpSocket>> held;  // connections held, by target

private:
    void read(QTcpSocket* socket) {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const std::string target = buffer.split(' ').value(1).toStdString();
        buffers_.erase(socket);
        targets.push_back(target);
        if (!responses.count(target)) {
            responses[target] = "HTTP/1.1 " + QByteArray(target == "/missing" ? "404" : "200") +
                                " X\r\nContent-Length: 4\r\nConnection: close\r\n\r\npage";
        }
        if (responses[target].isEmpty()) {
            held[target] = socket;
            return;
        }
        socket->write(responses[target]);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    std::map<QTcpSocket*, QByteArray> buffers_;
};

class AnalysisBrowserTest : public ::testing::Test {
protected:
    AnalysisBrowserTest() {
        browser.setNavigated([this](const std::string& address) {
            ++navigated;
            reported = address;
        });
    }
    bool waitNavigated(int count) {
        return QTest::qWaitFor([&] { return navigated >= count; });
    }
    // Starts a load of `target` that the server holds, and waits until it is there.
    QPointer<QTcpSocket> holdLoad(const std::string& target) {
        server.responses[target] = "";
        browser.navigate(server.base() + target);
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.held[target] != nullptr; })) << target;
        return server.held[target];
    }
    static bool givenUp(const QPointer<QTcpSocket>& s) {
        return QTest::qWaitFor(
            [&] { return s.isNull() || s->state() != QAbstractSocket::ConnectedState; });
    }

    RawHttpServer server;
    QtAnalysisBrowser browser;
    int navigated = 0;
    std::string reported;  // the address the last navigation ended on
};

// Each answer comes through a chain of redirects to its last page.
TEST_F(AnalysisBrowserTest, LastPageIsReportedOnceAsABrowserShowsIt) {
    struct Case {
        std::vector<const char*> chain;  // the request, then the locations of redirects
        std::vector<std::string> wire;   // the request targets as the server read them
        const char* shown;
    };
    const Case cases[] = {
        // Percent-encoded and raw UTF-8, the field separator and the paragraph marks.
        {{"/RequestGpInfo.asp?GpID=sh600000&UserID=u&PgRun=-5",
          "/SendGpInfo.asp?%E6%B5%A6|2024-01-02|\xE6\x8C\x81<br><br>%E8%A7%82"},
         {"/RequestGpInfo.asp?GpID=sh600000&UserID=u&PgRun=-5",
          "/SendGpInfo.asp?%E6%B5%A6%7C2024-01-02%7C%E6%8C%81%3Cbr%3E%3Cbr%3E%E8%A7%82"},
         "/SendGpInfo.asp?浦|2024-01-02|持<br><br>观"},
        // 浦发 in GBK, as a server on a Chinese system encodes it.
        {{"/RequestGpInfo.asp?x", "/SendGpInfo.asp?%C6%D6%B7%A2|1"},
         {"/RequestGpInfo.asp?x", "/SendGpInfo.asp?%C6%D6%B7%A2%7C1"},
         "/SendGpInfo.asp?浦发|1"},
        // A name "a&b#c%41d+e f" as the requests write it: no escape may be undone on
        // the way, or the service would read another name, or another query.
        {{"/RequestGpInfo.asp?UserID=a%26b%23c%2541d%2Be%20f&PgRun=-7", "/hop",
          "/SendGpInfo.asp?ErrGpID"},
         {"/RequestGpInfo.asp?UserID=a%26b%23c%2541d%2Be%20f&PgRun=-7", "/hop",
          "/SendGpInfo.asp?ErrGpID"},
         "/SendGpInfo.asp?ErrGpID"},
        {{"/missing"}, {"/missing"}, "/missing"},  // an error page is shown like any other
    };
    for (const Case& c : cases) {
        RawHttpServer server;
        QtAnalysisBrowser browser;
        std::vector<std::string> reports;
        browser.setNavigated([&](const std::string& address) { reports.push_back(address); });
        for (std::size_t i = 0; i + 1 < c.chain.size(); ++i)
            server.redirect(c.wire[i], c.chain[i + 1]);
        browser.navigate(server.base() + c.chain[0]);
        EXPECT_EQ(browser.documentAddress(), "");  // nothing shown until the load finishes
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); })) << c.shown;
        QCoreApplication::processEvents();
        EXPECT_EQ(reports, std::vector<std::string>{server.base() + c.shown});
        EXPECT_EQ(browser.documentAddress(), server.base() + c.shown);
        EXPECT_EQ(server.targets, c.wire);
    }
}

TEST_F(AnalysisBrowserTest, BlankPageShowsAtOnceAbandoningALoadUnderWay) {
    QPointer<QTcpSocket> slow = holdLoad("/slow");
    browser.navigate("about:blank");
    EXPECT_EQ(browser.documentAddress(), "about:blank");
    EXPECT_EQ(navigated, 1);
    ASSERT_TRUE(givenUp(slow));
    QCoreApplication::processEvents();
    EXPECT_EQ(browser.documentAddress(), "about:blank");
    EXPECT_EQ(navigated, 1);
}

// A hung server must not swallow the connections of abandoned loads: a browser
// keeps only a few per server, and a request after them would never go out. An
// abandoned load's late answer is not heard.
TEST_F(AnalysisBrowserTest, AbandonedLoadsNeitherBlockTheNextRequestNorReport) {
    QPointer<QTcpSocket> first = holdLoad("/hung0");
    for (int i = 1; i < 8; ++i)
        holdLoad("/hung" + std::to_string(i));
    server.redirect("/RequestGpInfo.asp?c", "/SendGpInfo.asp?ErrGpID");
    browser.navigate(server.base() + "/RequestGpInfo.asp?c");
    ASSERT_TRUE(waitNavigated(1));
    EXPECT_EQ(browser.documentAddress(), server.base() + "/SendGpInfo.asp?ErrGpID");
    ASSERT_TRUE(givenUp(first));
    if (first) {
        first->write("HTTP/1.1 302 Found\r\nLocation: /late\r\nContent-Length: 0\r\n\r\n");
        first->flush();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(browser.documentAddress(), server.base() + "/SendGpInfo.asp?ErrGpID");
    EXPECT_EQ(navigated, 1);
}

TEST_F(AnalysisBrowserTest, DestroyingTheBrowserMidLoadReportsNothing) {
    server.responses["/slow"] = "";
    auto doomed = std::make_unique<QtAnalysisBrowser>();
    int reports = 0;
    doomed->setNavigated([&](const std::string&) { ++reports; });
    doomed->navigate(server.base() + "/slow");
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.held["/slow"] != nullptr; }));
    doomed.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(reports, 0);
}

TEST_F(AnalysisBrowserTest, RefusedConnectionKeepsThePreviousDocument) {
    server.redirect("/RequestGpInfo.asp?a", "/SendGpInfo.asp?ErrGpMoney");
    browser.navigate(server.base() + "/RequestGpInfo.asp?a");
    ASSERT_TRUE(waitNavigated(1));
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(closedPort) + "/RequestGpInfo.asp?b";
    browser.navigate(refused);
    ASSERT_TRUE(waitNavigated(2));
    EXPECT_EQ(browser.documentAddress(), server.base() + "/SendGpInfo.asp?ErrGpMoney");
    // The report names the address that failed, so the wait for it can end.
    EXPECT_EQ(reported, refused);
}

}  // namespace
}  // namespace tallyro::qt

int main(int argc, char** argv) {
    // Loopback requests must never go through a proxy set for the desktop.
    qputenv("no_proxy", "127.0.0.1,localhost");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
