// Pushed messages in the popup: placement above the taskbar, reuse while open, the
// close button's hover with capture, a new window after closing.
#include "client_fixture.h"

namespace tallyro::app {
namespace {

class PopupTest : public test::ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    ui::Form* popup() { return form->formMessage(); }
    ui::Element& pel(const char* name) { return popup()->at(name); }
    void send(const char* name, EventKind kind, float x = 0, float y = 0) {
        Event e{&pel(name), kind, 0, 0, x, y};
        form->dispatch(e);
    }
};

TEST_F(PopupTest, MessageOpensAboveTheTaskbarIsReusedWhileOpenAndItsCloseButtonCapturesThePointer) {
    fake.udp.arrive("Msg|first|42");  // its title and close button are checked through Qt
    ASSERT_NE(popup(), nullptr);
    const ui::Element& w = popup()->window();
    // A 40-pixel taskbar at the bottom: the popup's bottom touches its top edge.
    EXPECT_EQ((std::array{w.left(), w.top(), w.width(), w.height()}),
              (std::array<float, 4>{1920 * 15 - 3900 - 75, 1040 * 15 - 2700, 3900, 2700}));
    EXPECT_EQ(pel("WebSet").location(), "http://web.test/WebSet.asp?MsgID=42");
    ui::Form* first = popup();
    fake.udp.arrive("Msg|second|");
    EXPECT_EQ(popup(), first);
    EXPECT_EQ(pel("NewsBt").text() + " " + pel("WebSet").location(),
              "second http://web.test/WebSet.asp?MsgID=");
    EXPECT_EQ(fake.windows.attached.size(), 2u);
    send("Bot_Close", EventKind::MouseMove, 100, 100);
    EXPECT_EQ(pel("Bot_Close").picture(), 111);
    EXPECT_EQ(fake.windows.captured, &pel("Bot_Close"));
    send("Bot_Close", EventKind::MouseMove, -1, 100);  // outside, reported thanks to the capture
    EXPECT_EQ(pel("Bot_Close").picture(), 110);
    EXPECT_EQ(fake.windows.captured, nullptr);
    send("Bot_Close", EventKind::MouseMove, pel("Bot_Close").width(), 0);  // bounds are inside
    EXPECT_EQ(pel("Bot_Close").picture(), 111);
    send("Bot_Close", EventKind::MouseMove, -1, 100);
    send("Bot_Close", EventKind::MouseMove, 0, pel("Bot_Close").height());
    EXPECT_EQ(pel("Bot_Close").picture(), 111);
    send("Bot_Close", EventKind::Click);  // gone, and the next message makes a new one
    EXPECT_EQ(fake.windows.attached.size(), 1u);
    fake.udp.arrive("Msg|again|2");
    ASSERT_NE(popup(), nullptr);
    EXPECT_EQ(pel("NewsBt").text(), "again");
}

// The taskbar is the screen below the work area, also on a screen not at the origin
// and taller than 16 bits of twips hold (2400 pixels: 36000). A work area that tells
// nothing about this screen (the whole screen, unreadable, on another monitor,
// reaching past the screen, empty) means no taskbar: the popup stands on the bottom.
TEST_F(PopupTest, PopupStandsOnTheTaskbarOrTheScreensBottomEdge) {
    fake.screen.screen = {0, 100, 3840, 2500};
    fake.screen.work = {0, 100, 3840, 2460};
    fake.udp.arrive("Msg|t|1");
    EXPECT_FLOAT_EQ(popup()->window().top(), 2360 * 15 - 2700);
    fake.screen.screen = {0, 0, 1920, 1080};
    const platform::PixelRect odd[] = {{0, 0, 1920, 1080},    {},
                                       {1920, 0, 3840, 1040}, {0, 0, 1920, 1200},
                                       {0, -40, 1920, 1040},  {0, 500, 1920, 500},
                                       {960, 0, 960, 1040}};
    for (const auto& work : odd) {
        fake.screen.work = work;
        fake.udp.arrive("Msg|t|1");
        EXPECT_FLOAT_EQ(popup()->window().top(), 1080 * 15 - 2700) << work.left << "," << work.top;
    }
}

}  // namespace
}  // namespace tallyro::app
