#include "window/tray_icon.h"

namespace tallyro::window {

TrayIcon::TrayIcon(app::Context& context, ui::Form& menuForm, Docking& docking, Links& links,
                   std::function<void()> exitSoft)
    : ctx_(context),
      menuForm_(menuForm),
      docking_(docking),
      links_(links),
      exitSoft_(std::move(exitSoft)) {}

void TrayIcon::registerHandlers(app::Handlers& handlers) {
    handlers.on("IconLogo", app::EventKind::MouseMove,
                [this](app::Event& e) { IconLogo_MouseMove(e.button); });
}

void TrayIcon::registerMenuHandlers(app::Handlers& handlers) {
    handlers.on("Menu_Web", app::EventKind::Click, [this](app::Event&) { Menu_Web_Click(); });
    handlers.on("Menu_Exit", app::EventKind::Click, [this](app::Event&) { Menu_Exit_Click(); });
}

void TrayIcon::IconLogo_MouseMove(std::int16_t button) {
    if (button == app::kButtonLeft) {
        docking_.restoreToEdge();
        ctx_.el("Text1").requestFocus();
    }
    if (button == app::kButtonRight)
        ctx_.platform.tray.popupMenu(menuForm_.at("Menu_System"));
}

void TrayIcon::Menu_Web_Click() {
    links_.WindowOpenUrl("Web");
}

void TrayIcon::Menu_Exit_Click() {
    exitSoft_();
}

}  // namespace tallyro::window
