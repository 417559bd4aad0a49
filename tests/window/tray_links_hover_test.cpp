// The tray icon's clicks and menu, the links to the web site, and the hover
// looks of the Timer3 tick.
#include "window_fixture.h"

namespace tallyro::window {
namespace {

TEST_F(WindowTest, TrayClickBringsAMinimisedWindowBackWhereItWas) {
    place(3000, 3000);
    click("Bot_Min");
    ASSERT_FALSE(win().visible());
    trayClick(app::kButtonLeft);
    EXPECT_TRUE(win().visible());
    EXPECT_FLOAT_EQ(win().left(), 3000);
    EXPECT_FLOAT_EQ(win().top(), 3000);
}

TEST_F(WindowTest, TrayClickBringsASlidOutWindowBackAtOnceAndItStaysUntilVisited) {
    place(3000, 3000);
    drag(-3000, 0);
    pointAt(1000, 1000);
    for (int i = 0; i < 11; ++i)
        advance(10);
    ASSERT_FLOAT_EQ(win().left(), -3525);
    trayClick(app::kButtonLeft);
    EXPECT_FLOAT_EQ(win().left(), 0);  // no slide: flush at once
    EXPECT_EQ(s().TempWindowPosition, "中");
    EXPECT_EQ(s().TempWindowCtrl, "否");
    for (int i = 0; i < 50; ++i)
        advance(10);
    EXPECT_FLOAT_EQ(win().left(), 0);  // the pointer never came: it stays
    pointAt(10, 10);
    EXPECT_EQ(s().TempWindowPosition, "左");
    pointAt(1000, 1000);  // visited and left: now it slides
    EXPECT_TRUE(fake.clock.running(&el("Timer1")));
}

TEST_F(WindowTest, RightClickOpensTheMenuWhoseItemsOpenTheSiteAndExitWithoutSaving) {
    trayClick(app::kButtonRight);
    ASSERT_EQ(fake.tray.menusShown, std::vector<std::string>{"Menu_System"});
    const auto menuClick = [&](const char* item) {
        app::Event e{&form->formMenu().at(item), app::EventKind::Click};
        form->dispatch(e);
    };
    menuClick("Menu_Web");
    EXPECT_EQ(fake.shell.opened, std::vector<std::string>{"http://web.test"});
    EXPECT_TRUE(win().visible());
    menuClick("Menu_Exit");
    EXPECT_EQ(fake.process.exits, 1);
    EXPECT_FALSE(fake.tray.shown);
    EXPECT_FALSE(std::filesystem::exists(files.settings));
}

TEST_F(WindowTest, WithoutATrayMinimiseLeavesTheWindowInReach) {
    fake.tray.area = false;  // the icon is made, but no notification area shows it
    click("Bot_Min");
    EXPECT_TRUE(win().visible());
    fake.tray.area = true;
    click("Bot_Min");
    EXPECT_FALSE(win().visible());
}

TEST_F(WindowTest, LinksOpenTheirPagesEveryTimeAndOnlyForExactKeys) {
    click("Jion_Label");
    click("RePass_Label");
    click("Web_Label");
    click("Web_Label");
    form->WindowOpenUrl("web");
    form->WindowOpenUrl("RegUser ");
    EXPECT_EQ(fake.shell.opened, (std::vector<std::string>{"http://web.test/Reg.asp",
                                                           "http://web.test/BusinessRePass.asp",
                                                           "http://web.test", "http://web.test"}));
}

// Bot_Close, 29 x 24 pixels at (3045, 30) twips in a window placed at (4500,
// 1500): the element covers pixels 503 to 531 across; the tested rectangle runs
// from 7590 to 8025 twips (pixels 506 to 535) and 1530 to 1890 (102 to 126).
TEST_F(WindowTest, HoverRectangleIsShiftedThreePixelsRightWithInclusiveBounds) {
    place(4500, 1500);
    const ui::Element& button = el("Bot_Close");
    ASSERT_FLOAT_EQ(button.left(), 3045);
    ASSERT_FLOAT_EQ(button.top(), 30);
    const struct {
        int x, y, picture;
    } points[] = {
        {505, 110, 110},  // on the element's left 3 pixels
        {506, 110, 111},  // the left bound itself
        {535, 110, 111},  // 3 pixels beyond the right edge: the right bound
        {536, 110, 110},  //
        {520, 102, 111},  // top bound
        {520, 101, 110},  //
        {520, 126, 111},  // bottom bound
        {520, 127, 110},
    };
    for (const auto& p : points) {
        pointAt(p.x, p.y);
        EXPECT_EQ(button.picture(), p.picture) << p.x << "," << p.y;
    }
}

TEST_F(WindowTest, HoverLooksAndTheSharedCancelRectangle) {
    place(0, 0);
    const ui::Element& link = el("Web_Label");
    pointAt(static_cast<int>((link.left() + 45) / 15) + 1, static_cast<int>(link.top() / 15) + 1);
    EXPECT_EQ(link.foreColor(), 0xFF7D00u);
    EXPECT_EQ(el("UserName_border").backColor(), 0x262626u);  // normal from the first tick
    EXPECT_EQ(el("Login_Bot").picture(), 121);
    const ui::Element& login = el("Login_Bot");
    pointAt(static_cast<int>((login.left() + 45) / 15) + 2, static_cast<int>(login.top() / 15) + 2);
    EXPECT_EQ(el("Login_Bot").picture(), 122);
    const ui::Element& cancel = el("LoginClose_Bot");
    pointAt(static_cast<int>((cancel.left() + 45) / 15) + 1,
            static_cast<int>(cancel.top() / 15) + 1);
    EXPECT_EQ(el("LoginClose_Bot").picture(), 126);
    EXPECT_EQ(el("SearchClose_Bot").picture(), 138);
    EXPECT_EQ(link.foreColor(), 0xFFFF00u);
    pointAt(1000, 1000);  // away from the window: every look normal
    EXPECT_EQ(el("LoginClose_Bot").picture(), 125);
    EXPECT_EQ(el("SearchClose_Bot").picture(), 137);
}

TEST_F(WindowTest, AnIdlePointerRepaintsNothingAndLooksHoldDuringASlide) {
    place(0, 3000);
    pointAt(210, 205);  // over Bot_Close
    ASSERT_EQ(el("Bot_Close").picture(), 111);
    const int before = fake.windows.refreshesWithChanges;
    for (int i = 0; i < 100; ++i)
        advance(10);
    EXPECT_EQ(fake.windows.refreshesWithChanges, before);

    drag(-10, 0);
    ASSERT_EQ(s().TempWindowPosition, "左");
    pointAt(1000, 300);  // away: this tick starts the slide and gives the normal look
    ASSERT_EQ(el("Bot_Close").picture(), 110);
    for (int i = 0; i < 5; ++i)
        advance(10);
    ASSERT_FLOAT_EQ(win().left(), -1800);
    // Where Bot_Close now is: a hover pass would light it, but none runs mid-slide.
    fake.screen.pointerAt = {100, 10};
    advance(10);
    EXPECT_EQ(el("Bot_Close").picture(), 110);
}

}  // namespace
}  // namespace tallyro::window
