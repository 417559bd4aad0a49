// The hidden analysis browser against a local HTTP server: the address it reports
// after the service's redirect, its decoding, and abandoned navigations. What it
// shares with the fake browser is held in tests/contract.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "qt/redirect_browser.h"

namespace tallyro::qt {
namespace {

// The browser against a minimal HTTP/1.1 server that answers from a table of raw
// responses keyed by the request target, so header bytes reach the client exactly
// as written. A target with an empty response is held unanswered; any other
// target gets a small page.
class RedirectBrowserTest : public ::testing::Test {
protected:
    RedirectBrowserTest() {
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { read(s); });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        base = "http://127.0.0.1:" + std::to_string(server.serverPort());
        browser->setNavigated([this](const std::string& address) { reports.push_back(address); });
    }
    void read(QTcpSocket* socket) {
        if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
            return;
        const std::string target = socket->readAll().split(' ').value(1).toStdString();
        targets.push_back(target);
        QByteArray& response = responses[target];
        if (response.isNull())  // not in the table
            response = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\npage";
        if (response.isEmpty())
            held[target] = socket;
        else
            socket->write(response), socket->disconnectFromHost();
    }
    void redirect(const std::string& target, const QByteArray& location) {
        responses[target] = "HTTP/1.1 302 Found\r\nLocation: " + location +
                            "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }
    bool waitReports(std::size_t n) {
        return QTest::qWaitFor([&] { return reports.size() >= n; });
    }
    // Starts a load of `target` that the server holds, and waits until it is there.
    QPointer<QTcpSocket> holdLoad(const std::string& target) {
        responses[target] = "";  // held
        browser->navigate(base + target);
        EXPECT_TRUE(QTest::qWaitFor([&] { return held[target] != nullptr; })) << target;
        return held[target];
    }
    static bool givenUp(const QPointer<QTcpSocket>& s) {
        return QTest::qWaitFor(
            [&] { return s.isNull() || s->state() != QAbstractSocket::ConnectedState; });
    }

    QTcpServer server;
    std::string base;
    std::map<std::string, QByteArray> responses;
    std::vector<std::string> targets;                  // as they came over the wire
    std::map<std::string, QPointer<QTcpSocket>> held;  // connections held, by target
    std::unique_ptr<RedirectBrowser> browser = std::make_unique<RedirectBrowser>();
    std::vector<std::string> reports;  // the addresses navigations ended on
};

// Each answer comes through redirects to its last page.
TEST_F(RedirectBrowserTest, LastPageIsReportedOnceAsABrowserShowsIt) {
    // The request targets as the server reads them, the location each of them
    // answers with, and the address shown.
    const std::tuple<std::vector<std::string>, std::vector<const char*>, const char*> cases[] = {
        // Percent-encoded and raw UTF-8, the field separator and the paragraph marks.
        {{"/RequestGpInfo.asp?x",
          "/SendGpInfo.asp?%E6%B5%A6%7C2024-01-02%7C%E6%8C%81%3Cbr%3E%3Cbr%3E%E8%A7%82"},
         {"/SendGpInfo.asp?%E6%B5%A6|2024-01-02|\xE6\x8C\x81<br><br>%E8%A7%82"},
         "/SendGpInfo.asp?浦|2024-01-02|持<br><br>观"},
        // 浦发 in GBK, as a server on a Chinese system encodes it.
        {{"/RequestGpInfo.asp?x", "/SendGpInfo.asp?%C6%D6%B7%A2%7C1"},
         {"/SendGpInfo.asp?%C6%D6%B7%A2|1"},
         "/SendGpInfo.asp?浦发|1"},
        // A name "a&b#c%41d+e f" as the requests write it: no escape may be undone on
        // the way, or the service would read another name, or another query.
        {{"/RequestGpInfo.asp?UserID=a%26b%23c%2541d%2Be%20f&PgRun=-7", "/hop",
          "/SendGpInfo.asp?E"},
         {"/hop", "/SendGpInfo.asp?E"},
         "/SendGpInfo.asp?E"},
    };
    for (const auto& [wire, redirects, shown] : cases) {
        RedirectBrowser fresh;
        reports.clear();
        targets.clear();
        fresh.setNavigated([this](const std::string& address) { reports.push_back(address); });
        for (std::size_t i = 0; i < redirects.size(); ++i)
            redirect(wire[i], redirects[i]);
        fresh.navigate(base + wire[0]);
        EXPECT_EQ(fresh.documentAddress(), "");  // nothing shown until the load finishes
        ASSERT_TRUE(waitReports(1)) << shown;
        QCoreApplication::processEvents();
        EXPECT_EQ(reports, std::vector<std::string>{base + shown});
        EXPECT_EQ(fresh.documentAddress(), base + shown);
        EXPECT_EQ(targets, wire);
    }
}

// A proxy set for the desktop carries requests to hosts other than this one.
TEST_F(RedirectBrowserTest, DesktopProxyCarriesTheRequests) {
    const std::string away = "http://tallyro.invalid/RequestGpInfo.asp?x";
    qputenv("http_proxy", QByteArray::fromStdString(base));
    browser->navigate(away);
    const bool reported = waitReports(1);
    qunsetenv("http_proxy");
    ASSERT_TRUE(reported);
    EXPECT_EQ(targets, std::vector<std::string>{away});
    EXPECT_EQ(browser->documentAddress(), away);
}

// A new navigation abandons the load under way, whose late answer is never
// heard; a hung server must not swallow the connections of abandoned loads (a
// browser keeps only a few per server, and a request after them would never go
// out); a browser destroyed mid-load reports nothing.
TEST_F(RedirectBrowserTest, AbandonedAndDestroyedLoadsAreNeverReported) {
    QPointer<QTcpSocket> slow = holdLoad("/slow");
    browser->navigate("about:blank");
    ASSERT_TRUE(waitReports(1));
    ASSERT_TRUE(givenUp(slow));
    for (int i = 0; i < 8; ++i)
        holdLoad("/hung" + std::to_string(i));
    redirect("/RequestGpInfo.asp?c", "/SendGpInfo.asp?ErrGpID");
    browser->navigate(base + "/RequestGpInfo.asp?c");
    ASSERT_TRUE(waitReports(2));
    ASSERT_TRUE(givenUp(held["/hung0"]));
    if (QTcpSocket* late = held["/hung0"]) {
        late->write("HTTP/1.1 302 Found\r\nLocation: /late\r\nContent-Length: 0\r\n\r\n");
        late->flush();
    }
    holdLoad("/last");
    browser.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(reports, (std::vector<std::string>{"about:blank", base + "/SendGpInfo.asp?ErrGpID"}));
}

}  // namespace
}  // namespace tallyro::qt
