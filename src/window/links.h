// The links to the service's web site, opened in the user's web browser: the
// login page's three labels and the tray menu's home-page entry.
#pragma once

#include <string>

#include "context/context.h"
#include "ui/handlers.h"

namespace tallyro::window {

class Links {
public:
    explicit Links(context::Context& context) : ctx_(context) {}

    // Clicks of Jion_Label, RePass_Label and Web_Label.
    void registerHandlers(ui::Handlers& handlers);

    // Opens the page of a link key: "RegUser", "RePass" or "Web", compared
    // exactly; any other key opens nothing.
    void WindowOpenUrl(const std::string& key);

private:
    context::Context& ctx_;
};

}  // namespace tallyro::window
