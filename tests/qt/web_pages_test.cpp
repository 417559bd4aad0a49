// The visible web pages through the real view: what each web element has really
// loaded, with a stand-in engine library that records every load. The model
// asks for the advertisement on every page switch; only a shown page loads.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include "qt/element_widgets.h"
#include "qt_client.h"

namespace tallyro::qt {
namespace {

constexpr const char* kBase = "http://127.0.0.1:9";

bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class WebPagesTest : public QtClientTest {
protected:
    WebPagesTest() {
        WebHost::setEngineLibrary(QStringLiteral(TALLYRO_FAKE_WEB_VIEW));
        start(kBase);
    }

    QStringList loads(const char* name) {
        auto* host = static_cast<WebHost*>(windows.widgetOf(form->el(name)));
        return host && host->view() ? host->view()->property("loads").toStringList()
                                    : QStringList{};
    }
    bool engineUp(const char* name) {
        auto* host = static_cast<WebHost*>(windows.widgetOf(form->el(name)));
        return host && host->view();
    }
    // A real mouse click on the window at the middle of an element.
    void clickOn(const char* name, std::int16_t index) {
        QWidget* window = windows.windowOf(form->form());
        const QPoint at = windows.rectInWindow(form->el(name, index)).center();
        QWidget* under = window->childAt(at);
        QWidget* target = under ? under : window;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, at));
    }
};

TEST_F(WebPagesTest, APageLoadsWhenShownAndOnlyThen) {
    ASSERT_TRUE(waitFor([&] { return engineUp("WebAD"); }));
    // The login page hides the advertisement: asked for at start, not loaded.
    QApplication::processEvents();
    EXPECT_TRUE(loads("WebAD").isEmpty());

    udp.arrive("LoginOk");
    ASSERT_TRUE(waitFor([&] { return !loads("WebAD").isEmpty(); }));
    EXPECT_EQ(loads("WebAD"), QStringList{QString(kBase) + "/ad.asp"});

    clickOn("ToolsTree_Bot", 3);
    ASSERT_TRUE(waitFor([&] { return !loads("WebQuestion").isEmpty(); }));
    EXPECT_EQ(loads("WebQuestion"), QStringList{QString(kBase) + "/Question.asp"});
    clickOn("ToolsTree_Bot", 4);
    ASSERT_TRUE(waitFor([&] { return loads("WebQuestion").size() == 2; }));
    EXPECT_EQ(loads("WebQuestion").last(), QString(kBase) + "/Computer.asp");
    // The advertisement stays in view on these pages and reloads with each switch.
    EXPECT_EQ(loads("WebAD").size(), 3);
    clickOn("ToolsTree_Bot", 1);
    ASSERT_TRUE(waitFor([&] { return loads("WebAD").size() == 4; }));
    // The index button's loading page hides it: asked for, not loaded.
    clickOn("SearchDapan_shanghai", -1);
    ASSERT_EQ(browser.navigations.size(), 1u);
    QApplication::processEvents();
    EXPECT_EQ(loads("WebAD").size(), 4);
}

}  // namespace
}  // namespace tallyro::qt
