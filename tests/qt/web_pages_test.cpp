// The web pages through the real view, with a stand-in engine that records every load:
// the model asks for the advertisement on every page switch; only a shown page loads.
#include <gtest/gtest.h>

#include "qt/element_widgets.h"
#include "qt_client.h"

namespace tallyro::qt {
namespace {

class WebPagesTest : public QtClientTest {
protected:
    WebPagesTest() {
        WebHost::setEngineLibrary(QStringLiteral(TALLYRO_FAKE_WEB_VIEW));
        start();
    }
    QWidget* view(const char* name) { return static_cast<WebHost*>(widget(name))->view(); }
    QStringList loads(const char* name) {
        return view(name) ? view(name)->property("loads").toStringList() : QStringList{};
    }
    // Waits until the page has loaded `n` addresses, and gives the last.
    QString waitLoads(const char* name, qsizetype n) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return loads(name).size() == n; }, 30000)) << name << n;
        return loads(name).value(n - 1);
    }
    // A real mouse click on the window at the middle of an element.
    void clickOn(const char* name, std::int16_t index = -1) {
        const QPoint at = rect(name, index).center();
        QWidget* target = window()->childAt(at) ? window()->childAt(at) : window();
        click(target, target->mapFrom(window(), at));
    }
};

TEST_F(WebPagesTest, APageLoadsWhenShownAndOnlyThen) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return view("WebAD") != nullptr; }, 30000));
    // The login page hides the advertisement: asked for at start, not loaded.
    QApplication::processEvents();
    EXPECT_TRUE(loads("WebAD").isEmpty());
    udp.arrive("LoginOk");
    EXPECT_EQ(waitLoads("WebAD", 1), "http://127.0.0.1:9/ad.asp");
    clickOn("ToolsTree_Bot", 3);
    EXPECT_EQ(waitLoads("WebQuestion", 1), "http://127.0.0.1:9/Question.asp");
    clickOn("ToolsTree_Bot", 4);
    EXPECT_EQ(waitLoads("WebQuestion", 2), "http://127.0.0.1:9/Computer.asp");
    // The advertisement stays in view on these pages and reloads with each switch.
    EXPECT_EQ(loads("WebAD").size(), 3);
}

}  // namespace
}  // namespace tallyro::qt
