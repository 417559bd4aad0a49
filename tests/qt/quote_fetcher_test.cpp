// The watch list's request against a local HTTP server: the redirect's address, as a
// browser shows it, is the answer; an error status and a silent server give none.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "qt/watch_services.h"

namespace tallyro::qt {
namespace {

TEST(HttpQuoteFetcherTest, RedirectErrorAndSlowServer) {
    QTcpServer server;
    std::map<std::string, QByteArray> replies{
        {"/RequestGpInfo.asp?GpID=sh600000",
         "HTTP/1.1 302 Found\r\nLocation: /SendGpInfo.asp?%E6%B5%A6%E5%8F%91|10.84|a%3Cbr%3E\r\n"
         "Content-Length: 0\r\n\r\n"},
        {"/missing", "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n"},
        {"/slow", ""}};
    std::vector<std::string> asked;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
                const std::string path = s->readAll().split(' ').value(1).toStdString();
                asked.push_back(path);
                s->write(replies[path]);  // "/slow" is held: nothing comes
            });
        }
    });
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const std::string base = "http://127.0.0.1:" + std::to_string(server.serverPort());
    HttpQuoteFetcher fetcher(300);
    std::vector<platform::Fetched> got;
    fetcher.setDone([&](const platform::Fetched& f) { got.push_back(f); });
    const auto fetch = [&](const std::string& url) {
        const std::size_t before = got.size();
        fetcher.fetch(url);
        EXPECT_TRUE(QTest::qWaitFor([&] { return got.size() > before; }, 10000)) << url;
        return got.empty() ? platform::Fetched{} : got.back();
    };
    platform::Fetched f = fetch(base + "/RequestGpInfo.asp?GpID=sh600000");
    EXPECT_EQ(f.location + f.problem, base + "/SendGpInfo.asp?浦发|10.84|a<br>");
    EXPECT_EQ(asked, std::vector<std::string>{"/RequestGpInfo.asp?GpID=sh600000"});  // not followed
    f = fetch(base + "/missing");
    EXPECT_TRUE(f.location.empty() && f.problem == "no answer address (HTTP 500)" &&
                f.url == base + "/missing");
    f = fetch(base + "/slow");  // given up after the time limit
    EXPECT_TRUE(f.location.empty() && !f.problem.empty());
    // A request abandoned for another is never told.
    replies["/slow2"] = "";
    fetcher.fetch(base + "/slow2");
    f = fetch(base + "/missing");
    EXPECT_EQ(got.size(), 4u);
}

}  // namespace
}  // namespace tallyro::qt
