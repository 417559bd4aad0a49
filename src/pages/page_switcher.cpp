#include "pages/page_switcher.h"

#include <algorithm>
#include <string>

#include "platform/screen_metrics.h"

namespace tallyro::app {

namespace {

constexpr float kNarrow = 3600;
constexpr float kWide = 6750;

// The elements of the login page; the neutral state hides them.
constexpr const char* kLoginPageElements[] = {
    "UserName_Label", "UserName_border", "PassWord_Label", "PassWord_border",
    "Login_Bot",      "Jion_Label",      "RePass_Label",   "Web_Label",
    "Logo",           "Chk_AutoLogin",   "LebAutoLogin"};

}  // namespace

void PageSwitcher::registerHandlers(Handlers& handlers) {
    handlers.on("ToolsTree_Bot", EventKind::Click,
                [this](Event& e) { ToolsTree_Bot_Click(e.target->index()); });
    handlers.on("Bot_CloseSearchMain", EventKind::Click,
                [this](Event&) { Bot_CloseSearchMain_Click(); });
    handlers.on("SearchClose_Bot", EventKind::Click, [this](Event&) { SearchClose_Bot_Click(); });
}

void PageSwitcher::neutral() {
    for (const char* name : kLoginPageElements)
        c_.el(name).setVisible(false);
    for (std::int16_t i = 1; i <= 8; ++i)
        c_.el("Pic_Load", i).setVisible(false);
    c_.el("Login_Txt").setVisible(false);
    c_.el("LoginClose_Bot").setVisible(false);
    c_.el("PlayFlash").setEnabled(false);
    c_.el("LoadingLogo").setVisible(false);
    c_.el("Timer_Monitor").setEnabled(false);
    for (const char* name : {"Main_Logo", "Info_UserName", "ToolsTree", "Frame_Search", "WebAD",
                             "SearchClose_Bot", "Frame_results", "WebQuestion"}) {
        c_.el(name).setVisible(false);
    }
    setWindowWidth(kNarrow);
    for (std::int16_t i = 1; i <= 5; ++i)
        c_.el("ToolsTree_Bot", i).setPicture(kTabNormal[i - 1]);
    c_.el("WebAD").navigate(c_.deployment.webBase + "/ad.asp");
}

void PageSwitcher::ShowPage(std::string_view page) {
    neutral();
    if (page == kLoadingPage) {
        showLoading("LoginClose_Bot", kTextGettingLogin);
    } else if (page == kLoadingSearchPage) {
        showLoading("SearchClose_Bot", kTextGettingQuery);
    } else if (page == kLoginPage) {
        for (const char* name : kLoginPageElements)
            c_.el(name).setVisible(true);
    } else if (page == kSearchMainPage) {
        for (const char* name :
             {"Main_Logo", "Info_UserName", "ToolsTree", "Frame_Search", "WebAD"}) {
            c_.el(name).setVisible(true);
        }
        c_.el("ToolsTree_Bot", 1).setPicture(kTabSelected[0]);
    } else if (page == kSearchResultPage) {
        for (const char* name :
             {"Frame_results", "ToolsTree", "Main_Logo", "Info_UserName", "WebAD"}) {
            c_.el(name).setVisible(true);
        }
        c_.el("ToolsTree_Bot", 2).setPicture(kTabSelected[1]);
    } else if (page == kQuestionPage) {
        showWebPage("/Question.asp", 3);
    } else if (page == kComputerPage) {
        showWebPage("/Computer.asp", 4);
    }
}

void PageSwitcher::showLoading(const char* cancelButton, const char* status) {
    for (std::int16_t i = 1; i <= 8; ++i)
        c_.el("Pic_Load", i).setVisible(true);
    c_.el("Login_Txt").setVisible(true);
    c_.el(cancelButton).setVisible(true);
    c_.el("LoadingLogo").setVisible(true);
    // Every loading page starts its animation with a rightward sweep from dot 1.
    c_.state.TempPlayNum = 0;
    c_.state.TempPlayFx = kSideRight;
    c_.el("PlayFlash").setEnabled(true);
    if (std::string_view(cancelButton) == "LoginClose_Bot") {
        c_.el("Timer_Monitor").setEnabled(true);
    } else {
        c_.el("SearchGpInfoMonitor").setEnabled(true);
    }
    c_.el("Login_Txt").setText(status);
}

void PageSwitcher::showWebPage(const char* path, int tab) {
    for (const char* name : {"Main_Logo", "Info_UserName", "ToolsTree", "WebQuestion"})
        c_.el(name).setVisible(true);
    // The web page takes the search panel's place in the widened window; the
    // panel itself stays hidden and only lends its rectangle.
    setWindowWidth(kWide);
    const ui::Element& win = c_.form.window();
    ui::Element& web = c_.el("WebQuestion");
    const ui::Element& search = c_.el("Frame_Search");
    web.setWidth(win.width() - 555);
    web.setHeight(search.height());
    web.setTop(search.top());
    web.setLeft(search.left());
    web.navigate(c_.deployment.webBase + path);
    c_.el("ToolsTree_Bot", static_cast<std::int16_t>(tab)).setPicture(kTabSelected[tab - 1]);
    c_.el("WebAD").setVisible(true);
}

// Where the window stands when a page changes its width, by its docking side:
// - docked right, its right edge stays: it grows and shrinks to the left and
//   stays docked, flush with the edge when shown, out of view by as much as
//   before when slid out;
// - docked left, its left edge stays;
// - free or docked at the top, it grows to the right; where that would cross the
//   right edge of its screen it moves left just enough (never beyond the
//   screen's left edge), and when it narrows it goes back to where it stood,
//   unless it has been moved since.
float PageSwitcher::leftAtWidth(float width) const {
    const ui::Element& win = c_.form.window();
    const std::string& side = c_.state.TempWindowPosition;
    if (side == kSideRight)
        return win.left() + win.width() - width;
    if (side == kSideLeft)
        return win.left();
    if (width < win.width() && shift_ && shift_->after == win.left())
        return shift_->before;
    if (width > win.width()) {
        const window::DockScreen screen =
            window::screenUnder(window::allScreens(c_.platform.screen), window::pixelsOf(win));
        if (win.left() + width > screen.right)
            return std::max(screen.left, screen.right - width);
    }
    return win.left();
}

void PageSwitcher::setWindowWidth(float width) {
    ui::Element& win = c_.form.window();
    if (width == win.width())
        return;
    const float before = win.left();
    const float left = leftAtWidth(width);
    const bool widening = width > win.width();
    win.setWidth(width);
    win.setLeft(left);
    if (widening && left != before && c_.state.TempWindowPosition != kSideRight) {
        shift_ = Shift{before, left};
    } else if (!widening) {
        shift_.reset();
    }
}

float PageSwitcher::narrowLeft() const {
    return leftAtWidth(kNarrow);
}

void PageSwitcher::ToolsTree_Bot_Click(std::int16_t index) {
    switch (index) {
        case 1:
            ShowPage(kSearchMainPage);
            break;
        case 2:
            ShowPage(kSearchResultPage);
            break;
        case 3:
            ShowPage(kQuestionPage);
            break;
        case 4:
            ShowPage(kComputerPage);
            break;
        default:
            break;
    }
}

void PageSwitcher::Bot_CloseSearchMain_Click() {
    ShowPage(kSearchMainPage);
}

void PageSwitcher::SearchClose_Bot_Click() {
    ShowPage(kSearchMainPage);
}

}  // namespace tallyro::app
