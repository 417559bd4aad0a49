// The main window: owns the three forms, the window-level state, the local
// database and one object per subsystem; runs start-up and shutdown, shows
// pushed messages in the popup, and routes every event to its handler.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "app/file_locations.h"
#include "app/start_at_login.h"
#include "context/context.h"
#include "context/deployment.h"
#include "context/window_state.h"
#include "data/local_database.h"
#include "lookup/result_list.h"
#include "lookup/search_box.h"
#include "pages/loading_animation.h"
#include "pages/page_switcher.h"
#include "platform/platform.h"
#include "quotes/answer_monitor.h"
#include "quotes/quote_requests.h"
#include "session/login_exchange.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/handlers.h"
#include "watch/watch_list.h"
#include "window/boss_key.h"
#include "window/docking.h"
#include "window/hover.h"
#include "window/links.h"
#include "window/pointer_watch.h"
#include "window/tray_icon.h"

namespace tallyro::app {

inline constexpr const char* kTrayTip = "Tallyro";
// The main window's name in window lists; the window class, set by the toolkit
// from the application's name, is the same word and is the menu entry's
// StartupWMClass.
inline constexpr const char* kWindowTitle = "Tallyro";

class FormLogin : private ui::FormEvents {
public:
    FormLogin(platform::Platform& platform, context::Deployment deployment, FileLocations files);
    ~FormLogin() override;
    FormLogin(const FormLogin&) = delete;
    FormLogin& operator=(const FormLogin&) = delete;

    // Loads the window (Form_Load) and shows it. False when start-up could not
    // go on; the process has then been told to end.
    bool start();

    // The entry point for input from the view: routes the event to its handler
    // (through handle). Ignored once the program has ended.
    void dispatch(ui::Event& event);
    // Runs work as one input from outside the view, as dispatch runs a handler:
    // the view and the timers catch up with it afterwards.
    void input(const std::function<void()>& work) { handle(work); }

    bool ended() const { return ended_; }
    ui::Form& form() { return *form_; }
    ui::Form& formMenu() { return *menu_; }
    ui::Form* formMessage() { return message_.get(); }
    context::WindowState& state() { return state_; }
    context::Context& context() { return context_; }
    const context::Deployment& deployment() const { return deployment_; }
    const FileLocations& files() const { return files_; }
    data::LocalDatabase* database() { return db_.get(); }
    pages::PageSwitcher& pages() { return pages_; }
    session::LoginExchange& login() { return login_; }
    window::Docking& docking() { return docking_; }
    lookup::ResultList& resultList() { return resultList_; }
    lookup::SearchBox& searchBox() { return searchBox_; }
    quotes::QuoteRequests& requests() { return requests_; }
    quotes::AnswerMonitor& answers() { return answers_; }
    watch::WatchList& watchList() { return watch_; }

    // Start-up and shutdown.
    void Form_Load();
    void Form_Resize();
    void Bot_Close_Click();
    void ExitSoft();
    void Bot_Min_Click();

    // Fills the result list with the favourites.
    void ReGpTj();

    // Opens a page of the service's web site by its link key.
    void WindowOpenUrl(const std::string& key) { links_.WindowOpenUrl(key); }

    // The popup: shown at the bottom right above the taskbar, reused while open.
    void showMessage(const std::string& title, const std::string& id);

    // The boss key's action: every shown window hidden, or shown again.
    void toggleHidden();
    // The tray menu's "开机启动": writes or removes the autostart entry.
    void Menu_Autostart_Click();

    // Element lookup on the main window, for handlers and tests.
    ui::Element& el(std::string_view name, std::int16_t index = -1) {
        return form_->at(name, index);
    }

private:
    // Runs one input's handler, then has the view apply what changed. Every
    // input goes through here: events, timer ticks, datagrams.
    void handle(const std::function<void()>& handler);
    void resized(ui::Form& form) override;
    void changed(ui::Element& element) override;
    void timerChanged(ui::Element& timer) override;
    void onTimer(ui::Element& timer);
    bool timerWanted(const ui::Element& timer) const;
    void settleTimers();
    void updateTimer(ui::Element& timer);
    void placeWindow();
    void removeTrayIcon();
    void endProcess();
    void registerHandlers();
    void closeMessage();
    void destroyMessage();
    void messageCloseHover(const ui::Event& event);
    void setUpExtras();

    platform::Platform& platform_;
    context::Deployment deployment_;
    FileLocations files_;
    std::unique_ptr<ui::Form> form_;
    std::unique_ptr<ui::Form> menu_;
    std::unique_ptr<ui::Form> message_;
    std::unique_ptr<data::LocalDatabase> db_;
    context::WindowState state_;
    context::Context context_;
    pages::PageSwitcher pages_;
    lookup::ResultList resultList_;
    lookup::SearchBox searchBox_;
    quotes::QuoteRequests requests_;
    quotes::AnswerMonitor answers_;
    session::LoginExchange login_;
    pages::LoadingAnimation animation_;
    window::Docking docking_;
    window::Hover hover_;
    window::PointerWatch pointerWatch_;
    window::Links links_;
    window::TrayIcon tray_;
    window::BossKey bossKey_;
    watch::WatchList watch_;
    StartAtLogin startAtLogin_;
    ui::Handlers handlers_;
    ui::Handlers messageHandlers_;
    ui::Handlers menuHandlers_;
    bool trayAdded_ = false;
    bool ended_ = false;
    bool closeMessagePending_ = false;
    int depth_ = 0;
    // The timers whose clock runs now.
    std::set<const ui::Element*> running_;
};

}  // namespace tallyro::app
