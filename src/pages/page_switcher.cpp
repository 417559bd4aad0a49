#include "pages/page_switcher.h"

#include <algorithm>
#include <string>

#include "platform/screen_metrics.h"

namespace tallyro::pages {

namespace {

constexpr float kNarrow = 3600;
constexpr float kWide = 6750;

// The elements of the login page; the neutral state hides them.
constexpr const char* kLoginPageElements[] = {
    "UserName_Label", "UserName_border", "PassWord_Label", "PassWord_border",
    "Login_Bot",      "Jion_Label",      "RePass_Label",   "Web_Label",
    "Logo",           "Chk_AutoLogin",   "LebAutoLogin"};

// Where the keyboard focus goes when a page is shown: its first control, so
// that a screen reader says where the user now is.
struct FirstControl {
    const char* page;
    const char* element;
    std::int16_t index;
};
constexpr FirstControl kFirstControls[] = {{kLoginPage, "UserName_Txt", -1},
                                           {kLoadingPage, "LoginClose_Bot", -1},
                                           {kLoadingSearchPage, "SearchClose_Bot", -1},
                                           {kSearchMainPage, "SearchForm_Text", -1},
                                           {kSearchResultPage, "SearchGp_Info", -1},
                                           {kQuestionPage, "ToolsTree_Bot", 3},
                                           {kComputerPage, "ToolsTree_Bot", 4}};

}  // namespace

void PageSwitcher::registerHandlers(ui::Handlers& handlers) {
    handlers.on("ToolsTree_Bot", ui::EventKind::Click,
                [this](ui::Event& e) { ToolsTree_Bot_Click(e.target->index()); });
    handlers.on("Bot_CloseSearchMain", ui::EventKind::Click,
                [this](ui::Event&) { Bot_CloseSearchMain_Click(); });
    handlers.on("SearchClose_Bot", ui::EventKind::Click,
                [this](ui::Event&) { SearchClose_Bot_Click(); });
}

void PageSwitcher::neutral() {
    for (const char* name : kLoginPageElements)
        ctx_.el(name).setVisible(false);
    for (std::int16_t i = 1; i <= 8; ++i)
        ctx_.el("Pic_Load", i).setVisible(false);
    ctx_.el("Login_Txt").setVisible(false);
    ctx_.el("LoginClose_Bot").setVisible(false);
    ctx_.el("PlayFlash").setEnabled(false);
    ctx_.el("LoadingLogo").setVisible(false);
    ctx_.el("Timer_Monitor").setEnabled(false);
    for (const char* name : {"Main_Logo", "Info_UserName", "ToolsTree", "Frame_Search", "WebAD",
                             "SearchClose_Bot", "Frame_results", "WebQuestion"}) {
        ctx_.el(name).setVisible(false);
    }
    setWindowWidth(kNarrow);
    for (std::int16_t i = 1; i <= 5; ++i) {
        ctx_.el("ToolsTree_Bot", i).setPicture(kTabNormal[i - 1]);
        ctx_.el("ToolsTree_Bot", i).setSelected(false);
    }
    ctx_.el("WebAD").navigate(ctx_.deployment.webBase + "/ad.asp");
}

void PageSwitcher::ShowPage(std::string_view page) {
    current_ = page;
    neutral();
    if (page == kLoadingPage) {
        showLoading("LoginClose_Bot", kTextGettingLogin);
    } else if (page == kLoadingSearchPage) {
        showLoading("SearchClose_Bot", kTextGettingQuery);
    } else if (page == kLoginPage) {
        for (const char* name : kLoginPageElements)
            ctx_.el(name).setVisible(true);
    } else if (page == kSearchMainPage) {
        for (const char* name :
             {"Main_Logo", "Info_UserName", "ToolsTree", "Frame_Search", "WebAD"}) {
            ctx_.el(name).setVisible(true);
        }
        selectTab(1);
    } else if (page == kSearchResultPage) {
        for (const char* name :
             {"Frame_results", "ToolsTree", "Main_Logo", "Info_UserName", "WebAD"}) {
            ctx_.el(name).setVisible(true);
        }
        selectTab(2);
    } else if (page == kQuestionPage) {
        showWebPage("/Question.asp", 3);
    } else if (page == kComputerPage) {
        showWebPage("/Computer.asp", 4);
    }
    for (const FirstControl& first : kFirstControls) {
        if (page == first.page)
            ctx_.el(first.element, first.index).requestFocus();
    }
}

void PageSwitcher::selectTab(int tab) {
    ui::Element& button = ctx_.el("ToolsTree_Bot", static_cast<std::int16_t>(tab));
    button.setPicture(kTabSelected[tab - 1]);
    button.setSelected(true);
}

void PageSwitcher::showLoading(const char* cancelButton, const char* status) {
    for (std::int16_t i = 1; i <= 8; ++i)
        ctx_.el("Pic_Load", i).setVisible(true);
    ctx_.el("Login_Txt").setVisible(true);
    ctx_.el(cancelButton).setVisible(true);
    ctx_.el("LoadingLogo").setVisible(true);
    // Every loading page starts its animation with a rightward sweep from dot 1.
    ctx_.state.TempPlayNum = 0;
    ctx_.state.TempPlayFx = context::kSideRight;
    ctx_.el("PlayFlash").setEnabled(true);
    if (std::string_view(cancelButton) == "LoginClose_Bot") {
        ctx_.el("Timer_Monitor").setEnabled(true);
    } else {
        ctx_.el("SearchGpInfoMonitor").setEnabled(true);
    }
    ctx_.el("Login_Txt").setText(status);
}

void PageSwitcher::showWebPage(const char* path, int tab) {
    for (const char* name : {"Main_Logo", "Info_UserName", "ToolsTree", "WebQuestion"})
        ctx_.el(name).setVisible(true);
    // The web page takes the search panel's place in the widened window; the
    // panel itself stays hidden and only lends its rectangle.
    setWindowWidth(kWide);
    const ui::Element& win = ctx_.form.window();
    ui::Element& web = ctx_.el("WebQuestion");
    const ui::Element& search = ctx_.el("Frame_Search");
    web.setWidth(win.width() - 555);
    web.setHeight(search.height());
    web.setTop(search.top());
    web.setLeft(search.left());
    web.navigate(ctx_.deployment.webBase + path);
    selectTab(tab);
    ctx_.el("WebAD").setVisible(true);
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
    const ui::Element& win = ctx_.form.window();
    const std::string& side = ctx_.state.TempWindowPosition;
    if (side == context::kSideRight)
        return win.left() + win.width() - width;
    if (side == context::kSideLeft)
        return win.left();
    if (width < win.width() && shift_ && shift_->after == win.left())
        return shift_->before;
    if (width > win.width()) {
        const platform::DockScreen screen = platform::screenUnder(
            platform::allScreens(ctx_.platform.screen), platform::pixelsOf(win));
        if (win.left() + width > screen.right)
            return std::max(screen.left, screen.right - width);
    }
    return win.left();
}

void PageSwitcher::setWindowWidth(float width) {
    ui::Element& win = ctx_.form.window();
    if (width == win.width())
        return;
    const float before = win.left();
    const float left = leftAtWidth(width);
    const bool widening = width > win.width();
    win.setWidth(width);
    win.setLeft(left);
    if (widening && left != before && ctx_.state.TempWindowPosition != context::kSideRight) {
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

}  // namespace tallyro::pages
