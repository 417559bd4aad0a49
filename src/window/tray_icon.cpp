#include "window/tray_icon.h"

namespace tallyro::window {

TrayIcon::TrayIcon(context::Context& context, ui::Form& menuForm, Docking& docking, Links& links,
                   std::function<void()> exitSoft)
    : ctx_(context),
      menuForm_(menuForm),
      docking_(docking),
      links_(links),
      exitSoft_(std::move(exitSoft)) {}

void TrayIcon::registerHandlers(ui::Handlers& handlers) {
    handlers.on("IconLogo", ui::EventKind::MouseMove,
                [this](ui::Event& e) { IconLogo_MouseMove(e.button); });
}

void TrayIcon::registerMenuHandlers(ui::Handlers& handlers) {
    handlers.on("Menu_Web", ui::EventKind::Click, [this](ui::Event&) { Menu_Web_Click(); });
    handlers.on("Menu_Exit", ui::EventKind::Click, [this](ui::Event&) { Menu_Exit_Click(); });
}

void TrayIcon::IconLogo_MouseMove(std::int16_t button) {
    if (button == ui::kButtonLeft) {
        docking_.restoreToEdge();
        ctx_.el("Text1").requestFocus();
    }
    if (button == ui::kButtonRight)
        ctx_.platform.tray.popupMenu(menuForm_.at("Menu_System"));
}

void TrayIcon::Menu_Web_Click() {
    links_.WindowOpenUrl("Web");
}

void TrayIcon::Menu_Exit_Click() {
    exitSoft_();
}

}  // namespace tallyro::window
