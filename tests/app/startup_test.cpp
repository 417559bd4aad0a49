// Start-up and shutdown of the main window against real files: the settings
// file, a real copy of the stock database, and the fake platform.
#include "client_fixture.h"
#include "lookup/result_rows.h"
#include "settings/ini_values.h"
#include "settings/window_settings.h"

namespace tallyro::app {
namespace {

class StartupTest : public test::ClientTest {
protected:
    void writeIni(const std::string& text) { test::writeFileBytes(files.settings, text); }
};

TEST_F(StartupTest, FirstStartWithoutSettingsUsesTheDefaultPlace) {
    start();
    ASSERT_TRUE(started);
    const ui::Element& w = form->form().window();
    EXPECT_TRUE(w.visible());
    EXPECT_FLOAT_EQ(w.width(), 3600);
    EXPECT_FLOAT_EQ(w.height(), 8550);
    EXPECT_FLOAT_EQ(w.top(), 450);
    EXPECT_FLOAT_EQ(w.left(), 1920 * 15 - 3600 - 450);
    EXPECT_EQ(w.region(), (ui::WindowRegion{241, 571, 9, 9}));
    EXPECT_EQ(form->state().TempWindowPosition, "中");
    EXPECT_EQ(form->state().TempWindowCtrl, "否");
    EXPECT_EQ(form->state().TempAutoLogin, "No");
    EXPECT_EQ(form->state().MaxMeWidth, 3600);
}

TEST_F(StartupTest, SetsUpTheLinkTrayAndAdvertWithoutSendingAnything) {
    start();
    EXPECT_EQ(fake.udp.remoteHost, "127.0.0.9");
    EXPECT_EQ(fake.udp.remotePort, 4116);
    EXPECT_TRUE(fake.udp.sent.empty());
    EXPECT_TRUE(fake.tray.shown);
    EXPECT_EQ(fake.tray.tip, "Tallyro");
    EXPECT_EQ(fake.tray.owner, &el("IconLogo"));  // tray activity reaches IconLogo
    EXPECT_EQ(el("WebAD").location(), "http://web.test/ad.asp");
    EXPECT_EQ(el("WebAD").navigations(), 1u);
    EXPECT_TRUE(fake.clock.running(&el("Timer3")));
    EXPECT_TRUE(fake.clock.running(&el("SearchGpInfoMonitor")));
    EXPECT_EQ(fake.clock.runningCount(), 2u);
    // The whole start-up reaches the view as one change set.
    EXPECT_EQ(fake.windows.refreshes, 1);
}

TEST_F(StartupTest, FavouritesFillTheListInStoredOrder) {
    start();
    ASSERT_EQ(lookup::rowCount(form->form()), 8);
    EXPECT_EQ(el("GpID", 1).text(), "sh600000");
    EXPECT_EQ(el("GpName", 1).text(), "浦发银行");
    EXPECT_EQ(el("GpID", 8).text(), "sh601398");
    EXPECT_FLOAT_EQ(el("GpBg", 3).top(), 900);
    EXPECT_FLOAT_EQ(el("GpID", 3).top(), 1050);
    EXPECT_FLOAT_EQ(el("GpName", 3).left(), 1050);
    EXPECT_FLOAT_EQ(el("shoucang", 3).left(), 2150);
    EXPECT_FALSE(el("shoucang", 3).visible());
    EXPECT_TRUE(el("GpBg", 3).visible());
}

TEST_F(StartupTest, EmptyOrLongFavouritesList) {
    test::execSql(files.database, "delete from [SearchList];");
    start();
    EXPECT_EQ(lookup::rowCount(form->form()), 0);

    std::string sql = "delete from [SearchList];";
    for (int i = 1; i <= 25; ++i)
        sql += "insert into [SearchList] values ('sh6000" + std::to_string(10 + i) + "', 'S" +
               std::to_string(i) + "');";
    test::execSql(files.database, sql);
    form->ReGpTj();
    ASSERT_EQ(lookup::rowCount(form->form()), 25);
    EXPECT_FLOAT_EQ(el("GpBg", 25).top(), 24 * 450);  // below the 9000-twip canvas
}

TEST_F(StartupTest, SavedPlaceIsUsedWhenBothNumbersAreThere) {
    writeIni("[WindowMove]\r\nMainTop= 1200 \r\nMainLeft=-300\r\nMainVisible=左\r\n");
    start();
    EXPECT_FLOAT_EQ(form->form().window().top(), 1200);
    EXPECT_FLOAT_EQ(form->form().window().left(), -300);
    EXPECT_EQ(form->state().TempWindowPosition, "中");  // never read back
}

struct BrokenSettings {
    const char* name;
    const char* ini;
};

class BrokenSettingsTest : public StartupTest,
                           public ::testing::WithParamInterface<BrokenSettings> {};

TEST_P(BrokenSettingsTest, FallsBackToTheDefaultPlace) {
    writeIni(GetParam().ini);
    start();
    EXPECT_FLOAT_EQ(form->form().window().top(), 450);
    EXPECT_FLOAT_EQ(form->form().window().left(), 1920 * 15 - 3600 - 450);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, BrokenSettingsTest,
    ::testing::Values(
        BrokenSettings{"EmptyTop", "[WindowMove]\nMainTop=\nMainLeft=100\n"},
        BrokenSettings{"TextTop", "[WindowMove]\nMainTop=abc\nMainLeft=100\n"},
        BrokenSettings{"TextLeft", "[WindowMove]\nMainTop=100\nMainLeft=1e\n"},
        BrokenSettings{"LeftMissing", "[WindowMove]\nMainTop=100\n"},
        BrokenSettings{"OtherSection", "[Other]\nMainTop=100\nMainLeft=100\n"},
        BrokenSettings{"NotAnIniFile", "\x01\x02garbage\xff\xfe"},
        // A place on a monitor that is no longer there.
        BrokenSettings{"OffEveryScreen", "[WindowMove]\nMainTop=3000\nMainLeft=60000\n"},
        BrokenSettings{"AboveTheScreen", "[WindowMove]\nMainTop=-9000\nMainLeft=1000\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupTest, PlaceOnASecondMonitorIsKept) {
    fake.screen.others.push_back({1920, 0, 3840, 1080});
    writeIni("[WindowMove]\nMainTop=3000\nMainLeft=40000\n");
    start();
    EXPECT_FLOAT_EQ(form->form().window().left(), 40000);
}

TEST_F(StartupTest, RememberedAccountFillsBothBoxesAndSendsNothing) {
    test::execSql(files.database,
                  "update [System] set AutoLogin='Yes', UserName='trader', "
                  "PassWord='900150983CD24FB0D6963F7D28E17F72';");
    start();
    EXPECT_EQ(el("Chk_AutoLogin").value(), 1);
    EXPECT_EQ(el("UserName_Txt").text(), "trader");
    EXPECT_EQ(el("PassWord_Txt").text(), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(form->state().TempAutoLogin, "Yes");
    EXPECT_TRUE(el("Login_Bot").visible());
    EXPECT_TRUE(fake.udp.sent.empty());
}

TEST_F(StartupTest, AccountNotMarkedForRememberingLeavesTheBoxesEmpty) {
    test::execSql(files.database,
                  "update [System] set AutoLogin='No', UserName='trader', PassWord='ABC';");
    start();
    EXPECT_EQ(el("UserName_Txt").text(), "");
    EXPECT_EQ(el("PassWord_Txt").text(), "");
    EXPECT_EQ(el("Chk_AutoLogin").value(), 0);
}

TEST_F(StartupTest, EmptyAccountTableMeansNoRememberedAccount) {
    test::execSql(files.database, "delete from [System];");
    start();
    EXPECT_TRUE(started);
    EXPECT_EQ(form->state().TempAutoLogin, "No");
}

TEST_F(StartupTest, MissingDatabaseEndsStartUpNamingTheFile) {
    std::filesystem::remove(files.database);
    start();
    EXPECT_FALSE(started);
    ASSERT_EQ(fake.process.fatals.size(), 1u);
    EXPECT_NE(fake.process.fatals[0].find(files.database.string()), std::string::npos);
    EXPECT_FALSE(fake.tray.shown);  // no icon left behind
    EXPECT_FALSE(form->form().window().visible());
    EXPECT_FALSE(std::filesystem::exists(files.database));  // nothing created in its place
}

TEST_F(StartupTest, DamagedDatabaseEndsStartUp) {
    test::writeFileBytes(files.database, std::string(4096, '\x5a'));
    start();
    EXPECT_FALSE(started);
    EXPECT_EQ(fake.process.fatals.size(), 1u);
}

// No folder takes the settings file: the window starts at its default place and the
// close button ends the program as always, creating nothing anywhere.
TEST_F(StartupTest, UnwritableSettingsPlaceRunsWithDefaultsAndClosesNormally) {
    test::writeFileBytes(dir / "home", "");
    files.settings = dir / "home" / "cfg" / "config.ini";
    start();
    ASSERT_TRUE(started);
    EXPECT_FLOAT_EQ(form->form().window().top(), 450);
    form->form().window().move(1234, 567);
    click("Bot_Close");
    EXPECT_EQ(fake.process.exits, 1);
    EXPECT_TRUE(fake.process.fatals.empty());
    EXPECT_EQ(test::readFileBytes(dir / "home"), "");
}

TEST_F(StartupTest, CloseButtonSavesThePlaceAndEnds) {
    start();
    form->form().window().move(1234, 567);
    click("Bot_Close");
    EXPECT_EQ(fake.process.exits, 1);
    EXPECT_FALSE(fake.tray.shown);
    EXPECT_EQ(settings::ReadIniValue("WindowMove", "MainTop", files.settings), "567");
    EXPECT_EQ(settings::ReadIniValue("WindowMove", "MainLeft", files.settings), "1234");
    EXPECT_EQ(settings::ReadIniValue("WindowMove", "MainVisible", files.settings), "中");
    // Nothing runs after the end.
    click("Bot_Min");
    EXPECT_TRUE(form->form().window().visible());
}

// The next start opens the narrow window: a window widened and moved left to stay
// on the screen saves the place it goes back to when it narrows.
TEST_F(StartupTest, ClosingOnAWidenedPageSavesTheNarrowWindowsPlace) {
    start();
    const float narrowLeft = form->form().window().left();
    form->pages().ShowPage("SearchMainPage");
    click("ToolsTree_Bot", 3);
    ASSERT_LT(form->form().window().left(), narrowLeft);
    click("Bot_Close");
    EXPECT_EQ(settings::ReadIniValue("WindowMove", "MainLeft", files.settings),
              settings::formatSingle(narrowLeft));
    start();
    EXPECT_FLOAT_EQ(form->form().window().left(), narrowLeft);
}

TEST_F(StartupTest, CloseThenStartAgainComesBackToTheSamePlace) {
    start();
    form->form().window().move(-450, 900);
    click("Bot_Close");
    form.reset();
    start();
    EXPECT_FLOAT_EQ(form->form().window().left(), -450);
    EXPECT_FLOAT_EQ(form->form().window().top(), 900);
}

TEST_F(StartupTest, ClosingFromOutsideActsAsTheCloseButton) {
    start();
    Event e{&form->form().window(), EventKind::CloseRequest};
    form->dispatch(e);
    EXPECT_EQ(fake.process.exits, 1);
    EXPECT_EQ(settings::ReadIniValue("WindowMove", "MainTop", files.settings), "450");
}

TEST_F(StartupTest, ExitLeavesTheSettingsFileUntouched) {
    writeIni("[WindowMove]\r\nMainTop=600\r\nMainLeft=600\r\n");
    const std::string before = test::readFileBytes(files.settings);
    start();
    form->form().window().move(3000, 3000);
    form->ExitSoft();
    EXPECT_EQ(fake.process.exits, 1);
    EXPECT_EQ(fake.tray.removes, 1);
    EXPECT_EQ(test::readFileBytes(files.settings), before);
}

TEST_F(StartupTest, ExitWithoutSettingsCreatesNone) {
    start();
    form->ExitSoft();
    EXPECT_FALSE(std::filesystem::exists(files.settings));
}

TEST_F(StartupTest, MinimiseHidesTheWindowAndKeepsEverythingElse) {
    start();
    el("UserName_Txt").setText("typed");
    click("Bot_Min");
    EXPECT_FALSE(form->form().window().visible());
    EXPECT_TRUE(fake.tray.shown);
    EXPECT_EQ(el("UserName_Txt").text(), "typed");
    EXPECT_EQ(fake.process.exits, 0);
}

TEST_F(StartupTest, WithoutANotificationAreaTheProgramRunsOn) {
    fake.tray.available = false;
    start();
    EXPECT_TRUE(started);
    click("Bot_Close");
    EXPECT_EQ(fake.tray.removes, 0);  // nothing to remove
    EXPECT_EQ(fake.process.exits, 1);
}

TEST_F(StartupTest, EventsWithoutChangesStillReachTheViewOnce) {
    start();
    const int before = fake.windows.refreshes;
    Event e{&el("Logo"), EventKind::Click};
    form->dispatch(e);
    EXPECT_EQ(fake.windows.refreshes, before + 1);
    EXPECT_EQ(fake.windows.lastChangedCount, 0u);
}

}  // namespace
}  // namespace tallyro::app
