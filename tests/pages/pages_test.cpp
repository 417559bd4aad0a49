// Every page, the neutral state, widening, the tabs and the loading dots' sweep.
#include <algorithm>
#include <utility>

#include "client_fixture.h"

namespace tallyro::pages {
namespace {

class PagesTest : public test::ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    void show(const char* page) { form->pages().ShowPage(page); }
    // The elements shown, each followed by a blank; the login page's 11 come first.
    std::string shown() {
        std::string out;
        std::istringstream names(
            "UserName_Label UserName_border PassWord_Label PassWord_border Login_Bot Jion_Label "
            "RePass_Label Web_Label Logo Chk_AutoLogin LebAutoLogin Login_Txt LoginClose_Bot "
            "LoadingLogo Main_Logo Info_UserName ToolsTree Frame_Search WebAD SearchClose_Bot "
            "Frame_results WebQuestion");
        for (std::string n; names >> n;)
            out += el(n).visible() ? n + " " : "";
        int dots = 0;
        for (std::int16_t i = 1; i <= 8; ++i)
            dots += el("Pic_Load", i).visible();
        return dots ? out + std::to_string(dots) + " dots " : out;
    }
    // The pictures of members 1 to n: bitmap numbers each with a blank, or digits above base.
    std::string pictures(const char* name, std::int16_t n, int base) {
        std::string out;
        for (std::int16_t i = 1; i <= n; ++i)
            out += std::to_string(el(name, i).picture() - base) + (base != 0 ? "" : " ");
        return out;
    }
    std::string tabs() { return pictures("ToolsTree_Bot", 5, 0); }
    std::string dots() { return pictures("Pic_Load", 8, 1000); }  // levels 0 to 4 of dots 1 to 8
    bool running(const char* timer) { return el(timer).enabled(); }
    // The control the last page asked to take the focus, then the tabs it selected.
    std::string focus() {
        fake.windows.refresh();
        const ui::Element* f = std::exchange(fake.windows.focused, nullptr);
        std::string out = f ? f->name() + (f->index() > 0 ? std::to_string(f->index()) : "") : "-";
        for (std::int16_t i = 1; i <= 5; ++i)
            out += el("ToolsTree_Bot", i).selected() ? " " + std::to_string(i) : "";
        return out;
    }
};

TEST_F(PagesTest, LoadingPagesStartTheirMonitorAndAnUnknownPageLeavesTheNeutralState) {
    el("SearchGpInfoMonitor").setEnabled(false);
    show("LoadingSearchPage");
    EXPECT_EQ(shown() + focus() + el("Login_Txt").text(),
              "Login_Txt LoadingLogo SearchClose_Bot 8 dots SearchClose_Bot正在获取查询数据");
    EXPECT_TRUE(running("SearchGpInfoMonitor") && !running("Timer_Monitor"));
    click("SearchClose_Bot");  // leaving a loading page never stops the monitor
    EXPECT_TRUE(el("Frame_Search").visible() && running("SearchGpInfoMonitor"));

    show("LoadingPage");
    EXPECT_EQ(shown() + focus() + el("Login_Txt").text(),
              "Login_Txt LoginClose_Bot LoadingLogo 8 dots LoginClose_Bot正在获取登录信息");
    EXPECT_TRUE(running("PlayFlash") && running("Timer_Monitor"));
    show("NoSuchPage");
    EXPECT_EQ(shown() + focus(), "-");
    EXPECT_FALSE(running("PlayFlash") || running("Timer_Monitor"));
    show("LoginPage");
    EXPECT_EQ(std::ranges::count(shown(), ' '), 11);
    EXPECT_EQ(focus(), "UserName_Txt");
    EXPECT_EQ(el("WebAD").navigations(), 1u + 5);  // every switch reloads the advert
}

TEST_F(PagesTest, SignedInPagesSelectExactlyOneTabAndWebPagesWidenTheWindow) {
    show("SearchMainPage");
    EXPECT_EQ(shown() + tabs() + focus(),
              "Main_Logo Info_UserName ToolsTree Frame_Search WebAD "
              "128 131 142 144 129 SearchForm_Text 1");
    click("ToolsTree_Bot", 2);
    EXPECT_EQ(shown() + focus(),
              "Main_Logo Info_UserName ToolsTree WebAD Frame_results SearchGp_Info 2");
    click("ToolsTree_Bot", 5);  // does nothing
    EXPECT_EQ(tabs(), "127 132 142 144 129 ");
    click("Bot_CloseSearchMain");
    EXPECT_EQ(tabs(), "128 131 142 144 129 ");

    // Web pages widen the window, on the screen, and it narrows back to its place.
    ui::Element& w = form->form().window();
    const float startLeft = w.left();  // 450 twips from the right edge
    click("ToolsTree_Bot", 3);
    EXPECT_EQ((std::array{w.left(), w.width(), float(w.region().width)}),
              (std::array<float, 3>{1920 * 15 - 6750, 6750, 450}));
    // The page takes the hidden search panel's place.
    const ui::Element& web = el("WebQuestion");
    EXPECT_EQ((std::array{web.left(), web.top(), web.width(), web.height()}),
              (std::array<float, 4>{585, 1920, 6195, 5220}));
    EXPECT_EQ(web.location(), "http://web.test/Question.asp");
    EXPECT_EQ(shown() + focus(),
              "Main_Logo Info_UserName ToolsTree WebAD WebQuestion ToolsTree_Bot3 3");
    click("ToolsTree_Bot", 4);
    EXPECT_EQ(web.location() + " " + tabs() + focus(),
              "http://web.test/Computer.asp 127 131 142 145 129 ToolsTree_Bot4 4");
    click("ToolsTree_Bot", 2);
    EXPECT_EQ((std::array{w.left(), w.width(), float(w.region().width)}),
              (std::array<float, 3>{startLeft, 3600, 240}));
    w.setLeft(3000);  // with room to its right the window widens in place
    click("ToolsTree_Bot", 3);
    EXPECT_FLOAT_EQ(w.left(), 3000);
    // Docked right it widens to the left; dragged straight up to the top edge it
    // then narrows keeping its left edge, as a window docked at the top does.
    click("ToolsTree_Bot", 2);
    state().TempWindowPosition = context::kSideRight;
    click("ToolsTree_Bot", 3);
    EXPECT_FLOAT_EQ(w.left(), 3000 + 3600 - 6750);
    state().TempWindowPosition = context::kSideTop;
    click("ToolsTree_Bot", 2);
    EXPECT_FLOAT_EQ(w.left(), 3000 + 3600 - 6750);
}

// A frame every 60 ms: 12 rightward, 12 leftward mirroring them, and again; a stopped
// animation keeps its last frame, the next loading page starts again from dot 1.
TEST_F(PagesTest, LoadingDotsSweepRightThenLeftAndRestartFromDotOne) {
    const std::string right[12] = {"40000000", "34000000", "23400000", "12340000",
                                   "01234000", "00123400", "00012340", "00001234",
                                   "00000123", "00000023", "00000003", "00000000"};
    typeText("UserName_Txt", "u");
    click("Login_Bot");
    for (int t = 0; t < 38; ++t) {
        advance(60);
        const std::string& r = right[t % 12];
        EXPECT_EQ(dots(), t % 24 < 12 ? r : std::string(r.rbegin(), r.rend())) << t + 1;
    }
    fake.udp.arrive("Err|Password");
    advance(600);
    EXPECT_EQ(dots(), "00000043");
    click("LoginClose_Bot");
    click("Login_Bot");
    advance(60);
    EXPECT_EQ(dots(), "40000000");
}

}  // namespace
}  // namespace tallyro::pages
