// Pushed messages in the popup: placement above the taskbar, reuse while
// open, a new window after closing, the close button's hover with capture.
#include "client_fixture.h"
#include "text/gbk_codec.h"

namespace tallyro::app {
namespace {

using test::ClientTest;

class PopupTest : public ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    ui::Form* popup() { return form->formMessage(); }
    ui::Element& pel(const char* name) { return popup()->at(name); }
    void hover(float x, float y) {
        Event e{&pel("Bot_Close"), EventKind::MouseMove};
        e.x = x;
        e.y = y;
        form->dispatch(e);
    }
};

TEST_F(PopupTest, MessageOpensAtTheBottomRightAboveTheTaskbar) {
    fake.udp.arrive(*text::utf8ToGbk("Msg|系统通知|42"));  // datagrams are GBK
    ASSERT_NE(popup(), nullptr);
    const ui::Element& w = popup()->window();
    EXPECT_TRUE(w.visible());
    EXPECT_FLOAT_EQ(w.width(), 3900);
    EXPECT_FLOAT_EQ(w.height(), 2700);
    EXPECT_FLOAT_EQ(w.left(), 1920 * 15 - 3900 - 75);
    // A 40-pixel taskbar at the bottom: the popup's bottom touches its top edge.
    EXPECT_FLOAT_EQ(w.top() + w.height(), 1040 * 15);
    EXPECT_EQ(pel("NewsBt").text(), "系统通知");
    EXPECT_EQ(pel("WebSet").location(), "http://web.test/WebSet.asp?MsgID=42");
    EXPECT_FLOAT_EQ(pel("Bot_Close").left(), 3390);
}

TEST_F(PopupTest, WithoutABottomTaskbarThePopupSitsOnTheScreensBottomEdge) {
    fake.screen.work = {0, 0, 1920, 1080};
    fake.udp.arrive("Msg|t|1");
    EXPECT_FLOAT_EQ(popup()->window().top() + 2700, 1080 * 15);
}

TEST_F(PopupTest, SecondMessageReusesTheOpenPopup) {
    fake.udp.arrive("Msg|first|1");
    ui::Form* first = popup();
    fake.udp.arrive("Msg|second|");
    EXPECT_EQ(popup(), first);
    EXPECT_EQ(pel("NewsBt").text(), "second");
    EXPECT_EQ(pel("WebSet").location(), "http://web.test/WebSet.asp?MsgID=");
    EXPECT_EQ(fake.windows.attached.size(), 2u);
}

TEST_F(PopupTest, CloseButtonDestroysItAndTheNextMessageMakesANewOne) {
    fake.udp.arrive("Msg|first|1");
    Event close{&pel("Bot_Close"), EventKind::Click};
    form->dispatch(close);
    EXPECT_EQ(popup(), nullptr);
    EXPECT_EQ(fake.windows.attached.size(), 1u);
    fake.udp.arrive("Msg|again|2");
    ASSERT_NE(popup(), nullptr);
    EXPECT_EQ(pel("NewsBt").text(), "again");
}

TEST_F(PopupTest, CloseButtonHoverCapturesThePointerUntilItLeaves) {
    fake.udp.arrive("Msg|t|1");
    hover(100, 100);
    EXPECT_EQ(pel("Bot_Close").picture(), 111);
    EXPECT_EQ(fake.windows.captured, &pel("Bot_Close"));
    hover(-1, 100);  // outside, even beyond the popup: reported thanks to the capture
    EXPECT_EQ(pel("Bot_Close").picture(), 110);
    EXPECT_EQ(fake.windows.captured, nullptr);
    hover(pel("Bot_Close").width(), 0);  // bounds are inside
    EXPECT_EQ(pel("Bot_Close").picture(), 111);
}

TEST_F(PopupTest, TaskbarHeightOnALargeScreenDoesNotOverflow) {
    // 2400 pixels tall: 36000 twips, more than 16 bits hold.
    fake.screen.screen = {0, 0, 3840, 2400};
    fake.screen.work = {0, 0, 3840, 2360};
    fake.udp.arrive("Msg|t|1");
    EXPECT_FLOAT_EQ(popup()->window().top(), 2360 * 15 - 2700);
}

TEST_F(PopupTest, AWorkAreaThatTellsNothingAboutThisScreenMeansNoTaskbar) {
    // Unreadable, on another monitor, reaching past the screen, empty: the popup
    // stands on the screen's bottom edge, never above its top.
    const platform::PixelRect odd[] = {
        {}, {1920, 0, 3840, 1040}, {0, 0, 1920, 1200}, {0, -40, 1920, 1040}, {0, 500, 1920, 500}};
    for (const auto& work : odd) {
        fake.screen.work = work;
        fake.udp.arrive("Msg|t|1");
        EXPECT_FLOAT_EQ(popup()->window().top(), 1080 * 15 - 2700)
            << work.left << "," << work.top << "," << work.right << "," << work.bottom;
    }
}

}  // namespace
}  // namespace tallyro::app
