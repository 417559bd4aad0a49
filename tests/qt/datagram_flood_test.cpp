// The real main window with the real datagram socket under a flood on loopback from
// the login server's address: the window keeps answering clicks and its memory stays
// flat. (Datagrams from strangers are dropped above the socket: the session tests.)
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QMouseEvent>

#include <atomic>
#include <chrono>
#include <thread>

#include "qt_client.h"
#include "resident_memory.h"

namespace tallyro::qt {
namespace {

// A UDP socket of the test bound to `host` on a port of the system's choice.
struct RawUdp {
    explicit RawUdp(const char* host) {
        sockaddr_in a{AF_INET, 0, {::inet_addr(host)}, {}};
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ~RawUdp() { ::close(fd); }
    void sendTo(std::uint16_t to, const std::string& bytes) const {
        sockaddr_in a{AF_INET, htons(to), {htonl(INADDR_LOOPBACK)}, {}};
        ::sendto(fd, bytes.data(), bytes.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a),
                 sizeof a);
    }
    // The port a datagram came from, once one has (the client's own port).
    std::uint16_t receiveFrom() const {
        char buffer[2048];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const auto n = ::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT,
                                  reinterpret_cast<sockaddr*>(&from), &len);
        return n < 0 ? 0 : ntohs(from.sin_port);
    }
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    std::uint16_t port = 0;
};

struct DatagramFlood : QtClientTest {
    ~DatagramFlood() override { form.reset(); }  // before the socket it talks through
    QtUdp link;
};

TEST_F(DatagramFlood, WindowKeepsAnsweringClicksAndMemoryStaysFlat) {
    RawUdp server("127.0.0.1");
    ASSERT_TRUE(server.port);
    start(server.port, &link);
    // The first login request tells the server (and the flood) the client's port.
    form->el("UserName_Txt").setText("demo");
    form->el("PassWord_Txt").setText("abc");
    form->login().Login_Bot_Click();
    std::uint16_t client = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (client = server.receiveFrom()) != 0; }));

    // Every kind of answer and junk from the server's own address and port.
    const auto sendRound = [&] {
        for (const std::string& bytes :
             {std::string("LoginOk"), std::string("Msg|\xCD\xA8\xD6\xAA|7"),
              std::string("Err|Password"), std::string("TestLogin|probe"), std::string(1400, '|'),
              std::string(1400, '\xFF'), std::string()})
            server.sendTo(client, bytes);
    };
    for (int i = 0; i < 200; ++i) {  // the window's pages, popup and buffers reach their size
        sendRound();
        QApplication::processEvents();
    }
    QTest::qWait(200);
    const auto before = test::residentBytes();

    std::atomic<bool> flooding{true};
    int echoes = 0;  // probes the client answered during the flood
    std::thread flooder([&] {
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
             std::chrono::steady_clock::now() < end;) {
            sendRound();
            // Drain the echoed probes, so the client's sends never block.
            while (server.receiveFrom() != 0)
                ++echoes;
        }
        flooding = false;
    });
    int unanswered = 0;  // clicks the window did not take while the flood lasted
    const QPoint at(120, 300);
    while (flooding) {
        events.clear();  // what the view raises; kept short, as memory is measured
        for (auto [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                                     {QEvent::MouseButtonRelease, Qt::NoButton}})
            QApplication::postEvent(window(), new QMouseEvent(type, at, window()->mapToGlobal(at),
                                                              Qt::LeftButton, buttons, {}));
        unanswered += !QTest::qWaitFor([&] { return !events.empty(); });
    }
    flooder.join();
    QTest::qWait(200);
    const auto grown = test::residentBytes() - before;
    EXPECT_TRUE(unanswered == 0 && echoes > 0) << unanswered << " unanswered, " << echoes;
    if (test::kMemoryIsMeasurable) {
        EXPECT_LT(grown, 5 * test::kMiB) << grown << " bytes";
    }
    EXPECT_TRUE(!form->ended() && process.fatals.empty());  // still the same program
}

}  // namespace
}  // namespace tallyro::qt
