// What every subsystem of the main window works with: the window's elements,
// the shared window-level state, the platform, the deployment values, the local
// database, and the page switcher.
#pragma once

#include <functional>
#include <string_view>

#include "context/deployment.h"
#include "context/window_state.h"
#include "platform/platform.h"
#include "ui/form.h"
#include "ui/handlers.h"

namespace tallyro::data {
class LocalDatabase;
}

namespace tallyro::app {

// Page names passed to ShowPage.
inline constexpr const char* kLoginPage = "LoginPage";
inline constexpr const char* kLoadingPage = "LoadingPage";
inline constexpr const char* kLoadingSearchPage = "LoadingSearchPage";
inline constexpr const char* kSearchMainPage = "SearchMainPage";
inline constexpr const char* kSearchResultPage = "SearchResultPage";
inline constexpr const char* kQuestionPage = "QuestionPage";
inline constexpr const char* kComputerPage = "ComputerPage";

struct Context {
    ui::Form& form;
    WindowState& state;
    platform::Platform& platform;
    const Deployment& deployment;
    // Open from start-up on; null only when start-up failed.
    std::function<data::LocalDatabase*()> database;
    std::function<void(std::string_view page)> ShowPage;

    ui::Element& el(std::string_view name, std::int16_t index = -1) const {
        return form.at(name, index);
    }
};

}  // namespace tallyro::app
