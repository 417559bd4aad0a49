// The pages of the main window: one procedure, ShowPage, returns the window to
// its neutral state and shows the elements of the page asked for. The tab bar
// and the two close buttons only switch pages, so they live here too.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "context/context.h"

namespace tallyro::pages {

// Page names passed to ShowPage.
inline constexpr const char* kLoginPage = "LoginPage";
inline constexpr const char* kLoadingPage = "LoadingPage";
inline constexpr const char* kLoadingSearchPage = "LoadingSearchPage";
inline constexpr const char* kSearchMainPage = "SearchMainPage";
inline constexpr const char* kSearchResultPage = "SearchResultPage";
inline constexpr const char* kQuestionPage = "QuestionPage";
inline constexpr const char* kComputerPage = "ComputerPage";

// Tab pictures, normal and selected, for tabs 1 to 5 (tab 5 has no selected face).
inline constexpr int kTabNormal[5] = {127, 131, 142, 144, 129};
inline constexpr int kTabSelected[4] = {128, 132, 143, 145};

inline constexpr const char* kTextGettingLogin = "正在获取登录信息";
inline constexpr const char* kTextGettingQuery = "正在获取查询数据";

class PageSwitcher {
public:
    explicit PageSwitcher(context::Context& context) : ctx_(context) {}
    void registerHandlers(ui::Handlers& handlers);

    // Any name is accepted; one that is not a page leaves the neutral state.
    // A page's first control is asked to take the keyboard focus.
    void ShowPage(std::string_view page);
    // The name last given to ShowPage ("" before the first). The window keeps no
    // page of its own, only what is visible; this is for those who watch it.
    const std::string& current() const { return current_; }

    void ToolsTree_Bot_Click(std::int16_t index);
    void Bot_CloseSearchMain_Click();
    void SearchClose_Bot_Click();

    // The window's left as the narrow window has it: what the close button saves,
    // since the next start opens narrow.
    float narrowLeft() const;

private:
    void neutral();
    void showLoading(const char* cancelButton, const char* status);
    void showWebPage(const char* path, int tab);
    // Its selected picture, and selected for screen readers.
    void selectTab(int tab);

    float leftAtWidth(float width) const;
    void setWindowWidth(float width);

    context::Context& ctx_;
    // A widened window moved left to stay on its screen: where it stood, and
    // where it was moved to.
    struct Shift {
        float before;
        float after;
    };
    std::optional<Shift> shift_;
    std::string current_;
};

}  // namespace tallyro::pages
