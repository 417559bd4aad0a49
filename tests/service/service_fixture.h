// A running service in the test process (login server and web server on free
// loopback ports over a data folder and database in a temporary folder), and small
// clients that talk to it over real sockets the way the Tallyro client does.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QStringList>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

#include "account_store.h"
#include "login_server.h"
#include "market_data.h"
#include "session_table.h"
#include "stock_list.h"
#include "temp_dir.h"
#include "web_server.h"

namespace tallyro::service::test {

using tallyro::test::TempDir;

// Runs the event loop until `done` holds; false if it did not within the limit. The
// limit only guards against a hang: tests never depend on how long anything takes.
bool waitUntil(const std::function<bool()>& done, int limitMs = 10000);

// MD5 of "abc" from RFC 1321, upper case: the digest of the test accounts' password.
inline constexpr const char* kAbcDigest = "900150983CD24FB0D6963F7D28E17F72";

class UdpClient {
public:
    explicit UdpClient(quint16 serverPort);
    quint16 port() const { return socket_.localPort(); }
    void send(const QByteArray& bytes);
    std::optional<QByteArray> receive();
    // The next datagram as text, or "<nothing>" when none came.
    QString receiveText();

private:
    QUdpSocket socket_;
    quint16 serverPort_;
};

struct HttpReply {
    int status = 0;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
    QByteArray header(const char* name) const { return headers.value(QByteArray(name)); }
};

// One request over a fresh connection, with the target bytes exactly as given.
HttpReply httpRequest(quint16 port, const QByteArray& method, const QByteArray& target,
                      const QByteArray& body = {}, const QByteArray& contentType = {});
inline HttpReply httpGet(quint16 port, const QByteArray& target) {
    return httpRequest(port, "GET", target);
}

// With the accounts "demo" and "locked" (blocked), both with the password "abc".
class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override;

    static QByteArray loginDatagram(const QByteArray& gbkName) {
        return "Login|" + gbkName + '|' + kAbcDigest + "|10.09";
    }
    // Signs `gbkName` in from `client` and checks the answer.
    void signIn(UdpClient& client, const QByteArray& gbkName);
    bool logged(const QString& fragment) const;

    TempDir dir_;
    std::unique_ptr<AccountStore> store_;
    std::optional<StockList> stocks_;
    std::unique_ptr<MarketData> market_;
    SessionTable sessions_;
    QStringList log_;
    std::unique_ptr<LoginServer> login_;
    std::unique_ptr<WebServer> web_;
    quint16 webPort_ = 0;
};

}  // namespace tallyro::service::test
