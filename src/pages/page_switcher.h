// The pages of the main window: one procedure, ShowPage, returns the window to
// its neutral state and shows the elements of the page asked for. The tab bar
// and the two close buttons only switch pages, so they live here too.
#pragma once

#include <optional>
#include <string_view>

#include "context/context.h"

namespace tallyro::app {

// Tab pictures, normal and selected, for tabs 1 to 5 (tab 5 has no selected face).
inline constexpr int kTabNormal[5] = {127, 131, 142, 144, 129};
inline constexpr int kTabSelected[4] = {128, 132, 143, 145};

inline constexpr const char* kTextGettingLogin = "正在获取登录信息";
inline constexpr const char* kTextGettingQuery = "正在获取查询数据";

class PageSwitcher {
public:
    explicit PageSwitcher(Context& context) : c_(context) {}
    void registerHandlers(Handlers& handlers);

    // Any name is accepted; one that is not a page leaves the neutral state.
    void ShowPage(std::string_view page);

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

    float leftAtWidth(float width) const;
    void setWindowWidth(float width);

    Context& c_;
    // A widened window moved left to stay on its screen: where it stood, and
    // where it was moved to.
    struct Shift {
        float before;
        float after;
    };
    std::optional<Shift> shift_;
};

}  // namespace tallyro::app
