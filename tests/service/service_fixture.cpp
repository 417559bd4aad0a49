// The in-process service and its socket clients for the tests.
#include "service_fixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QTcpSocket>

#include <filesystem>

#include "gbk.h"

namespace tallyro::service::test {

using tallyro::test::writeFileBytes;

bool waitUntil(const std::function<bool()>& done, int limitMs) {
    QDeadlineTimer deadline(limitMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

UdpClient::UdpClient(quint16 serverPort) : serverPort_(serverPort) {
    socket_.bind(QHostAddress::LocalHost, 0);
}

void UdpClient::send(const QByteArray& bytes) {
    socket_.writeDatagram(bytes, QHostAddress::LocalHost, serverPort_);
}

std::optional<QByteArray> UdpClient::receive() {
    if (!waitUntil([&] { return socket_.hasPendingDatagrams(); })) {
        return std::nullopt;
    }
    return socket_.receiveDatagram().data();
}

QString UdpClient::receiveText() {
    const auto bytes = receive();
    if (!bytes) {
        return QStringLiteral("<nothing>");
    }
    const auto text = gbkToUtf8(bytes->toStdString());
    return text ? QString::fromStdString(*text) : QStringLiteral("<not GBK>");
}

HttpReply httpRequest(quint16 port, const QByteArray& method, const QByteArray& target,
                      const QByteArray& body, const QByteArray& contentType) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    const QByteArray content =
        body.isEmpty() ? QByteArray()
                       : "Content-Type: " + contentType +
                             "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
    socket.write(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + content + "\r\n" +
                 body);
    QByteArray received;
    HttpReply reply;
    qsizetype headerEnd = -1;
    const bool complete = waitUntil([&] {
        received += socket.readAll();
        if (headerEnd < 0 && (headerEnd = received.indexOf("\r\n\r\n")) >= 0) {
            const QList<QByteArray> lines = received.left(headerEnd).split('\n');
            reply.status = lines.first().split(' ').value(1).toInt();
            for (const QByteArray& line : lines.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                reply.headers.insert(line.left(colon).trimmed().toLower(),
                                     line.mid(colon + 1).trimmed());
            }
        }
        return headerEnd >= 0 &&
               received.size() - headerEnd - 4 >= reply.header("content-length").toLongLong();
    });
    if (complete) {
        reply.body = received.mid(headerEnd + 4);
    }
    return reply;
}

namespace {

// 30 sessions trading 9.5 to 10.5 and closing at 10.00, with one swing high of 12.00
// and one swing low of 9.00: pressure 12.00 (+20.00%), support 9.00 (-10.00%).
std::string handMadeBars() {
    std::string text = "date,open,high,low,close,volume\n";
    for (int i = 0; i < 30; ++i) {
        const double high = i == 10 ? 12.0 : 10.5;
        const double low = i == 15 ? 9.0 : 9.5;
        char line[96];
        std::snprintf(line, sizeof line, "2026-%02d-%02d,10.00,%.2f,%.2f,10.00,%d\n", 10 + i / 28,
                      1 + i % 28, high, low, 100000 + i);
        text += line;
    }
    return text;
}

}  // namespace

void ServiceFixture::SetUp() {
    const auto data = dir_ / "data";
    std::filesystem::create_directories(data / "bars");
    writeFileBytes(data / "stocks.csv",
                   "code,name,initials\nsh600000,浦发银行,PFYX\nsh600519,贵州茅台,GZMT\n"
                   "sh600090,*ST济堂,*STJT\nsz000001,平安银行,PAYX\n");
    writeFileBytes(data / "suspended.csv", "code,since,reason\nsh600090,2026-12-01,核查\n");
    writeFileBytes(data / "watchlist.csv", "code\nsh600000\nsz000001\n");
    writeFileBytes(data / "bars" / "sh600000.csv", handMadeBars());
    writeFileBytes(data / "bars" / "sh600519.csv",
                   "date,open,high,low,close,volume\n2026-12-04,1,2,3,4\n");

    std::string error;
    store_ = AccountStore::open(dir_ / "accounts.db", &error);
    ASSERT_TRUE(store_) << error;
    ASSERT_EQ(store_->addAccount("demo", kAbcDigest), AccountStore::AddResult::Added);
    ASSERT_EQ(store_->addAccount("locked", kAbcDigest), AccountStore::AddResult::Added);
    ASSERT_TRUE(store_->setBlocked("locked", true));
    stocks_ = StockList::load(data / "stocks.csv", &error);
    ASSERT_TRUE(stocks_) << error;
    market_ = std::make_unique<MarketData>(data, *stocks_);

    const LogSink sink = [this](const QString& line) { log_.append(line); };
    login_ = std::make_unique<LoginServer>(*store_, sessions_, sink);
    QString listenError;
    ASSERT_TRUE(login_->listen(QHostAddress::LocalHost, 0, &listenError))
        << listenError.toStdString();
    web_ = std::make_unique<WebServer>(*store_, sessions_, *market_, *stocks_, sink);
    web_->setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(14, 35, 2)); });
    webPort_ = web_->start(QHostAddress::LocalHost, 0, &listenError);
    ASSERT_NE(webPort_, 0) << listenError.toStdString();
}

void ServiceFixture::signIn(UdpClient& client, const QByteArray& gbkName) {
    client.send(loginDatagram(gbkName));
    const auto answer = client.receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, "LoginOk|" + gbkName);
}

bool ServiceFixture::logged(const QString& fragment) const {
    return std::any_of(log_.cbegin(), log_.cend(),
                       [&](const QString& line) { return line.contains(fragment); });
}

}  // namespace tallyro::service::test
