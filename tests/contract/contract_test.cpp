// The fakes the core tests drive and the Qt binding meet the same cases, typed over a
// Fake world and a Qt world (offscreen widgets, a local HTTP server, real timers).
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <map>
#include <memory>
#include <tuple>

#include "fake_keyboard.h"
#include "fake_platform.h"
#include "qt/element_widgets.h"
#include "qt/qt_platform.h"
#include "qt/redirect_browser.h"
#include "ui/designs.h"

namespace tallyro::contract {
namespace {

// Paths are served as a small page unless set to redirect, to answer with an
// error status, or to be held without an answer.
class BrowserWorld {
public:
    virtual ~BrowserWorld() = default;
    virtual platform::AnalysisBrowser& browser() = 0;
    virtual std::string at(const std::string& path) = 0;
    virtual std::string refused() = 0;  // an address nobody answers
    // Lets the event loop run until `count` navigations have been reported.
    virtual bool waitReports(std::size_t count) = 0;
    void listen() {
        browser().setNavigated([this](const std::string& address) { reports.push_back(address); });
    }

    std::vector<std::string> reports;
    std::map<std::string, std::string> redirects;  // path: the path it redirects to
    std::set<std::string> failing, held;
};

// The fake browser with the test as its network.
class FakeBrowserWorld : public BrowserWorld {
public:
    FakeBrowserWorld() { listen(); }
    platform::AnalysisBrowser& browser() override { return fake; }
    std::string at(const std::string& path) override { return "http://web.test" + path; }
    std::string refused() override { return "http://127.0.0.1:9/RequestGpInfo.asp"; }
    bool waitReports(std::size_t count) override {
        clock.advance(0);
        std::string url = fake.underWay;
        const std::string host = at("");
        if (!url.empty() && (!url.starts_with(host) || !held.contains(url.substr(host.size())))) {
            for (auto r = redirects.find(url.substr(host.size())); r != redirects.end();
                 r = redirects.find(url.substr(host.size())))
                url = at(r->second);
            fake.finish(url, url.starts_with(host));
        }
        return reports.size() >= count;
    }

    test::VirtualClock clock;
    test::FakeAnalysisBrowser fake{clock};
};

// The Qt browser against a minimal HTTP/1.1 server on loopback, which writes the
// redirect locations byte for byte as given and keeps the connections it holds.
class QtBrowserWorld : public BrowserWorld {
public:
    QtBrowserWorld() {
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { answer(s); });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        listen();
    }
    platform::AnalysisBrowser& browser() override { return *qt; }
    std::string at(const std::string& path) override {
        return "http://127.0.0.1:" + std::to_string(server.serverPort()) + path;
    }
    std::string refused() override {
        QTcpServer closed;
        EXPECT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
        return "http://127.0.0.1:" + std::to_string(closed.serverPort()) + "/RequestGpInfo.asp";
    }
    bool waitReports(std::size_t count) override {
        return QTest::qWaitFor([&] { return reports.size() >= count; });
    }
    // Starts a load of `path` that the server holds, and waits until it is there.
    QPointer<QTcpSocket> holdLoad(const std::string& path) {
        held.insert(path);
        qt->navigate(at(path));
        EXPECT_TRUE(QTest::qWaitFor([&] { return heldSockets[path] != nullptr; })) << path;
        return heldSockets[path];
    }

    QTcpServer server;
    std::vector<std::string> targets;  // the request targets as they came over the wire
    std::map<std::string, QPointer<QTcpSocket>> heldSockets;
    std::unique_ptr<qt::RedirectBrowser> qt = std::make_unique<qt::RedirectBrowser>();

private:
    void answer(QTcpSocket* s) {
        if (!s->peek(s->bytesAvailable()).contains("\r\n\r\n"))
            return;
        const std::string path = s->readAll().split(' ').value(1).toStdString();
        targets.push_back(path);
        if (held.contains(path)) {
            heldSockets[path] = s;
            return;
        }
        QByteArray reply = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n";
        if (redirects.contains(path))
            reply = "HTTP/1.1 302 Found\r\nContent-Length: 4\r\nLocation: " +
                    QByteArray::fromStdString(redirects[path]) + "\r\n";
        if (failing.contains(path))
            reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n";
        s->write(reply + "Connection: close\r\n\r\npage");
        s->disconnectFromHost();
    }
};

template <typename World>
class Contract : public ::testing::Test {
protected:
    World w;
};
template <typename World>
using BrowserContract = Contract<World>;
using BrowserWorlds = ::testing::Types<FakeBrowserWorld, QtBrowserWorld>;
TYPED_TEST_SUITE(BrowserContract, BrowserWorlds);

// A page, a chain of redirects and an error page each end where they end, and
// that is shown; an address that cannot be reached is told but shows nothing new.
TYPED_TEST(BrowserContract, NavigationsEndOnTheLastAddressReached) {
    auto& w = this->w;
    platform::AnalysisBrowser& browser = w.browser();
    browser.navigate(w.at("/a"));
    EXPECT_EQ(browser.documentAddress(), "");  // nothing shown until it finishes
    ASSERT_TRUE(w.waitReports(1));
    w.redirects = {{"/RequestGpInfo.asp", "/hop"}, {"/hop", "/SendGpInfo.asp?x"}};
    w.failing.insert("/missing");
    const std::string refused = w.refused();
    std::string shown;
    for (const std::string& to : {w.at("/RequestGpInfo.asp"), w.at("/missing"), refused}) {
        browser.navigate(to);
        ASSERT_TRUE(w.waitReports(w.reports.size() + 1)) << to;
        shown += browser.documentAddress() + " ";
    }
    EXPECT_EQ(shown, w.at("/SendGpInfo.asp?x ") + w.at("/missing ") + w.at("/missing "));
    EXPECT_EQ(w.reports, (std::vector<std::string>{w.at("/a"), w.at("/SendGpInfo.asp?x"),
                                                   w.at("/missing"), refused}));
}

// The empty page is shown at once and told later, from the event loop; a newer
// navigation abandons the one under way, whose report never comes.
TYPED_TEST(BrowserContract, TheEmptyPageIsToldLaterAndAbandonedLoadsNever) {
    auto& w = this->w;
    platform::AnalysisBrowser& browser = w.browser();
    browser.navigate("about:blank");
    EXPECT_EQ(browser.documentAddress(), "about:blank");
    EXPECT_TRUE(w.reports.empty());
    ASSERT_TRUE(w.waitReports(1));
    w.held.insert("/slow");
    for (const std::string& to :
         {w.at("/slow"), w.at("/b"), std::string("about:blank"), w.at("/c")})
        browser.navigate(to);
    ASSERT_TRUE(w.waitReports(2));
    browser.navigate(w.at("/sync"));
    ASSERT_TRUE(w.waitReports(3));
    EXPECT_EQ(w.reports, (std::vector<std::string>{"about:blank", w.at("/c"), w.at("/sync")}));
    EXPECT_EQ(browser.documentAddress(), w.at("/sync"));
}

// The Qt browser alone: the address after the redirect decoded as an address bar
// shows it, read as UTF-8 or as GBK (浦发); a name "a&b#c%41d+e f" as the requests
// write it keeps every escape. Targets as the server reads them, locations, shown.
TEST(QtBrowser, LastPageIsReportedOnceAsABrowserShowsIt) {
    const std::tuple<std::vector<std::string>, std::vector<std::string>, const char*> cases[] = {
        {{"/RequestGpInfo.asp?x",
          "/SendGpInfo.asp?%E6%B5%A6%7C2024-01-02%7C%E6%8C%81%3Cbr%3E%3Cbr%3E%E8%A7%82"},
         {"/SendGpInfo.asp?%E6%B5%A6|2024-01-02|\xE6\x8C\x81<br><br>%E8%A7%82"},
         "/SendGpInfo.asp?浦|2024-01-02|持<br><br>观"},
        {{"/RequestGpInfo.asp?x", "/SendGpInfo.asp?%C6%D6%B7%A2%7C1"},
         {"/SendGpInfo.asp?%C6%D6%B7%A2|1"},
         "/SendGpInfo.asp?浦发|1"},
        {{"/RequestGpInfo.asp?UserID=a%26b%23c%2541d%2Be%20f&PgRun=-7", "/SendGpInfo.asp?E"},
         {"/SendGpInfo.asp?E"},
         "/SendGpInfo.asp?E"},
    };
    for (const auto& [wire, locations, shown] : cases) {
        QtBrowserWorld w;
        for (std::size_t i = 0; i < locations.size(); ++i)
            w.redirects[wire[i]] = locations[i];
        w.qt->navigate(w.at(wire[0]));
        ASSERT_TRUE(w.waitReports(1)) << shown;
        QCoreApplication::processEvents();
        EXPECT_EQ(w.reports, std::vector<std::string>{w.at(shown)});
        EXPECT_EQ(w.targets, wire);
    }
}

// A proxy set for the desktop carries requests to hosts other than this one.
TEST(QtBrowser, DesktopProxyCarriesTheRequests) {
    QtBrowserWorld w;
    const std::string away = "http://tallyro.invalid/RequestGpInfo.asp?x";
    qputenv("http_proxy", QByteArray::fromStdString(w.at("")));
    w.qt->navigate(away);
    const bool reported = w.waitReports(1);
    qunsetenv("http_proxy");
    ASSERT_TRUE(reported);
    EXPECT_EQ(w.targets, std::vector<std::string>{away});
    EXPECT_EQ(w.qt->documentAddress(), away);
}

// An abandoned load gives up its connection (a browser keeps only a few per server),
// and its late answer is never heard; a browser destroyed mid-load reports nothing.
TEST(QtBrowser, AbandonedAndDestroyedLoadsAreNeverReported) {
    QtBrowserWorld w;
    const auto givenUp = [](const QPointer<QTcpSocket>& s) {
        return QTest::qWaitFor(
            [&] { return s.isNull() || s->state() != QAbstractSocket::ConnectedState; });
    };
    QPointer<QTcpSocket> slow = w.holdLoad("/slow");
    w.qt->navigate("about:blank");
    ASSERT_TRUE(w.waitReports(1));
    ASSERT_TRUE(givenUp(slow));
    for (int i = 0; i < 8; ++i)
        w.holdLoad("/hung" + std::to_string(i));
    w.redirects["/RequestGpInfo.asp?c"] = "/SendGpInfo.asp?ErrGpID";
    w.qt->navigate(w.at("/RequestGpInfo.asp?c"));
    ASSERT_TRUE(w.waitReports(2));
    ASSERT_TRUE(givenUp(w.heldSockets["/hung0"]));
    if (QTcpSocket* late = w.heldSockets["/hung0"]) {
        late->write("HTTP/1.1 302 Found\r\nLocation: /late\r\nContent-Length: 0\r\n\r\n");
        late->flush();
    }
    w.holdLoad("/last");
    w.qt.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.reports,
              (std::vector<std::string>{"about:blank", w.at("/SendGpInfo.asp?ErrGpID")}));
}

// Two empty boxes in a window just activated, which gives the first of them the focus.
class KeyboardWorld {
public:
    KeyboardWorld() {
        for (ui::Element* box : boxes)
            box->setText("");
    }
    virtual ~KeyboardWorld() = default;
    // `qtKey` is the key as Qt knows it, 0 for a printable character, which then
    // goes as the character that `key` types.
    virtual void press(const test::Key& key, int qtKey) = 0;
    virtual void focus(int box) = 0;      // the user clicks into the box
    virtual void giveFocus(int box) = 0;  // the program moves the focus there
    virtual void reactivate() = 0;

    // "box kind key shift text," of every event raised, the box by its initial.
    std::string events;
    bool swallowDigits = false;

protected:
    void record(ui::Event& e) {
        if (swallowDigits && e.kind == ui::EventKind::KeyPress && e.key >= '0' && e.key <= '9')
            e.key = 0;
        events += e.target->name().substr(0, 1) + " " + std::to_string(static_cast<int>(e.kind)) +
                  " " + std::to_string(e.key) + " " + std::to_string(e.shift) + " " + e.text + ",";
    }
    std::unique_ptr<ui::Form> form = ui::makeFormLogin();
    ui::Element* boxes[2] = {&form->at("UserName_Txt"), &form->at("SearchForm_Text")};
};

class FakeKeyboardWorld : public KeyboardWorld {
public:
    FakeKeyboardWorld() { focus(0); }
    void press(const test::Key& key, int) override { focus_.press(key, dispatch_); }
    void focus(int box) override { focus_.click(*boxes[box], dispatch_); }
    void giveFocus(int box) override { focus_.give(*boxes[box], dispatch_); }
    void reactivate() override {}

private:
    test::Focus focus_;
    // As the main window does: the user's text becomes the box's.
    test::Dispatch dispatch_ = [this](ui::Event& e) {
        record(e);
        if (e.kind == ui::EventKind::UserText)
            e.target->setText(e.text);
    };
};

class QtKeyboardWorld : public KeyboardWorld {
public:
    QtKeyboardWorld() {
        for (int i = 0; i < 2; ++i)
            widgets[i] = new qt::TextBoxWidget(
                *boxes[i], [this](ui::Event& e) { record(e); }, &window);
        widgets[1]->move(0, 40);
        window.show();
        activate(&window);
    }
    void press(const test::Key& key, int qtKey) override {
        QWidget* box = QApplication::focusWidget();
        const Qt::KeyboardModifiers mods = key.shift ? Qt::ShiftModifier : Qt::NoModifier;
        if (qtKey == 0)
            QTest::keyClick(box, static_cast<char>(key.character), mods);
        else
            QTest::keyClick(box, static_cast<Qt::Key>(qtKey), mods);
    }
    void focus(int box) override { QTest::mouseClick(widgets[box], Qt::LeftButton, {}, {5, 5}); }
    void giveFocus(int box) override { widgets[box]->focusQuietly(); }
    void reactivate() override {
        QWidget other;
        other.show();
        activate(&other);
        activate(&window);
    }

private:
    static void activate(QWidget* w) {
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    }
    QWidget window;
    qt::TextBoxWidget* widgets[2] = {};
};

template <typename World>
using KeyboardContract = Contract<World>;
using KeyboardWorlds = ::testing::Types<FakeKeyboardWorld, QtKeyboardWorld>;
TYPED_TEST_SUITE(KeyboardContract, KeyboardWorlds);

// What each key raises, in order, on a box with the cursor at the end of its text;
// the focus moving between boxes, and not moving when the window comes back.
TYPED_TEST(KeyboardContract, KeysAndFocusRaiseTheSameEvents) {
    auto& w = this->w;
    for (const int box : {1, 0, 1})
        w.focus(box);
    const std::pair<test::Key, int> keys[] = {
        {test::characterKey('a'), 0},          {test::characterKey('B'), 0},
        {test::characterKey('6'), 0},          {test::characterKey(' '), 0},
        {test::kBackspace, Qt::Key_Backspace}, {test::kDelete, Qt::Key_Delete},
        {test::kKeyDown, Qt::Key_Down},        {test::kReturn, Qt::Key_Return},
        {test::kEscape, Qt::Key_Escape}};
    for (const auto& [key, qt] : keys)
        w.press(key, qt);
    w.swallowDigits = true;  // a handler that takes the character away
    w.press(test::characterKey('7'), 0);
    w.reactivate();
    // Event kinds: 5 KeyDown, 6 KeyPress, 7 GotFocus, 8 LostFocus, 11 UserText.
    EXPECT_EQ(w.events,
              "U 7 0 0 ,U 8 0 0 ,S 7 0 0 ,S 8 0 0 ,U 7 0 0 ,U 8 0 0 ,S 7 0 0 ,"
              "S 5 65 0 ,S 6 97 0 ,S 11 0 0 a,S 5 16 1 ,S 5 66 1 ,S 6 66 0 ,S 11 0 0 aB,"
              "S 5 54 0 ,S 6 54 0 ,S 11 0 0 aB6,S 5 32 0 ,S 6 32 0 ,S 11 0 0 aB6 ,"
              "S 5 8 0 ,S 6 8 0 ,S 11 0 0 aB6,S 5 46 0 ,S 5 40 0 ,S 5 13 0 ,S 6 13 0 ,"
              "S 5 27 0 ,S 6 27 0 ,S 5 55 0 ,S 6 0 0 ,");
}

// The focus the program gives a box is told when the user first acts there, with
// a key or a click; given and taken away untouched, it is never told at all.
TYPED_TEST(KeyboardContract, FocusTheProgramGivesIsToldWhenTheUserActs) {
    auto& w = this->w;
    for (const int box : {1, 0, 1})
        w.giveFocus(box);
    w.press(test::characterKey('a'), 0);
    w.giveFocus(0);
    w.focus(0);
    w.giveFocus(1);
    w.focus(1);
    EXPECT_EQ(w.events,
              "U 7 0 0 ,U 8 0 0 ,S 7 0 0 ,S 5 65 0 ,S 6 97 0 ,S 11 0 0 a,S 8 0 0 ,"
              "U 7 0 0 ,U 8 0 0 ,S 7 0 0 ,");
}

// A tick runs to completion and may stop or restart its own timer.
class TimerWorld {
public:
    virtual ~TimerWorld() = default;
    virtual platform::Timers& timers() = 0;
    virtual void run(int ms) = 0;  // lets that much time pass
};

class FakeTimerWorld : public TimerWorld {
public:
    platform::Timers& timers() override { return clock; }
    void run(int ms) override { clock.advance(ms); }
    test::VirtualClock clock;
};

// Real time: the cases hold however late a busy machine delivers a tick.
class QtTimerWorld : public TimerWorld {
public:
    platform::Timers& timers() override { return qt; }
    void run(int ms) override { QTest::qWait(ms); }
    qt::QtTimers qt;
};

template <typename World>
using TimerContract = Contract<World>;
using TimerWorlds = ::testing::Types<FakeTimerWorld, QtTimerWorld>;
TYPED_TEST_SUITE(TimerContract, TimerWorlds);

TYPED_TEST(TimerContract, TicksStopRestartAndReplaceTheirTimers) {
    auto& w = this->w;
    platform::Timers& timers = w.timers();
    int once = 0, slowed = 0, replaced = 0, fresh = 0, slow = 0;
    const int k1 = 0, k2 = 0, k3 = 0, k4 = 0;
    timers.start(&k1, 10, [&] { ++once, timers.stop(&k1); });
    timers.start(&k2, 10, [&] { ++slowed, timers.start(&k2, 60000, [&] { ++slowed; }); });
    timers.start(&k3, 10, [&] { ++replaced; });
    timers.start(&k3, 10, [&] { ++fresh; });
    timers.start(&k4, 60000, [&] { ++slow; });
    timers.stop(&once);  // never started: nothing happens
    w.run(200);
    EXPECT_EQ(std::tuple(once, slowed, replaced, slow), std::tuple(1, 1, 0, 0));
    EXPECT_GE(fresh, 1);
    timers.stop(&k3);
    const int stopped = fresh;
    w.run(50);
    EXPECT_EQ(fresh, stopped);
}

}  // namespace
}  // namespace tallyro::contract
