// The hidden analysis browser against a local HTTP server on a loopback socket:
// the address it reports after the service's redirect, the decoding of that
// address, abandoned and refused navigations, and the finished-navigation call.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "qt/analysis_browser.h"

namespace tallyro::qt {
namespace {

// Runs the event loop until `done` holds or five seconds have passed.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// A minimal HTTP/1.1 server that answers from a table of raw responses keyed by
// the request target, so header bytes reach the client exactly as written.
// Targets marked as held get no answer; any other target gets a small page.
class RawHttpServer {
public:
    RawHttpServer() {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { accept(); });
        if (!server_.listen(QHostAddress::LocalHost, 0))
            ADD_FAILURE() << "cannot listen";
    }

    std::string base() const { return "http://127.0.0.1:" + std::to_string(server_.serverPort()); }

    void redirect(const std::string& target, const QByteArray& location) {
        responses_[target] = "HTTP/1.1 302 Found\r\nLocation: " + location +
                             "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }
    void page(const std::string& target, int status) { responses_[target] = defaultPage(status); }

    void hold(const std::string& target) { holds_.push_back(target); }

    // Request targets in arrival order, as they came over the wire.
    const std::vector<std::string>& targets() const { return targets_; }
    // Connections whose request is held, by target.
    QTcpSocket* held(const std::string& target) const {
        const auto it = held_.find(target);
        return it == held_.end() ? nullptr : it->second.data();
    }

private:
    static QByteArray defaultPage(int status = 200) {
        const QByteArray body = "<html><body>page</body></html>";
        return "HTTP/1.1 " + QByteArray::number(status) +
               " X\r\nContent-Type: text/html\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }

    void accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket] { read(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }
    void read(QTcpSocket* socket) {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        buffers_.erase(socket);
        const std::string target = requestLine.size() > 1 ? requestLine[1].toStdString() : "";
        targets_.push_back(target);
        if (std::find(holds_.begin(), holds_.end(), target) != holds_.end()) {
            held_[target] = socket;
            return;
        }
        const auto it = responses_.find(target);
        socket->write(it != responses_.end() ? it->second : defaultPage());
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    std::map<std::string, QByteArray> responses_;
    std::map<QTcpSocket*, QByteArray> buffers_;
    std::map<std::string, QPointer<QTcpSocket>> held_;
    std::vector<std::string> targets_;
    std::vector<std::string> holds_;
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
        return waitFor([&] { return navigated >= count; });
    }

    RawHttpServer server;
    QtAnalysisBrowser browser;
    int navigated = 0;
    std::string reported;  // the address the last navigation ended on
};

TEST_F(AnalysisBrowserTest, NoDocumentBeforeTheFirstNavigation) {
    EXPECT_EQ(browser.documentAddress(), "");
}

TEST_F(AnalysisBrowserTest, RedirectedAnswerIsReportedAsABrowserShowsIt) {
    // Percent-encoded and raw UTF-8, the field separator and the paragraph marks.
    server.redirect(
        "/RequestGpInfo.asp?GpID=sh600000&UserID=trader&PgRun=-5",
        "/SendGpInfo.asp?%E6%B5%A6%E5%8F%91%E9%93%B6%E8%A1%8C|2024-01-02|14:30|10.50|3.2|10.17|"
        "9.80|3.6|\xE6\x8C\x81\xE6\x9C\x89<br><br>%E8%A7%82%E6%9C%9B");
    browser.navigate(server.base() + "/RequestGpInfo.asp?GpID=sh600000&UserID=trader&PgRun=-5");
    EXPECT_EQ(browser.documentAddress(), "");  // nothing shown until the load finishes
    ASSERT_TRUE(waitNavigated(1));
    EXPECT_EQ(
        browser.documentAddress(),
        server.base() +
            "/SendGpInfo.asp?浦发银行|2024-01-02|14:30|10.50|3.2|10.17|9.80|3.6|持有<br><br>观望");
    EXPECT_EQ(navigated, 1);
}

TEST_F(AnalysisBrowserTest, RawSeparatorsInTheAnswerArriveTheSameWay) {
    server.redirect("/RequestDaPan.asp?DaPan=s_sh000001&UserID=u&PgRun=1",
                    "/SendDaPan.asp?a|b<br><br>c");
    browser.navigate(server.base() + "/RequestDaPan.asp?DaPan=s_sh000001&UserID=u&PgRun=1");
    ASSERT_TRUE(waitNavigated(1));
    ASSERT_EQ(server.targets().size(), 2u);
    EXPECT_EQ(server.targets()[1], "/SendDaPan.asp?a%7Cb%3Cbr%3E%3Cbr%3Ec");
    EXPECT_EQ(browser.documentAddress(), server.base() + "/SendDaPan.asp?a|b<br><br>c");
}

TEST_F(AnalysisBrowserTest, GbkEncodedAnswerIsDecodedFromGbk) {
    // 浦发银行 in GBK, as a server on a Chinese system encodes it.
    server.redirect("/RequestGpInfo.asp?GpID=sh600000&UserID=u&PgRun=1",
                    "/SendGpInfo.asp?%C6%D6%B7%A2%D2%F8%D0%D0|1");
    browser.navigate(server.base() + "/RequestGpInfo.asp?GpID=sh600000&UserID=u&PgRun=1");
    ASSERT_TRUE(waitNavigated(1));
    EXPECT_EQ(browser.documentAddress(), server.base() + "/SendGpInfo.asp?浦发银行|1");
}

TEST_F(AnalysisBrowserTest, EscapesInTheRequestTravelAsTheyAre) {
    // A name "a&b#c%41d+e f" as the requests write it: no escape may be undone on
    // the way, or the service would read another name, or another query.
    const std::string query = "GpID=sh600000&UserID=a%26b%23c%2541d%2Be%20f&PgRun=-7";
    browser.navigate(server.base() + "/RequestGpInfo.asp?" + query);
    ASSERT_TRUE(waitNavigated(1));
    ASSERT_EQ(server.targets().size(), 1u);
    EXPECT_EQ(server.targets()[0], "/RequestGpInfo.asp?" + query);
}

TEST_F(AnalysisBrowserTest, TwoRedirectsStillReportOnce) {
    server.redirect("/RequestGpInfo.asp?x", "/hop");
    server.redirect("/hop", "/SendGpInfo.asp?ErrGpID");
    browser.navigate(server.base() + "/RequestGpInfo.asp?x");
    ASSERT_TRUE(waitNavigated(1));
    EXPECT_EQ(browser.documentAddress(), server.base() + "/SendGpInfo.asp?ErrGpID");
    EXPECT_EQ(server.targets().size(), 3u);
    EXPECT_EQ(navigated, 1);
}

TEST_F(AnalysisBrowserTest, ErrorPageIsShownLikeAnyOther) {
    server.page("/missing", 404);
    browser.navigate(server.base() + "/missing");
    ASSERT_TRUE(waitNavigated(1));
    EXPECT_EQ(browser.documentAddress(), server.base() + "/missing");
    EXPECT_EQ(reported, server.base() + "/missing");
}

TEST_F(AnalysisBrowserTest, BlankPageShowsAtOnce) {
    browser.navigate("about:blank");
    EXPECT_EQ(browser.documentAddress(), "about:blank");
    EXPECT_EQ(navigated, 1);
}

TEST_F(AnalysisBrowserTest, SecondNavigationAbandonsTheFirst) {
    server.redirect("/second", "/SendGpInfo.asp?second");
    server.hold("/first");
    browser.navigate(server.base() + "/first");
    ASSERT_TRUE(waitFor([&] { return server.held("/first") != nullptr; }));
    QPointer<QTcpSocket> first = server.held("/first");
    browser.navigate(server.base() + "/second");
    ASSERT_TRUE(waitNavigated(1));
    EXPECT_EQ(browser.documentAddress(), server.base() + "/SendGpInfo.asp?second");
    // The first request's connection is given up by the browser.
    ASSERT_TRUE(waitFor(
        [&] { return first.isNull() || first->state() != QAbstractSocket::ConnectedState; }));
    if (first) {
        first->write(
            "HTTP/1.1 302 Found\r\nLocation: /SendGpInfo.asp?first\r\nContent-Length: 0\r\n\r\n");
        first->flush();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(browser.documentAddress(), server.base() + "/SendGpInfo.asp?second");
    EXPECT_EQ(navigated, 1);
}

TEST_F(AnalysisBrowserTest, BlankPageAbandonsALoadUnderWay) {
    server.hold("/slow");
    browser.navigate(server.base() + "/slow");
    ASSERT_TRUE(waitFor([&] { return server.held("/slow") != nullptr; }));
    QPointer<QTcpSocket> slow = server.held("/slow");
    browser.navigate("about:blank");
    EXPECT_EQ(navigated, 1);
    ASSERT_TRUE(
        waitFor([&] { return slow.isNull() || slow->state() != QAbstractSocket::ConnectedState; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(browser.documentAddress(), "about:blank");
    EXPECT_EQ(navigated, 1);
}

// A hung server must not swallow the connections of abandoned loads: a browser
// keeps only a few per server, and a request after them would never go out.
TEST_F(AnalysisBrowserTest, AbandonedLoadsDoNotBlockTheNextRequest) {
    for (int i = 0; i < 8; ++i) {
        const std::string target = "/hung" + std::to_string(i);
        server.hold(target);
        browser.navigate(server.base() + target);
        ASSERT_TRUE(waitFor([&] { return server.held(target) != nullptr; })) << target;
    }
    server.redirect("/RequestGpInfo.asp?c", "/SendGpInfo.asp?ErrGpID");
    browser.navigate(server.base() + "/RequestGpInfo.asp?c");
    ASSERT_TRUE(waitNavigated(1));
    EXPECT_EQ(browser.documentAddress(), server.base() + "/SendGpInfo.asp?ErrGpID");
}

TEST_F(AnalysisBrowserTest, DestroyingTheBrowserMidLoadReportsNothing) {
    server.hold("/slow");
    auto doomed = std::make_unique<QtAnalysisBrowser>();
    int reports = 0;
    doomed->setNavigated([&](const std::string&) { ++reports; });
    doomed->navigate(server.base() + "/slow");
    ASSERT_TRUE(waitFor([&] { return server.held("/slow") != nullptr; }));
    doomed.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(reports, 0);
}

TEST_F(AnalysisBrowserTest, RefusedConnectionKeepsThePreviousDocument) {
    server.redirect("/RequestGpInfo.asp?a", "/SendGpInfo.asp?ErrGpMoney");
    browser.navigate(server.base() + "/RequestGpInfo.asp?a");
    ASSERT_TRUE(waitNavigated(1));
    const std::string previous = browser.documentAddress();

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
    EXPECT_EQ(browser.documentAddress(), previous);
    EXPECT_EQ(navigated, 2);
    // The report names the address that failed, so the wait for it can end.
    EXPECT_EQ(reported, refused);
}

TEST(DisplayAddressTest, DecodesEscapesAsUtf8OrElseGbk) {
    EXPECT_EQ(QtAnalysisBrowser::displayAddress(QUrl("http://h/S?%E4%B8%AD|a")), "http://h/S?中|a");
    EXPECT_EQ(QtAnalysisBrowser::displayAddress(QUrl("http://h/S?%D6%D0%7Ca")), "http://h/S?中|a");
    EXPECT_EQ(QtAnalysisBrowser::displayAddress(QUrl("http://h/S?a%3Cbr%3E")), "http://h/S?a<br>");
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
