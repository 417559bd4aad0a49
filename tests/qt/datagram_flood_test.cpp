// The real main window with the real datagram socket under a flood on loopback, from
// the login server's address and from strangers: the window keeps answering clicks
// and its memory stays flat.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QMouseEvent>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/form_login.h"
#include "fake_platform.h"
#include "qt/form_view.h"
#include "qt/qt_platform.h"
#include "resident_memory.h"
#include "temp_dir.h"
#include "test_database.h"

namespace tallyro::qt {
namespace {

// A UDP socket of the test bound to `host` on a port of the system's choice.
class RawUdp {
public:
    explicit RawUdp(const char* host) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, host, &a.sin_addr);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error(std::string("cannot bind to ") + host);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~RawUdp() { ::close(fd_); }
    RawUdp(const RawUdp&) = delete;
    RawUdp& operator=(const RawUdp&) = delete;
    std::uint16_t port() const { return port_; }
    void sendTo(std::uint16_t port, const std::string& bytes) const {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::sendto(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to),
                 sizeof to);
    }
    // The port a datagram came from, once one has (the client's own port).
    std::uint16_t receiveFrom() const {
        char buffer[2048];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        if (::recvfrom(fd_, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                       &len) < 0)
            return 0;
        return ntohs(from.sin_port);
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// The real socket, counting the datagrams it hands to the window.
class CountingUdp : public QtUdp {
public:
    void setArrival(std::function<void(const platform::Datagram&)> onArrival) override {
        if (!onArrival) {
            QtUdp::setArrival(nullptr);
            return;
        }
        QtUdp::setArrival([this, onArrival = std::move(onArrival)](const platform::Datagram& d) {
            ++arrived;
            onArrival(d);
        });
    }
    long long arrived = 0;
};

// Runs the event loop until `done` holds; the limit only guards against a hang.
bool waitUntil(const std::function<bool()>& done, int limitMs = 5000) {
    QDeadlineTimer deadline(limitMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

TEST(DatagramFlood, WindowKeepsAnsweringClicksAndMemoryStaysFlat) {
    constexpr auto kFlood = std::chrono::seconds(5);
    RawUdp server("127.0.0.1");
    test::TempDir dir;
    app::FileLocations files{dir / "config.ini", test::copyBuiltDatabase(dir.path())};
    QtWindowSystem windows;
    test::VirtualClock clock;
    test::FakeScreen screen;
    CountingUdp link;
    test::FakeShell shell;
    test::FakeTray tray;
    QtTextMeasure measure;
    test::FakeProcess process;
    test::FakeAnalysisBrowser browser;
    platform::Platform platform{clock,   screen,  link,    shell,  tray,
                                measure, windows, process, browser};
    app::FormLogin form(platform, app::Deployment{"127.0.0.1", server.port(), "http://127.0.0.1:9"},
                        files);
    int mouseDowns = 0;
    windows.setDispatch([&](app::Event& e) {
        if (e.kind == app::EventKind::MouseDown)
            ++mouseDowns;
        form.dispatch(e);
    });
    ASSERT_TRUE(form.start());
    QWidget* window = windows.windowOf(form.form());
    ASSERT_NE(window, nullptr);

    // The first login request tells the server (and the flood) the client's port.
    form.el("UserName_Txt").setText("demo");
    form.el("PassWord_Txt").setText("abc");
    form.login().Login_Bot_Click();
    std::uint16_t clientPort = 0;
    ASSERT_TRUE(waitUntil([&] { return (clientPort = server.receiveFrom()) != 0; }));

    // What arrives: every kind of answer and junk from the server's own address and port,
    // and answers from the same host on another port and from another host.
    RawUdp otherPort("127.0.0.1");
    RawUdp otherHost("127.0.0.2");
    const std::vector<std::pair<const RawUdp*, std::string>> flood{
        {&server, "LoginOk"},
        {&server, "Msg|\xCD\xA8\xD6\xAA|7"},
        {&server, "Err|Password"},
        {&server, "TestLogin|probe"},
        {&server, std::string(1400, '|')},
        {&server, std::string(1400, '\xFF')},
        {&server, ""},
        {&otherPort, "LoginOk"},
        {&otherPort, "Msg|x|1"},
        {&otherHost, "LoginOk"},
        {&otherHost, std::string(1400, 'x')},
    };
    const auto sendRound = [&] {
        for (const auto& [from, bytes] : flood)
            from->sendTo(clientPort, bytes);
    };
    for (int i = 0; i < 200; ++i) {  // the window's pages, popup and buffers reach their size
        sendRound();
        QApplication::processEvents();
    }
    waitUntil([] { return false; }, 200);
    const auto before = test::residentBytes();
    const long long arrivedBefore = link.arrived;

    std::atomic<bool> flooding{true};
    long long sent = 0;
    std::thread flooder([&] {
        const auto end = std::chrono::steady_clock::now() + kFlood;
        while (std::chrono::steady_clock::now() < end) {
            sendRound();
            sent += static_cast<long long>(flood.size());
            // Drain what the client sends back (echoed probes), so its sends never block.
            while (server.receiveFrom() != 0) {
            }
        }
        flooding = false;
    });
    int clicks = 0;
    int answered = 0;
    const QPoint inside(120, 300);
    while (flooding) {
        ++clicks;
        const int seen = mouseDowns;
        QApplication::postEvent(
            window, new QMouseEvent(QEvent::MouseButtonPress, inside, window->mapToGlobal(inside),
                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QApplication::postEvent(
            window, new QMouseEvent(QEvent::MouseButtonRelease, inside, window->mapToGlobal(inside),
                                    Qt::LeftButton, {}, Qt::NoModifier));
        if (waitUntil([&] { return mouseDowns > seen; }))
            ++answered;
    }
    flooder.join();
    RecordProperty("datagrams", std::to_string(sent));
    waitUntil([] { return false; }, 200);
    RecordProperty("clicks", clicks);
    RecordProperty("grown", static_cast<int>(test::residentBytes() - before));
    RecordProperty("arrived", std::to_string(link.arrived - arrivedBefore));
    EXPECT_GT(clicks, 0);
    EXPECT_GT(link.arrived - arrivedBefore, 0);
    EXPECT_EQ(answered, clicks);
    const auto grown = test::residentBytes() - before;
    if (test::kMemoryIsMeasurable) {
        EXPECT_LT(grown, 5 * test::kMiB) << grown << " bytes";
    }
    // Still the same program: it ended nothing and the popup is the one window it reuses.
    EXPECT_FALSE(form.ended());
    EXPECT_TRUE(process.fatals.empty());
}

}  // namespace
}  // namespace tallyro::qt
