// The window on a 1920 x 1080 screen (28800 x 16200 twips) unless a case says otherwise.
#include "client_fixture.h"
#include "settings/window_settings.h"

namespace tallyro::window {
namespace {

using ui::EventKind;
constexpr float kScreenW = 28800;

class WindowTest : public test::ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    ui::Element& win() { return form->form().window(); }
    context::WindowState& s() { return state(); }
    void place(float left, float top) { win().move(left, top); }
    // The window as "left top height side", and " hidden" when it is.
    std::string where() {
        std::ostringstream out;
        out << win().left() << ' ' << win().top() << ' ' << win().height() << ' '
            << s().TempWindowPosition << (win().visible() ? "" : " hidden");
        return out.str();
    }
    void send(ui::Element& to, EventKind kind, std::int16_t button, float x = 0, float y = 150) {
        ui::Event e{&to, kind, button, 0, x, y};
        form->dispatch(e);
    }
    void drag(float dx, float dy) {
        send(el("FormTop_Cennet"), EventKind::MouseDown, ui::kButtonLeft, 300);
        send(el("FormTop_Cennet"), EventKind::MouseMove, ui::kButtonLeft, 300 + dx, 150 + dy);
        send(el("FormTop_Cennet"), EventKind::MouseUp, 0);
    }
    // The pointer at pixel (x, y), then as many Timer3 ticks.
    void pointAt(int x, int y, int ticks = 1) {
        movePointer(x, y);
        advance(10 * ticks);
    }
    bool running(const char* timer) { return el(timer).enabled(); }
    void trayClick(std::int16_t button) { send(el("IconLogo"), EventKind::MouseMove, button); }
};

TEST_F(WindowTest, EachDragBranchEndsWhereItShouldAndOnlyTheLeftButtonDrags) {
    const std::tuple<float, float, const char*> cases[] = {
        {600, -900, "3600 2100 8550 中"},
        {-3000, 500, "0 0 15750 左"},                         // exactly at the left edge docks
        {kScreenW - 3600 - 3000, 0, "25200 3000 8550 中"},    // flush right stays free
        {kScreenW - 3600 - 3000 + 1, 0, "25200 0 15750 右"},  // one twip more docks
        {15, -3000, "3015 0 8550 上"},                        // the top keeps the free height
        {-4000, -4000, "0 0 15750 左"}};  // a corner docks to the side, not the top
    for (const auto& [dx, dy, end] : cases) {
        start();
        place(3000, 3000);
        drag(dx, dy);
        EXPECT_EQ(where(), end);
    }
    // Docked, the window comes free on the first move that no longer crosses the edge.
    std::string path;
    for (const auto& [dx, dy] : {std::pair{-1, 4000}, {1, 4000}, {30000, 0}, {-1, 600}}) {
        drag(dx, dy);  // the first still on the edge: stays docked, pinned at the top
        path += where() + ", ";
    }
    EXPECT_EQ(path, "0 0 15750 左, 1 4000 8550 中, 25200 0 15750 右, 25199 600 8550 中, ");
    // Only the left button starts a drag, and any release ends it.
    send(el("FormTop_Left"), EventKind::MouseDown, ui::kButtonRight);
    send(el("FormTop_Left"), EventKind::MouseMove, 0, 900);
    send(el("FormTop_Left"), EventKind::MouseDown, ui::kButtonLeft);
    send(el("FormTop_Left"), EventKind::MouseUp, ui::kButtonMiddle);
    send(el("FormTop_Left"), EventKind::MouseMove, 0, 900);
    EXPECT_EQ(where(), "25199 600 8550 中");
}

TEST_F(WindowTest, SlidesOutInElevenTicksLeavingAStripAndBackOnEverySide) {
    const struct {
        float width, dx, dy, afterTen, afterEleven;  // left, or top for the top edge
    } cases[] = {
        {3600, -3000, 0, -3600, -3525},
        {3600, 30000, 0, kScreenW, kScreenW - 75},
        {3600, 0, -3000, -8550, -8475},
        {6750, 30000, 0, kScreenW - 6750 + 3600, kScreenW - 3225},  // 3150 + 75 stay seen
    };
    for (const auto& c : cases) {
        start();
        win().setWidth(c.width);
        place(3000, 3000);
        drag(c.dx, c.dy);
        const auto at = [&] { return c.dy != 0 ? win().top() : win().left(); };
        const float edge = at();
        pointAt(1919, 1079, 11);  // outside: Timer3 starts the slide out, and stops
        EXPECT_TRUE(!running("Timer3") && at() == c.afterTen) << "after ten ticks: " << at();
        advance(10);
        EXPECT_FLOAT_EQ(at(), c.afterEleven);
        pointAt(c.dy != 0 ? 300 : (c.afterEleven < 0 ? 2 : 1918), 2, 12);  // on the strip
        EXPECT_TRUE(at() == edge && s().TempWindowCtrl == "否") << at();
    }
}

// Left before right before top; a hidden window neither docks nor slides.
TEST_F(WindowTest, AFreeWindowAtAnEdgeDocksOnlyOnceThePointerIsOnIt) {
    const std::tuple<float, int, const char*> cases[] = {
        {0, 1000, "中"}, {0, 10, "左"}, {kScreenW - 3600, 1900, "右"}, {3000, 300, "上"}};
    for (const auto& [left, x, side] : cases) {
        place(left, 0);
        s().TempWindowPosition = "中";
        pointAt(x, 10);
        EXPECT_EQ(s().TempWindowPosition, side) << x;
    }
    place(3000, 3000);
    drag(-3000, 0);
    click("LoginClose_Bot");  // the back button gives a docked window the free height
    click("Bot_Min");
    s().TempWindowPosition = "中";
    pointAt(10, 300);
    EXPECT_EQ(where(), "0 0 8550 中 hidden");
    s().TempWindowPosition = "左";
    pointAt(1000, 300);
    EXPECT_FALSE(running("Timer1"));
}

TEST_F(WindowTest, TwoScreensSideBySideShareNoEdgeAndThePrimaryIsMeasuredWhereItLies) {
    using Screens = std::vector<platform::PixelRect>;
    const Screens right{{1920, 0, 3840, 1200}};
    const std::tuple<Screens, float, float, float, float, const char*> cases[] = {
        {right, 24000, 3000, 4000, 0, "28000 3000 8550 中"},   // onto the second monitor, free
        {right, 28000, 3000, 40000, 0, "54000 0 17550 右"},    // docks at the second's right
        {right, 29000, 3000, -2000, 0, "27000 3000 8550 中"},  // back across, free all the way
        {right, 1500, 15000, -1510, 2000, "0 0 15750 左"},     // below: the nearest, the first
        {{{-1920, -1080, 0, 0}}, 3000, 3000, 0, -4000, "3000 0 8550 上"},      // touching a corner
        {{{0, -1080, 1920, 0}}, 3000, 3000, 0, -4000, "3000 -1000 8550 中"}};  // a screen above
    for (const auto& [others, left, top, dx, dy, end] : cases) {
        fake.screen.others = others;
        place(left, top);
        drag(dx, dy);
        EXPECT_EQ(where(), end);
    }
    // A primary monitor right of another: the window starts, widens and docks on the primary.
    fake.screen.screen = {1920, 0, 3840, 1080};
    fake.screen.work = {1920, 0, 3840, 1040};
    fake.screen.others = {{0, 0, 1920, 1080}};
    start();
    EXPECT_EQ(where(), "53550 450 8550 中");
    form->pages().ShowPage(pages::kComputerPage);
    EXPECT_EQ(where(), "50850 450 8550 中");
    form->pages().ShowPage(pages::kSearchMainPage);
    drag(4000, 0);
    EXPECT_EQ(where(), "54000 0 15750 右");
    fake.udp.arrive("Msg|t|1");  // the popup at the primary's bottom right, on its taskbar
    const ui::Element& popup = form->formMessage()->window();
    EXPECT_EQ((std::array{popup.left(), popup.top()}),
              (std::array<float, 2>{57600 - 3900 - 75, 1040 * 15 - 2700}));
}

TEST_F(WindowTest, AMoveFromOutsideIsWhereTheWindowIsAndFreesIt) {
    place(0, 0);
    drag(-10, 0);
    send(win(), EventKind::Moved, 0, 4500, 1500);
    EXPECT_EQ(where(), "4500 1500 15750 中");
    // Reports that come while a slide moves the window are its own moves.
    place(0, 0);
    s().TempWindowPosition = "左";
    pointAt(1000, 1000, 2);
    send(win(), EventKind::Moved, 0, 0, 0);
    EXPECT_FLOAT_EQ(win().left(), -360);
}

// Docked right a window widens to the left, docked left or free to the right.
TEST_F(WindowTest, WidenedPagesKeepADockedWindowAtItsEdge) {
    form->pages().ShowPage(pages::kSearchMainPage);
    click("ToolsTree_Bot", 3);  // from the default place near the right edge
    std::string path = where();
    pointAt(1500, 100);         // flush with the edge and touched: docked right
    click("ToolsTree_Bot", 4);  // narrows and widens again, both at the edge
    path += ", " + std::to_string(int(win().left() + win().width())) + " " + s().TempWindowPosition;
    click("ToolsTree_Bot", 1);
    EXPECT_EQ(path + ", " + where(), "22050 450 8550 中, 28800 右, 25200 450 8550 右");
    pointAt(1000, 900, 12);  // away: out of view, 5 pixels left on screen
    EXPECT_FLOAT_EQ(win().left(), kScreenW - 75);
    pointAt(1919, 300, 12);  // on the strip: back, and still while the pointer rests
    advance(2000);
    EXPECT_EQ(where(), "25200 450 8550 右");
    EXPECT_TRUE(running("Timer3") && !running("Timer1") && !running("Timer2"));
    EXPECT_EQ(fake.clock.runningCount(), 0u);  // at rest, no clock runs
    // Slid out, a page that widens keeps as much of the window out of view.
    pointAt(1000, 900, 12);
    form->pages().ShowPage(pages::kQuestionPage);
    EXPECT_FLOAT_EQ(win().left(), kScreenW - 6750 + 3525);
    pointAt(1919, 300, 12);
    EXPECT_FLOAT_EQ(win().left(), kScreenW - 6750);
    click("Bot_Close");  // the narrow window's place is saved: flush with the edge
    EXPECT_EQ(settings::savedWindowPosition(files.settings)->left, 25200);
    // Docked at the top near the right edge it moves left to stay on the screen, and back.
    for (const auto& [dx, dy, wide, narrow] :
         {std::tuple{-5000.0f, 0.0f, "0 0 15750 左", "0 0 15750 左"},
          std::tuple{kScreenW - 4000 - 3000, -4000.0f, "22050 0 8550 上", "24800 0 8550 上"}}) {
        start();
        place(3000, 3000);
        drag(dx, dy);
        click("ToolsTree_Bot", 3);
        EXPECT_EQ(where(), wide);
        click("ToolsTree_Bot", 1);
        EXPECT_EQ(where(), narrow);
    }
    // Moved while widened, the window stays where it was put when it narrows.
    click("ToolsTree_Bot", 3);
    drag(-1000, 2000);
    click("ToolsTree_Bot", 1);
    EXPECT_EQ(where(), "21050 2000 8550 中");
}

// The window at its edge, the monitor running, no old slide resuming when it docks again.
TEST_F(WindowTest, ADragOrATrayClickEndsASlideUnderWay) {
    place(3000, 3000);
    drag(-3000, 0);
    pointAt(1000, 1000, 12);
    ASSERT_FLOAT_EQ(win().left(), -3525);
    pointAt(2, 300, 4);  // touched: sliding back
    ASSERT_TRUE(running("Timer2"));
    send(el("FormTop_Cennet"), EventKind::MouseDown, ui::kButtonLeft, 300);
    EXPECT_EQ(
        where() + s().TempWindowCtrl + std::to_string(running("Timer3") && !running("Timer2")),
        "0 0 15750 左否1");
    send(el("FormTop_Cennet"), EventKind::MouseMove, 0, 4300, 3150);  // away: free
    send(el("FormTop_Cennet"), EventKind::MouseUp, 0);
    EXPECT_EQ(where(), "4000 3000 8550 中");
    drag(-5000, 0);  // back to the edge, the pointer resting on the window
    pointAt(100, 300, 200);
    EXPECT_EQ(where() + s().TempWindowCtrl, "0 0 15750 左否");
    pointAt(1000, 1000, 12);
    EXPECT_FLOAT_EQ(win().left(), -3525);
    pointAt(2, 300, 3);
    ASSERT_TRUE(running("Timer2"));
    trayClick(ui::kButtonLeft);
    EXPECT_EQ(where() + std::to_string(running("Timer3") && !running("Timer2")), "0 0 15750 中1");
    pointAt(10, 10);  // the monitor runs: touched, the window docks again
    EXPECT_EQ(s().TempWindowPosition, "左");
}

TEST_F(WindowTest, TrayClickBringsTheMinimisedOrSlidOutWindowBackAtOnceFlushWithItsEdge) {
    place(3000, 3000);
    click("Bot_Min");
    trayClick(ui::kButtonLeft);
    EXPECT_EQ(where(), "3000 3000 8550 中");
    drag(-3000, 0);
    pointAt(1000, 1000, 12);
    ASSERT_FLOAT_EQ(win().left(), -3525);
    trayClick(ui::kButtonLeft);
    advance(500);  // the pointer away has not visited it: it stays
    EXPECT_EQ(where() + s().TempWindowCtrl, "0 0 15750 中否");
    pointAt(10, 10);
    pointAt(1000, 1000);  // visited and left: now it slides
    EXPECT_TRUE(running("Timer1"));
    trayClick(ui::kButtonLeft);
    fake.screen.others = {{1920, 0, 3840, 1080}};
    place(50000, 3000);
    drag(10000, 0);
    pointAt(2500, 900, 12);
    ASSERT_FLOAT_EQ(win().left(), 57600 - 75);
    trayClick(ui::kButtonLeft);
    EXPECT_FLOAT_EQ(win().left(), 57600 - 3600);
}

TEST_F(WindowTest, LinksForExactKeysTheTrayMenuAndMinimiseWithoutANotificationArea) {
    for (const char* link : {"Jion_Label", "RePass_Label", "Web_Label", "Web_Label"})
        click(link);
    form->WindowOpenUrl("web");
    form->WindowOpenUrl("RegUser ");
    EXPECT_EQ(fake.shell.opened, (std::vector<std::string>{"http://web.test/Reg.asp",
                                                           "http://web.test/BusinessRePass.asp",
                                                           "http://web.test", "http://web.test"}));
    fake.shell.opened.clear();
    fake.tray.area = false;
    click("Bot_Min");
    EXPECT_EQ(where(), "24750 450 8550 中");
    fake.tray.area = true;
    trayClick(ui::kButtonRight);
    ASSERT_EQ(fake.tray.menusShown, std::vector<std::string>{"Menu_System"});
    for (const char* item : {"Menu_Web", "Menu_Exit"}) {
        send(form->formMenu().at(item), EventKind::Click, 0);
        EXPECT_EQ(fake.shell.opened, std::vector<std::string>{"http://web.test"});
    }
    EXPECT_TRUE(fake.process.exits == 1 && !std::filesystem::exists(files.settings));
}

// Bot_Close, 29 x 24 pixels at (3045, 30) twips in a window at (4500, 1500), covers pixels 503
// to 531 across; it is tested from 506 to 535 and 102 to 126, bounds included.
TEST_F(WindowTest, HoverRectanglesAreShiftedThreePixelsRightWithInclusiveBounds) {
    place(4500, 1500);
    const std::tuple<int, int, int> points[] = {{505, 110, 110}, {506, 110, 111}, {535, 110, 111},
                                                {536, 110, 110}, {520, 102, 111}, {520, 101, 110},
                                                {520, 126, 111}, {520, 127, 110}};
    for (const auto& [x, y, picture] : points) {
        pointAt(x, y);
        EXPECT_EQ(el("Bot_Close").picture(), picture) << x << "," << y;
    }
    const auto over = [&](const char* name) {  // one pixel inside the shifted rectangle
        pointAt(static_cast<int>((4500 + el(name).left() + 45) / 15) + 1,
                static_cast<int>((1500 + el(name).top()) / 15) + 1);
    };
    over("Web_Label");
    EXPECT_EQ(el("Web_Label").foreColor(), 0xFF7D00u);
    EXPECT_EQ(el("UserName_border").backColor(), 0x262626u);
    EXPECT_EQ(el("Login_Bot").picture(), 121);
    over("Login_Bot");
    EXPECT_EQ(el("Login_Bot").picture(), 122);
    over("LoginClose_Bot");
    EXPECT_EQ(el("LoginClose_Bot").picture() + el("SearchClose_Bot").picture(), 126 + 138);
    EXPECT_EQ(el("Web_Label").foreColor(), 0xFFFF00u);
    pointAt(1000, 1000);  // away from the window: every look normal
    EXPECT_EQ(el("LoginClose_Bot").picture() + el("SearchClose_Bot").picture(), 125 + 137);
}

TEST_F(WindowTest, NothingTicksAtRestButTheMonitorSeesEveryMove) {
    place(3000, 3000);
    pointAt(1000, 800, 2);
    EXPECT_EQ(fake.clock.runningCount(), 0u);
    drag(-3000, 0);
    pointAt(100, 300, 2);
    pointAt(1000, 800, 20);  // slid out
    EXPECT_EQ(where() + s().TempWindowCtrl + std::to_string(fake.clock.runningCount()),
              "-3525 0 15750 左是0");
    pointAt(2, 300, 20);  // the strip: back, shown, the pointer at rest on it
    EXPECT_EQ(where() + std::to_string(fake.clock.runningCount()), "0 0 15750 左0");
    pointAt(240, 300, 5);  // the edge line: inside for the monitor, ticking
    EXPECT_TRUE(fake.clock.running(&el("Timer3")) && s().TempWindowCtrl == "否");
    fake.screen.pointerAt = {241, 300};  // off it without an event: the next tick sees it
    advance(10);
    EXPECT_TRUE(running("Timer1"));
    advance(200);
    EXPECT_EQ(fake.clock.runningCount(), 0u);
    click("Bot_Min");
    pointAt(100, 300, 5);  // over where the hidden window is
    EXPECT_EQ(fake.clock.runningCount(), 0u);
}

// With a message that came meanwhile; with nothing shown it shows the window.
TEST_F(WindowTest, TheBossKeyHidesEveryWindowAndShowsThemAgain) {
    ASSERT_TRUE(fake.keys.held.has_value());
    EXPECT_EQ(form->formMenu().at("Menu_ShowHide").text(), "显示/隐藏 (Ctrl+Alt+Z)");
    place(3000, 3000);
    fake.udp.arrive("Msg|t|1");
    ui::Element& popup = form->formMessage()->window();
    fake.keys.press();
    EXPECT_EQ(where() + (popup.visible() ? " popup" : ""), "3000 3000 8550 中 hidden");
    fake.udp.arrive("Msg|second|2");
    EXPECT_FALSE(popup.visible());
    send(form->formMenu().at("Menu_ShowHide"), EventKind::Click, 0);  // the tray's item
    EXPECT_EQ(where() + (popup.visible() ? " popup" : ""), "3000 3000 8550 中 popup");
    send(form->formMessage()->at("Bot_Close"), EventKind::Click, 0);
    click("Bot_Min");
    fake.keys.press();
    EXPECT_EQ(where(), "3000 3000 8550 中");
    const auto startWith = [&](const std::string& ini) {
        test::writeFileBytes(files.settings, ini);
        fake.process.warnings.clear();
        fake.keys.release();
        start();
    };
    startWith("[Keys]\r\nBossKey=none\r\n");
    EXPECT_FALSE(fake.keys.held || form->formMenu().at("Menu_ShowHide").visible());
    startWith("[Keys]\r\nBossKey=Ctrl+J\r\n");
    EXPECT_EQ(form->formMenu().at("Menu_ShowHide").text(), "显示/隐藏 (Ctrl+J)");
    fake.keys.taken = true;
    startWith("[Keys]\r\nBossKey=Z\r\n");
    EXPECT_EQ(fake.process.warnings,
              (std::vector<std::string>{
                  "config.ini [Keys] BossKey: \"Z\" is not a key like Ctrl+Alt+Z or none; using "
                  "Ctrl+Alt+Z",
                  "the boss key Ctrl+Alt+Z is off: another program holds it"}));
}

}  // namespace
}  // namespace tallyro::window
