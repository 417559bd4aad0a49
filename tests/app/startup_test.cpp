// Start-up, shutdown and the message popup against real files and the fake platform.
#include "client_fixture.h"
#include "lookup/result_rows.h"
#include "settings/ini_values.h"

namespace tallyro::app {
namespace {

class StartupTest : public test::ClientTest {
protected:
    ui::Element& win() { return form->form().window(); }
    std::string saved(const char* key) {
        return settings::ReadIniValue("WindowMove", key, files.settings);
    }
    int rows() { return lookup::rowCount(form->form()); }
    ui::Form* popup() { return form->formMessage(); }
    ui::Element& pel(const char* name) { return popup()->at(name); }
    using test::ClientTest::send;
    void send(const char* name, ui::EventKind kind, float x = 0, float y = 0) {
        ui::Event e{&pel(name), kind, 0, 0, x, y};
        form->dispatch(e);
    }
};

TEST_F(StartupTest, FirstStartSetsUpTheLinkTrayAdvertTimersAndFavouritesSendingNothing) {
    start();
    ASSERT_TRUE(started && win().visible());
    EXPECT_EQ(state().TempWindowPosition + state().TempWindowCtrl + state().TempAutoLogin,
              "中否No");
    EXPECT_EQ(fake.udp.remoteHost + ":" + std::to_string(fake.udp.remotePort), "127.0.0.9:4116");
    EXPECT_TRUE(fake.udp.sent.empty() && fake.tray.shown && fake.tray.tip == "Tallyro");
    EXPECT_TRUE(fake.tray.owner == &el("IconLogo") && el("WebAD").navigations() == 1);
    EXPECT_FLOAT_EQ(el("Bot_Close").left(), 3045);  // the layout follows the window's size
    EXPECT_EQ(fake.windows.refreshes, 1);           // the whole start-up reaches the view at once
    click("Logo");  // an event without changes still reaches the view, once
    EXPECT_TRUE(fake.windows.refreshes == 2 && fake.windows.lastChangedCount == 0);
    // Only Timer3's clock runs, one tick that gives every hover element its look.
    EXPECT_TRUE(el("Timer3").enabled() && el("SearchGpInfoMonitor").enabled());
    EXPECT_TRUE(fake.clock.running(&el("Timer3")) && fake.clock.runningCount() == 1);
    advance(10);
    EXPECT_TRUE(el("UserName_border").backColor() == 0x262626u && !fake.clock.runningCount());
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

// Else the default; the side is never read.
TEST_F(StartupTest, SavedPlaceIsUsedOnlyWhenWholeAndOnAScreenAndTheAccountOnlyWhenMarked) {
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
    // Only an account marked for remembering fills both boxes, and nothing is sent.
    for (const auto& [sql, boxes] : std::initializer_list<std::pair<const char*, const char*>>{
             {"update [System] set AutoLogin='Yes', UserName='trader', PassWord='900150983CD2';",
              "1 trader 900150983CD2 Yes"},
             {"update [System] set AutoLogin='No';", "0   No"},
             {"delete from [System];", "0   No"}}) {
        test::execSql(files.database, sql);
        start();
        ASSERT_TRUE(started && el("Login_Bot").visible() && fake.udp.sent.empty());
        EXPECT_EQ(std::to_string(el("Chk_AutoLogin").value()) + " " + el("UserName_Txt").text() +
                      " " + el("PassWord_Txt").text() + " " + state().TempAutoLogin,
                  boxes);
    }
}

// A missing or damaged database ends start-up naming it and creating nothing in its place.
TEST_F(StartupTest, UnwritableSettingsRunWithDefaultsAndAnUnusableDatabaseEndsStartUp) {
    test::writeFileBytes(dir / "home", "");
    files.settings = dir / "home" / "cfg" / "config.ini";
    start();
    ASSERT_TRUE(started && win().top() == 450);
    win().move(1234, 567);
    click("Bot_Close");
    EXPECT_TRUE(fake.process.exits == 1 && fake.process.fatals.empty());
    EXPECT_EQ(test::readFileBytes(dir / "home"), "");
    // Not saved, and said so: also through a settings file that links to nowhere.
    files.settings = dir / "link.ini";
    std::filesystem::create_symlink(dir / "gone" / "config.ini", files.settings);
    start();
    click("Bot_Close");
    EXPECT_NE(fake.process.warnings.at(1).find((dir / "link.ini").string()), std::string::npos);
    std::filesystem::remove(files.database);
    start();
    EXPECT_FALSE(started || fake.tray.shown || win().visible() || exists(files.database));
    EXPECT_NE(fake.process.fatals.at(0).find(files.database.string()), std::string::npos);
    test::writeFileBytes(files.database, std::string(4096, '\x5a'));
    start();
    EXPECT_FALSE(started || fake.process.fatals.size() != 2);
}

// Closing from outside is the close button; without a tray there is no icon to remove.
TEST_F(StartupTest, CloseSavesTheNarrowWindowsPlaceAndExitSavesNothing) {
    start();
    win().move(1234, 567);
    ui::Event close{&win(), ui::EventKind::CloseRequest};
    form->dispatch(close);
    EXPECT_TRUE(fake.process.exits == 1 && !fake.tray.shown);
    EXPECT_EQ(saved("MainTop") + " " + saved("MainLeft") + " " + saved("MainVisible"),
              "567 1234 中");
    click("Bot_Min");  // without a tray, minimise keeps the window in reach
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
    win().move(3000, 3000);
    form->ExitSoft();
    EXPECT_TRUE(fake.process.exits == 3 && fake.tray.removes == 2);
    EXPECT_EQ(test::readFileBytes(files.settings), ini);
}

// Above the taskbar, reused while open; its lit close button captures the pointer.
TEST_F(StartupTest, PopupStandsOnTheTaskbarOrTheScreensBottomEdgeAndIsReusedWhileOpen) {
    start();
    fake.udp.arrive("Msg|first|42");  // its title and close button are checked through Qt
    const ui::Element& w = popup()->window();
    // A 40-pixel taskbar at the bottom: the popup's bottom touches its top edge.
    EXPECT_EQ((std::array{w.left(), w.top(), w.width(), w.height()}),
              (std::array<float, 4>{1920 * 15 - 3900 - 75, 1040 * 15 - 2700, 3900, 2700}));
    EXPECT_EQ(pel("WebSet").location(), "http://web.test/WebSet.asp?MsgID=42");
    ui::Form* first = popup();
    fake.udp.arrive("Msg|second|");
    EXPECT_TRUE(popup() == first && fake.windows.attached.size() == 2u);
    EXPECT_EQ(pel("NewsBt").text() + " " + pel("WebSet").location(),
              "second http://web.test/WebSet.asp?MsgID=");
    const ui::Element& b = pel("Bot_Close");
    const std::array<float, 3> moves[] = {
        {100, 100, 111}, {-1, 100, 110}, {b.width(), 0, 111}, {-1, 100, 110}, {0, b.height(), 111}};
    for (const auto& [x, y, picture] : moves) {
        send("Bot_Close", ui::EventKind::MouseMove, x, y);
        EXPECT_EQ(b.picture(), picture) << x << "," << y;
        EXPECT_EQ(fake.windows.captured, picture == 111 ? &b : nullptr);
    }
    send("Bot_Close", ui::EventKind::Click);  // gone, and the next message makes a new one
    EXPECT_EQ(fake.windows.attached.size(), 1u);
    fake.udp.arrive("Msg|again|2");
    EXPECT_EQ(pel("NewsBt").text(), "again");
    // The taskbar is below the work area, also off the origin and past 16 bits of twips.
    start();
    fake.screen.screen = {0, 100, 3840, 2500};
    fake.screen.work = {0, 100, 3840, 2460};
    fake.udp.arrive("Msg|t|1");
    EXPECT_FLOAT_EQ(popup()->window().top(), 2460 * 15 - 2700);
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

// "开机启动" writes a valid autostart entry that runs the menu entry's command, or the
// program by its quoted path, and takes it away.
TEST_F(StartupTest, StartAtLoginWritesAndRemovesAValidAutostartEntry) {
    files.autostartDir = dir / "config" / "autostart";
    files.program = dir / "my \"apps\" $HOME" / "tallyro";
    start();
    ui::Element& item = form->formMenu().at("Menu_Autostart");
    ASSERT_TRUE(item.visible() && item.value() == 0);
    const auto entry = files.autostartDir / kDesktopEntryName;
    send(item, ui::EventKind::Click);
    ASSERT_EQ(item.value(), 1);
    const std::string text = test::readFileBytes(entry);
    // Quoted for the command line, its escapes escaped again for the entry's strings.
    const std::string exec =
        "\nExec=\"" + dir.path().string() + "/my \\\\\"apps\\\\\" \\\\$HOME/tallyro\"\n";
    EXPECT_NE(text.find(exec), std::string::npos) << text;
    EXPECT_EQ(std::system(("desktop-file-validate '" + entry.string() + "'").c_str()), 0) << text;
    send(item, ui::EventKind::Click);
    EXPECT_TRUE(item.value() == 0 && !std::filesystem::exists(entry));
    files.menuEntry = dir / "tallyro.desktop";
    test::writeFileBytes(files.menuEntry, "[Desktop Entry]\nExec=tallyro --verbose\n");
    EXPECT_NE(StartAtLogin(files.autostartDir, files.program, files.menuEntry)
                  .entryText()
                  .find("\nExec=tallyro --verbose\n"),
              std::string::npos);
    test::writeFileBytes(files.settings, "[Tray]\r\nStartAtLogin=no\r\n");
    start();
    EXPECT_FALSE(form->formMenu().at("Menu_Autostart").visible());
}

}  // namespace
}  // namespace tallyro::app
