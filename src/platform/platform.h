// Everything the client needs from the outside world, passed in at construction.
#pragma once

#include "platform/analysis_browser.h"
#include "platform/global_keys.h"
#include "platform/screen.h"
#include "platform/shell.h"
#include "platform/timers.h"
#include "platform/tray.h"
#include "platform/udp_endpoint.h"
#include "platform/watch_services.h"
#include "platform/window_system.h"
#include "ui/form.h"

namespace tallyro::platform {

struct Platform {
    Timers& timers;
    Screen& screen;
    UdpEndpoint& link;
    Shell& shell;
    Tray& tray;
    ui::TextMeasure& textMeasure;
    WindowSystem& windows;
    Process& process;
    AnalysisBrowser& browser;
    GlobalKeys& keys;
    WallClock& wallClock;
    QuoteFetcher& fetcher;
    Notifier& notifier;
};

}  // namespace tallyro::platform
