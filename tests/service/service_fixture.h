// The login and web servers on free loopback ports over a temporary data folder and
// database, and small clients that talk to them over real sockets like the Tallyro client.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <functional>

#include "account_store.h"
#include "gbk.h"
#include "login_server.h"
#include "market_data.h"
#include "temp_dir.h"
#include "web_server.h"

namespace tallyro::service::test {

using tallyro::test::writeFileBytes;

// Runs the event loop until `done` holds; the limit only guards against a hang.
inline bool waitUntil(const std::function<bool()>& done, int limitMs = 10000) {
    QDeadlineTimer deadline(limitMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// MD5 of "abc" from RFC 1321, upper case: the digest of the test accounts' password.
inline constexpr const char* kAbcDigest = "900150983CD24FB0D6963F7D28E17F72";

class UdpClient {
public:
    // Any address of 127.0.0.0/8 is this machine: 127.0.0.2 stands for another source.
    explicit UdpClient(quint16 serverPort, const QHostAddress& from = QHostAddress::LocalHost)
        : serverPort_(serverPort) {
        socket_.bind(from, 0);
    }
    quint16 port() const { return socket_.localPort(); }
    bool pending() { return socket_.hasPendingDatagrams(); }
    void send(const QByteArray& bytes) {
        socket_.writeDatagram(bytes, QHostAddress::LocalHost, serverPort_);
    }
    // The next datagram, or "<nothing>"; as text from GBK, or "<not GBK>".
    QByteArray receive() {
        if (!waitUntil([&] { return socket_.hasPendingDatagrams(); }))
            return "<nothing>";
        return socket_.receiveDatagram().data();
    }
    QString receiveText() {
        const auto text = gbkToUtf8(receive().toStdString());
        return text ? QString::fromStdString(*text) : QStringLiteral("<not GBK>");
    }

private:
    QUdpSocket socket_;
    quint16 serverPort_;
};

struct HttpReply {
    int status = 0;
    QByteArray head;  // the status line and the headers
    QByteArray body;
    QByteArray header(const QByteArray& name) const {
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith(name + ':'))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
};

// A connection that keeps what it receives and notices when the server closes it.
struct Connection {
    explicit Connection(quint16 port, const QHostAddress& from = QHostAddress::LocalHost) {
        socket.bind(from, 0);
        socket.connectToHost(QHostAddress::LocalHost, port);
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { in += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
    }
    // Waits for `count` complete answers (or the close) and gives them.
    QList<HttpReply> replies(int count) {
        QList<HttpReply> got;
        waitUntil([&] {
            got.clear();
            for (qsizetype at = 0, end; (end = in.indexOf("\r\n\r\n", at)) >= 0;) {
                HttpReply reply{in.mid(at + 9, 3).toInt(), in.mid(at, end - at), {}};
                const qsizetype length = reply.header("content-length").toLongLong();
                if (end + 4 + length > in.size())
                    break;
                reply.body = in.mid(end + 4, length);
                got << reply;
                at = end + 4 + length;
            }
            return got.size() >= count || closed;
        });
        return got;
    }
    QList<int> answers(int count) {
        QList<int> codes;
        for (const HttpReply& reply : replies(count))
            codes << reply.status;
        return codes;
    }
    bool waitClosed() { return waitUntil([&] { return closed; }, 30000); }
    QByteArray in;
    bool closed = false;
    QTcpSocket socket;  // last, so that it goes first and its last signals find the others
};

// One request over a fresh connection, with the target bytes exactly as given.
inline HttpReply httpRequest(quint16 port, const QByteArray& target,
                             const QByteArray& method = "GET", const QByteArray& body = {},
                             const QByteArray& type = "text/plain") {
    Connection c(port);
    c.socket.write(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + type +
                   "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    return c.replies(1).value(0);
}

// With the accounts "demo" and "locked" (blocked), both with the password "abc".
class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const auto data = dir_ / "data";
        std::filesystem::create_directories(data / "bars");
        writeFileBytes(data / "stocks.csv",
                       "code,name,initials\nsh600000,浦发银行,PFYX\nsh600519,贵州茅台,GZMT\n"
                       "sh600090,*ST济堂,*STJT\nsz000001,平安银行,PAYX\n");
        writeFileBytes(data / "suspended.csv", "code,since,reason\nsh600090,2026-12-01,核查\n");
        writeFileBytes(data / "watchlist.csv", "code\nsh600000\nsz000001\n");
        // 30 sessions trading 9.5 to 10.5 and closing at 10.00, with one swing high of 12.00
        // and one swing low of 9.00: pressure 12.00 (+20.00%), support 9.00 (-10.00%).
        std::string bars = "date,open,high,low,close,volume\n";
        for (int i = 1; i <= 30; ++i) {
            bars += "2026-11-" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ",10.00," +
                    (i == 11 ? "12.00" : "10.50") + ',' + (i == 16 ? "9.00" : "9.50") +
                    ",10.00,1000\n";
        }
        writeFileBytes(data / "bars" / "sh600000.csv", bars);
        writeFileBytes(data / "bars" / "sh600519.csv",
                       "date,open,high,low,close,volume\n2026-12-04,1,2,3,4\n");

        std::string error;
        store_ = AccountStore::open(dir_ / "accounts.db", &error);
        stocks_ = StockList::load(data / "stocks.csv", &error);
        ASSERT_TRUE(store_ && stocks_) << error;
        store_->addAccount("demo", kAbcDigest);
        store_->addAccount("locked", kAbcDigest);
        ASSERT_TRUE(store_->setBlocked("locked", true));
        market_ = std::make_unique<MarketData>(data, *stocks_);

        const LogSink sink = [this](const QString& line) { log_.append(line); };
        login_ = std::make_unique<LoginServer>(*store_, sessions_, sink, nullptr, guardRules_);
        web_ = std::make_unique<WebServer>(*store_, sessions_, *market_, *stocks_, sink);
        web_->setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(14, 35, 2)); });
        ASSERT_TRUE(login_->listen(QHostAddress::LocalHost, 0, nullptr));
        ASSERT_NE(webPort_ = web_->start(QHostAddress::LocalHost, 0, nullptr), 0);
    }
    static QByteArray loginDatagram(const QByteArray& gbkName) {
        return "Login|" + gbkName + '|' + kAbcDigest + "|10.09";
    }
    void signIn(UdpClient& client, const QByteArray& gbkName) {
        client.send(loginDatagram(gbkName));
        EXPECT_EQ(client.receive(), "LoginOk|" + gbkName);
    }
    HttpReply get(const QByteArray& target) const { return httpRequest(webPort_, target); }
    bool logged(const QString& fragment) const {
        return std::any_of(log_.cbegin(), log_.cend(),
                           [&](const QString& line) { return line.contains(fragment); });
    }

    tallyro::test::TempDir dir_;
    std::unique_ptr<AccountStore> store_;
    std::optional<StockList> stocks_;
    std::unique_ptr<MarketData> market_;
    SessionTable sessions_;
    QStringList log_;
    SignInGuard::Rules guardRules_;  // set before SetUp
    std::unique_ptr<LoginServer> login_;
    std::unique_ptr<WebServer> web_;
    quint16 webPort_ = 0;
};

}  // namespace tallyro::service::test
