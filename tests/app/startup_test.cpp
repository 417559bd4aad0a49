// Start-up and shutdown of the main window against real files: the settings file,
// a real copy of the stock database, and the fake platform.
#include "client_fixture.h"
#include "lookup/result_rows.h"
#include "settings/ini_values.h"
#include "settings/window_settings.h"

namespace tallyro::app {
namespace {

class StartupTest : public test::ClientTest {
protected:
    ui::Element& win() { return form->form().window(); }
    std::string saved(const char* key) {
        return settings::ReadIniValue("WindowMove", key, files.settings);
    }
    int rows() { return lookup::rowCount(form->form()); }
};

// The place and outline are checked through Qt (tests/qt); here what start-up sets up.
TEST_F(StartupTest, FirstStartSetsUpTheLinkTrayAdvertAndTimersWithoutSendingAnything) {
    start();
    ASSERT_TRUE(started && win().visible());
    EXPECT_EQ(state().TempWindowPosition + state().TempWindowCtrl + state().TempAutoLogin,
              "中否No");
    EXPECT_EQ(fake.udp.remoteHost + ":" + std::to_string(fake.udp.remotePort), "127.0.0.9:4116");
    EXPECT_TRUE(fake.udp.sent.empty() && fake.tray.shown && fake.tray.tip == "Tallyro");
    EXPECT_EQ(fake.tray.owner, &el("IconLogo"));  // tray activity reaches IconLogo
    EXPECT_EQ(el("WebAD").navigations(), 1u);
    EXPECT_TRUE(fake.clock.running(&el("Timer3")) && fake.clock.runningCount() == 2 &&
                fake.clock.running(&el("SearchGpInfoMonitor")));
    EXPECT_FLOAT_EQ(el("Bot_Close").left(), 3045);  // the layout follows the window's size
    EXPECT_EQ(fake.windows.refreshes, 1);           // the whole start-up reaches the view at once
    click("Logo");  // an event without changes still reaches the view, once
    EXPECT_TRUE(fake.windows.refreshes == 2 && fake.windows.lastChangedCount == 0);
}

TEST_F(StartupTest, FavouritesFillTheListInStoredOrder) {
    start();
    ASSERT_EQ(rows(), 8);
    EXPECT_EQ(el("GpID", 1).text() + el("GpName", 1).text() + el("GpID", 8).text(),
              "sh600000浦发银行sh601398");
    std::string sql = "delete from [SearchList];";
    for (int i = 11; i <= 35; ++i)
        sql += "insert into [SearchList] values ('sh6000" + std::to_string(i) + "', 'S');";
    test::execSql(files.database, sql);
    form->ReGpTj();
    ASSERT_EQ(rows(), 25);
    EXPECT_FLOAT_EQ(el("GpBg", 25).top(), 24 * 450);  // below the 9000-twip canvas
    test::execSql(files.database, "delete from [SearchList];");
    form->ReGpTj();
    EXPECT_EQ(rows(), 0);
}

// A saved place is used when it lies on a screen; else (or when the file holds none,
// which tests/settings checks line by line) the window starts at its default place.
// The side is saved, never read back.
TEST_F(StartupTest, SavedPlaceIsUsedOnlyWhenWholeAndOnAScreen) {
    const std::tuple<const char*, float, float> cases[] = {
        {"[WindowMove]\r\nMainTop= 1200 \r\nMainLeft=-300\r\nMainVisible=左\r\n", 1200, -300},
        {"[WindowMove]\nMainTop=3000\nMainLeft=40000\n", 3000, 40000},  // on the second monitor
        {"\x01\x02garbage\xff\xfe", 450, 24750},
        {"[WindowMove]\nMainTop=3000\nMainLeft=58000\n", 450, 24750},  // off every screen
        {"[WindowMove]\nMainTop=-9000\nMainLeft=1000\n", 450, 24750},  // above the screens
        {"[WindowMove]\nMainTop=-8550\nMainLeft=0\n", 450, 24750},     // touching the top edge
        {"[WindowMove]\nMainTop=16200\nMainLeft=0\n", 450, 24750},     // touching the bottom
        {"[WindowMove]\nMainTop=0\nMainLeft=-3600\n", 450, 24750}};    // touching the left
    fake.screen.others.push_back({1920, 0, 3840, 1080});
    for (const auto& [ini, top, left] : cases) {
        test::writeFileBytes(files.settings, ini);
        start();
        EXPECT_EQ((std::array{win().top(), win().left()}), (std::array{top, left})) << ini;
        EXPECT_EQ(state().TempWindowPosition, "中");
    }
}

TEST_F(StartupTest, OnlyAnAccountMarkedForRememberingFillsBothBoxesAndNothingIsSent) {
    const std::tuple<const char*, const char*> cases[] = {
        {"update [System] set AutoLogin='Yes', UserName='trader', PassWord='900150983CD2';",
         "1 trader 900150983CD2 Yes"},
        {"update [System] set AutoLogin='No', UserName='trader', PassWord='ABC';", "0   No"},
        {"delete from [System];", "0   No"}};
    for (const auto& [sql, boxes] : cases) {
        test::execSql(files.database, sql);
        start();
        ASSERT_TRUE(started);
        EXPECT_EQ(std::to_string(el("Chk_AutoLogin").value()) + " " + el("UserName_Txt").text() +
                      " " + el("PassWord_Txt").text() + " " + state().TempAutoLogin,
                  boxes);
        EXPECT_TRUE(el("Login_Bot").visible() && fake.udp.sent.empty());
    }
}

// Start-up ends naming the file, leaving no icon and creating nothing in its place.
TEST_F(StartupTest, AMissingOrDamagedDatabaseEndsStartUp) {
    std::filesystem::remove(files.database);
    start();
    EXPECT_FALSE(started || fake.tray.shown || win().visible() || exists(files.database));
    ASSERT_EQ(fake.process.fatals.size(), 1u);
    EXPECT_NE(fake.process.fatals[0].find(files.database.string()), std::string::npos);
    test::writeFileBytes(files.database, std::string(4096, '\x5a'));
    start();
    EXPECT_FALSE(started || fake.process.fatals.size() != 2);
}

// No folder takes the settings file: the window starts at its default place and the
// close button ends the program as always, creating nothing anywhere.
TEST_F(StartupTest, UnwritableSettingsPlaceRunsWithDefaultsAndClosesNormally) {
    test::writeFileBytes(dir / "home", "");
    files.settings = dir / "home" / "cfg" / "config.ini";
    start();
    ASSERT_TRUE(started && win().top() == 450);
    win().move(1234, 567);
    click("Bot_Close");
    EXPECT_TRUE(fake.process.exits == 1 && fake.process.fatals.empty());
    EXPECT_EQ(test::readFileBytes(dir / "home"), "");
}

// Closing from outside acts as the close button: the place is saved and the program
// ends; nothing runs after the end. A window widened and moved left to stay on the
// screen saves the place it goes back to when it narrows. An exit leaves the file as
// it was; without a notification area the program runs on and has no icon to remove.
TEST_F(StartupTest, CloseSavesTheNarrowWindowsPlaceAndExitSavesNothing) {
    start();
    win().move(1234, 567);
    Event close{&win(), EventKind::CloseRequest};
    form->dispatch(close);
    EXPECT_TRUE(fake.process.exits == 1 && !fake.tray.shown);
    EXPECT_EQ(saved("MainTop") + " " + saved("MainLeft") + " " + saved("MainVisible"),
              "567 1234 中");
    click("Bot_Min");
    EXPECT_TRUE(win().visible());
    std::filesystem::remove(files.settings);
    start();
    click("ToolsTree_Bot", 3);
    ASSERT_LT(win().left(), 24750);
    click("Bot_Close");
    EXPECT_EQ(saved("MainLeft"), "24750");
    const std::string ini = test::readFileBytes(files.settings);
    fake.tray.available = false;
    start();
    ASSERT_TRUE(started);
    win().move(3000, 3000);
    form->ExitSoft();
    EXPECT_TRUE(fake.process.exits == 3 && fake.tray.removes == 2);
    EXPECT_EQ(test::readFileBytes(files.settings), ini);
}

}  // namespace
}  // namespace tallyro::app
