#include "window/links.h"

namespace tallyro::window {

namespace {

struct Link {
    const char* key;
    const char* path;  // after the web base; the home page has none
};

constexpr Link kLinks[] = {
    {"RegUser", "/Reg.asp"},
    {"RePass", "/BusinessRePass.asp"},
    {"Web", ""},
};

}  // namespace

void Links::registerHandlers(ui::Handlers& handlers) {
    using ui::EventKind;
    handlers.on("Jion_Label", EventKind::Click, [this](ui::Event&) { WindowOpenUrl("RegUser"); });
    handlers.on("RePass_Label", EventKind::Click, [this](ui::Event&) { WindowOpenUrl("RePass"); });
    handlers.on("Web_Label", EventKind::Click, [this](ui::Event&) { WindowOpenUrl("Web"); });
}

void Links::WindowOpenUrl(const std::string& key) {
    for (const Link& link : kLinks) {
        if (key == link.key)
            ctx_.platform.shell.openUrl(ctx_.deployment.webBase + link.path);
    }
}

}  // namespace tallyro::window
