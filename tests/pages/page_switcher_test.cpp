// The page switcher: the neutral state, every page, widening and narrowing,
// the tab pictures and the tab bar.
#include "client_fixture.h"

namespace tallyro::app {
namespace {

using test::ClientTest;

const char* const kLoginElements[] = {"UserName_Label",  "UserName_border", "PassWord_Label",
                                      "PassWord_border", "Login_Bot",       "Jion_Label",
                                      "RePass_Label",    "Web_Label",       "Logo",
                                      "Chk_AutoLogin",   "LebAutoLogin"};
const char* const kPageElements[] = {"Login_Txt",     "LoginClose_Bot", "LoadingLogo",
                                     "Main_Logo",     "Info_UserName",  "ToolsTree",
                                     "Frame_Search",  "WebAD",          "SearchClose_Bot",
                                     "Frame_results", "WebQuestion"};

class PageSwitcherTest : public ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    void show(const char* page) { form->pages().ShowPage(page); }
    std::vector<std::string> visible() {
        std::vector<std::string> out;
        for (const char* n : kLoginElements) {
            if (el(n).visible())
                out.push_back(n);
        }
        for (const char* n : kPageElements) {
            if (el(n).visible())
                out.push_back(n);
        }
        for (std::int16_t i = 1; i <= 8; ++i) {
            if (el("Pic_Load", i).visible())
                out.push_back("Pic_Load" + std::to_string(i));
        }
        return out;
    }
    std::vector<int> tabs() {
        std::vector<int> out;
        for (std::int16_t i = 1; i <= 5; ++i)
            out.push_back(el("ToolsTree_Bot", i).picture());
        return out;
    }
};

TEST_F(PageSwitcherTest, UnknownPageLeavesTheNeutralState) {
    show("QuestionPage");
    el("PlayFlash").setEnabled(true);
    show("NoSuchPage");
    EXPECT_TRUE(visible().empty());
    EXPECT_FLOAT_EQ(form->form().window().width(), 3600);
    EXPECT_EQ(tabs(), (std::vector<int>{127, 131, 142, 144, 129}));
    EXPECT_FALSE(fake.clock.running(&el("PlayFlash")));
    show("loginpage");  // names are compared exactly
    EXPECT_TRUE(visible().empty());
}

TEST_F(PageSwitcherTest, LoadingPageStartsTheAnimationAndTheTimeOut) {
    state().TempPlayNum = 7;
    state().TempPlayFx = "左";
    show("LoadingPage");
    EXPECT_EQ(visible(),
              (std::vector<std::string>{"Login_Txt", "LoginClose_Bot", "LoadingLogo", "Pic_Load1",
                                        "Pic_Load2", "Pic_Load3", "Pic_Load4", "Pic_Load5",
                                        "Pic_Load6", "Pic_Load7", "Pic_Load8"}));
    EXPECT_EQ(el("Login_Txt").text(), "正在获取登录信息");
    EXPECT_EQ(state().TempPlayNum, 0);
    EXPECT_EQ(state().TempPlayFx, "右");
    EXPECT_TRUE(fake.clock.running(&el("PlayFlash")));
    EXPECT_TRUE(fake.clock.running(&el("Timer_Monitor")));
}

TEST_F(PageSwitcherTest, SearchLoadingPageStartsTheAnswerMonitorNotTheTimeOut) {
    el("SearchGpInfoMonitor").setEnabled(false);
    show("LoadingSearchPage");
    EXPECT_TRUE(el("SearchClose_Bot").visible());
    EXPECT_FALSE(el("LoginClose_Bot").visible());
    EXPECT_FALSE(el("Frame_Search").visible());
    EXPECT_EQ(el("Login_Txt").text(), "正在获取查询数据");
    EXPECT_TRUE(fake.clock.running(&el("SearchGpInfoMonitor")));
    EXPECT_FALSE(fake.clock.running(&el("Timer_Monitor")));
    // Leaving a loading page never stops the monitor.
    click("SearchClose_Bot");
    EXPECT_TRUE(el("Frame_Search").visible());
    EXPECT_TRUE(fake.clock.running(&el("SearchGpInfoMonitor")));
}

TEST_F(PageSwitcherTest, SignedInPagesSelectExactlyOneTab) {
    show("SearchMainPage");
    EXPECT_EQ(visible(), (std::vector<std::string>{"Main_Logo", "Info_UserName", "ToolsTree",
                                                   "Frame_Search", "WebAD"}));
    EXPECT_EQ(tabs(), (std::vector<int>{128, 131, 142, 144, 129}));
    click("ToolsTree_Bot", 2);
    EXPECT_EQ(visible(), (std::vector<std::string>{"Main_Logo", "Info_UserName", "ToolsTree",
                                                   "WebAD", "Frame_results"}));
    EXPECT_EQ(tabs(), (std::vector<int>{127, 132, 142, 144, 129}));
    click("ToolsTree_Bot", 5);  // does nothing
    EXPECT_EQ(tabs(), (std::vector<int>{127, 132, 142, 144, 129}));
    EXPECT_FALSE(el("ToolsTree_Bot", 5).visible());
    click("Bot_CloseSearchMain");
    EXPECT_TRUE(el("Frame_Search").visible());
    EXPECT_EQ(tabs()[0], 128);
}

TEST_F(PageSwitcherTest, WebPagesWidenTheWindowAndTakeTheSearchPanelsPlace) {
    click("ToolsTree_Bot", 3);
    EXPECT_FLOAT_EQ(form->form().window().width(), 6750);
    const ui::Element& web = el("WebQuestion");
    EXPECT_FLOAT_EQ(web.left(), 585);
    EXPECT_FLOAT_EQ(web.top(), 1920);
    EXPECT_FLOAT_EQ(web.width(), 6195);
    EXPECT_FLOAT_EQ(web.height(), 5220);
    EXPECT_EQ(web.location(), "http://web.test/Question.asp");
    EXPECT_FALSE(el("Frame_Search").visible());
    EXPECT_EQ(form->form().window().region().width, 451);
    EXPECT_EQ(tabs()[2], 143);
    click("ToolsTree_Bot", 4);
    EXPECT_EQ(web.location(), "http://web.test/Computer.asp");
    EXPECT_EQ(tabs(), (std::vector<int>{127, 131, 142, 145, 129}));
    click("ToolsTree_Bot", 1);
    EXPECT_FLOAT_EQ(form->form().window().width(), 3600);
    EXPECT_FALSE(web.visible());
    EXPECT_EQ(form->form().window().region().width, 241);
}

TEST_F(PageSwitcherTest, WidenedWindowStaysOnTheScreenAndGoesBackWhenNarrowed) {
    ui::Element& w = form->form().window();
    const float startLeft = w.left();  // 450 twips from the right edge
    click("ToolsTree_Bot", 3);
    EXPECT_FLOAT_EQ(w.left(), 1920 * 15 - 6750);
    click("ToolsTree_Bot", 4);
    EXPECT_FLOAT_EQ(w.left(), 1920 * 15 - 6750);
    click("ToolsTree_Bot", 2);
    EXPECT_FLOAT_EQ(w.left(), startLeft);
    // A window with room to its right widens in place.
    w.setLeft(3000);
    click("ToolsTree_Bot", 3);
    EXPECT_FLOAT_EQ(w.left(), 3000);
    click("ToolsTree_Bot", 1);
    EXPECT_FLOAT_EQ(w.left(), 3000);
}

TEST_F(PageSwitcherTest, EverySwitchReloadsTheAdvertisement) {
    const auto before = el("WebAD").navigations();
    show("LoadingPage");
    show("LoginPage");
    show("SearchMainPage");
    EXPECT_EQ(el("WebAD").navigations(), before + 3);
    EXPECT_EQ(el("WebAD").location(), "http://web.test/ad.asp");
    EXPECT_FALSE(el("LoadingLogo").visible());
}

TEST_F(PageSwitcherTest, LoginPageShowsItsElementsAgain) {
    show("SearchMainPage");
    show("LoginPage");
    EXPECT_EQ(visible().size(), std::size(kLoginElements));
}

}  // namespace
}  // namespace tallyro::app
