// The notification-area icon's clicks and its menu: a left click brings the
// window back, a right click opens the menu with the home page and exit.
#pragma once

#include <functional>

#include "context/context.h"
#include "ui/handlers.h"
#include "window/docking.h"
#include "window/links.h"

namespace tallyro::window {

class TrayIcon {
public:
    TrayIcon(context::Context& context, ui::Form& menuForm, Docking& docking, Links& links,
             std::function<void()> exitSoft);

    // IconLogo's MouseMove, which carries the icon's clicks.
    void registerHandlers(ui::Handlers& handlers);
    // Menu_Web and Menu_Exit, on the menu's own form.
    void registerMenuHandlers(ui::Handlers& handlers);

    void IconLogo_MouseMove(std::int16_t button);
    void Menu_Web_Click();
    void Menu_Exit_Click();

private:
    context::Context& ctx_;
    ui::Form& menuForm_;
    Docking& docking_;
    Links& links_;
    std::function<void()> exitSoft_;
};

}  // namespace tallyro::window
