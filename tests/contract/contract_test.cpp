// One contract, two implementations: the fakes the core tests drive and the Qt
// binding the client runs on meet the same cases here, so that what the core
// tests assume of the platform is what the platform does. Each suite is typed
// over a Fake world (virtual clock, fake browser, fake keyboard) and a Qt world
// (offscreen widgets, a local HTTP server, real timers).
#include <gtest/gtest.h>

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <map>
#include <memory>

#include "fake_keyboard.h"
#include "fake_platform.h"
#include "qt/element_widgets.h"
#include "qt/qt_platform.h"
#include "qt/redirect_browser.h"
#include "ui/designs.h"

namespace tallyro::contract {
namespace {

// ---- The browser: where a navigation ends, what is shown, when it is told.

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
    void redirect(const std::string& path, const std::string& to) { redirects[path] = to; }
    void fail(const std::string& path) { failing.insert(path); }
    void hold(const std::string& path) { held.insert(path); }
    void listen() {
        browser().setNavigated([this](const std::string& address) { reports.push_back(address); });
    }

    std::vector<std::string> reports;

protected:
    std::map<std::string, std::string> redirects;
    std::set<std::string> failing, held;
};

// The fake browser with the test as its network: a load under way is finished
// as the table says when the event loop runs.
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

// The Qt browser against a minimal HTTP/1.1 server on loopback.
class QtBrowserWorld : public BrowserWorld {
public:
    QtBrowserWorld() {
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { answer(s); });
        });
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        listen();
    }
    platform::AnalysisBrowser& browser() override { return qt; }
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

private:
    void answer(QTcpSocket* s) {
        if (!s->peek(s->bytesAvailable()).contains("\r\n\r\n"))
            return;
        const std::string path = s->readAll().split(' ').value(1).toStdString();
        if (held.contains(path))
            return;
        QByteArray reply = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n";
        if (redirects.contains(path))
            reply = "HTTP/1.1 302 Found\r\nContent-Length: 4\r\nLocation: " +
                    QByteArray::fromStdString(redirects[path]) + "\r\n";
        if (failing.contains(path))
            reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n";
        s->write(reply + "Connection: close\r\n\r\npage");
        s->disconnectFromHost();
    }

    QTcpServer server;
    qt::RedirectBrowser qt;
};

template <typename World>
class BrowserContract : public ::testing::Test {
protected:
    World w;
    platform::AnalysisBrowser& browser() { return w.browser(); }
    // Navigates to a page and waits for its report: every report before it has come.
    void sync() {
        browser().navigate(w.at("/sync"));
        ASSERT_TRUE(w.waitReports(w.reports.size() + 1));
        ASSERT_EQ(w.reports.back(), w.at("/sync"));
        w.reports.pop_back();
    }
};
using BrowserWorlds = ::testing::Types<FakeBrowserWorld, QtBrowserWorld>;
TYPED_TEST_SUITE(BrowserContract, BrowserWorlds);

// A page, a chain of redirects and an error page each end where they end, and
// that is shown; an address that cannot be reached is told but shows nothing new.
TYPED_TEST(BrowserContract, NavigationsEndOnTheLastAddressReached) {
    auto& w = this->w;
    this->browser().navigate(w.at("/a"));
    EXPECT_EQ(this->browser().documentAddress(), "");  // nothing shown until it finishes
    ASSERT_TRUE(w.waitReports(1));
    w.redirect("/RequestGpInfo.asp", "/hop");
    w.redirect("/hop", "/SendGpInfo.asp?x");
    this->browser().navigate(w.at("/RequestGpInfo.asp"));
    ASSERT_TRUE(w.waitReports(2));
    EXPECT_EQ(this->browser().documentAddress(), w.at("/SendGpInfo.asp?x"));
    w.fail("/missing");
    this->browser().navigate(w.at("/missing"));
    ASSERT_TRUE(w.waitReports(3));
    EXPECT_EQ(this->browser().documentAddress(), w.at("/missing"));
    const std::string refused = w.refused();
    this->browser().navigate(refused);
    ASSERT_TRUE(w.waitReports(4));
    EXPECT_EQ(this->browser().documentAddress(), w.at("/missing"));
    EXPECT_EQ(w.reports, (std::vector<std::string>{w.at("/a"), w.at("/SendGpInfo.asp?x"),
                                                   w.at("/missing"), refused}));
}

// The empty page is shown at once and told later, from the event loop; a newer
// navigation abandons the one under way, whose report never comes.
TYPED_TEST(BrowserContract, TheEmptyPageIsToldLaterAndAbandonedLoadsNever) {
    auto& w = this->w;
    this->browser().navigate("about:blank");
    EXPECT_EQ(this->browser().documentAddress(), "about:blank");
    EXPECT_TRUE(w.reports.empty());
    ASSERT_TRUE(w.waitReports(1));
    w.hold("/slow");
    this->browser().navigate(w.at("/slow"));
    this->browser().navigate(w.at("/b"));
    this->browser().navigate("about:blank");
    this->browser().navigate(w.at("/c"));
    ASSERT_TRUE(w.waitReports(2));
    this->sync();
    EXPECT_EQ(w.reports, (std::vector<std::string>{"about:blank", w.at("/c")}));
    EXPECT_EQ(this->browser().documentAddress(), w.at("/sync"));
}

// ---- The text box: the events one key and one click raise.

// Two empty boxes in a window just activated, which gives the first of them the
// focus.
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

    // "box kind key shift text" of every event raised.
    std::vector<std::string> events;
    bool swallowDigits = false;

protected:
    void record(ui::Event& e) {
        if (swallowDigits && e.kind == ui::EventKind::KeyPress && e.key >= '0' && e.key <= '9')
            e.key = 0;
        events.push_back(e.target->name() + " " + std::to_string(static_cast<int>(e.kind)) + " " +
                         std::to_string(e.key) + " " + std::to_string(e.shift) + " " + e.text);
    }
    std::unique_ptr<ui::Form> form = ui::makeFormLogin();
    ui::Element* boxes[2] = {&form->at("UserName_Txt"), &form->at("SearchForm_Text")};
};

class FakeKeyboardWorld : public KeyboardWorld {
public:
    FakeKeyboardWorld() { focus(0); }
    void press(const test::Key& key, int) override { test::pressKey(focus_, key, dispatch_); }
    void focus(int box) override { test::moveFocus(focus_, *boxes[box], dispatch_); }
    void giveFocus(int box) override { test::giveFocus(focus_, *boxes[box], dispatch_); }
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
    void focus(int box) override {
        QTest::mouseClick(widgets[box], Qt::LeftButton, {}, QPoint(5, 5));
    }
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
class KeyboardContract : public ::testing::Test {
protected:
    World w;
};
using KeyboardWorlds = ::testing::Types<FakeKeyboardWorld, QtKeyboardWorld>;
TYPED_TEST_SUITE(KeyboardContract, KeyboardWorlds);

// What each key raises, in order, on a box with the cursor at the end of its text;
// the focus moving between boxes, and not moving when the window comes back.
TYPED_TEST(KeyboardContract, KeysAndFocusRaiseTheSameEvents) {
    auto& w = this->w;
    w.focus(1);
    w.focus(0);
    w.focus(1);
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
    const std::string down = "SearchForm_Text 5 ", press = "SearchForm_Text 6 ",
                      text = "SearchForm_Text 11 0 0 ";
    EXPECT_EQ(w.events, (std::vector<std::string>{"UserName_Txt 7 0 0 ",
                                                  "UserName_Txt 8 0 0 ",
                                                  "SearchForm_Text 7 0 0 ",
                                                  "SearchForm_Text 8 0 0 ",
                                                  "UserName_Txt 7 0 0 ",
                                                  "UserName_Txt 8 0 0 ",
                                                  "SearchForm_Text 7 0 0 ",
                                                  down + "65 0 ",
                                                  press + "97 0 ",
                                                  text + "a",
                                                  down + "16 1 ",
                                                  down + "66 1 ",
                                                  press + "66 0 ",
                                                  text + "aB",
                                                  down + "54 0 ",
                                                  press + "54 0 ",
                                                  text + "aB6",
                                                  down + "32 0 ",
                                                  press + "32 0 ",
                                                  text + "aB6 ",
                                                  down + "8 0 ",
                                                  press + "8 0 ",
                                                  text + "aB6",
                                                  down + "46 0 ",
                                                  down + "40 0 ",
                                                  down + "13 0 ",
                                                  press + "13 0 ",
                                                  down + "27 0 ",
                                                  press + "27 0 ",
                                                  down + "55 0 ",
                                                  press + "0 0 "}));
}

// The focus the program gives a box is told when the user first acts there, with
// a key or a click; given and taken away untouched, it is never told at all.
TYPED_TEST(KeyboardContract, FocusTheProgramGivesIsToldWhenTheUserActs) {
    auto& w = this->w;
    w.giveFocus(1);
    w.giveFocus(0);
    w.giveFocus(1);
    w.press(test::characterKey('a'), 0);
    w.giveFocus(0);
    w.focus(0);
    w.giveFocus(1);
    w.focus(1);
    EXPECT_EQ(w.events,
              (std::vector<std::string>{"UserName_Txt 7 0 0 ", "UserName_Txt 8 0 0 ",
                                        "SearchForm_Text 7 0 0 ", "SearchForm_Text 5 65 0 ",
                                        "SearchForm_Text 6 97 0 ", "SearchForm_Text 11 0 0 a",
                                        "SearchForm_Text 8 0 0 ", "UserName_Txt 7 0 0 ",
                                        "UserName_Txt 8 0 0 ", "SearchForm_Text 7 0 0 "}));
}

// ---- Timers: a tick runs to completion and may stop or restart its own timer.

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
class TimerContract : public ::testing::Test {
protected:
    World w;
};
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
    EXPECT_EQ(once, 1);
    EXPECT_EQ(slowed, 1);
    EXPECT_EQ(replaced, 0);
    EXPECT_GE(fresh, 1);
    EXPECT_EQ(slow, 0);
    timers.stop(&k3);
    const int stopped = fresh;
    w.run(50);
    EXPECT_EQ(fresh, stopped);
}

}  // namespace
}  // namespace tallyro::contract
