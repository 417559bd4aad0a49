#include "app/form_login.h"

#include <cmath>

#include "lookup/result_rows.h"
#include "platform/screen_metrics.h"
#include "settings/extras.h"
#include "settings/window_settings.h"
#include "ui/bitmap_table.h"
#include "ui/designs.h"
#include "ui/main_layout.h"
#include "ui/window_shape.h"

namespace tallyro::app {

namespace {

constexpr float kStartHeight = 8550;
constexpr float kStartWidth = 3600;
constexpr float kDefaultMargin = 450;

bool overlaps(const platform::PixelRect& a, const platform::PixelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

FormLogin::FormLogin(platform::Platform& platform, context::Deployment deployment,
                     FileLocations files)
    : platform_(platform),
      deployment_(std::move(deployment)),
      files_(std::move(files)),
      form_(ui::makeFormLogin()),
      menu_(ui::makeFormMenu()),
      context_{*form_, state_, platform_, deployment_},
      pages_(context_),
      resultList_(context_, [this](const std::string& code) { requests_.SearchGpInfo(code); }),
      searchBox_(context_, resultList_,
                 [this](const std::string& code) { requests_.SearchGpInfo(code); }),
      requests_(context_, pages_),
      answers_(context_, pages_),
      login_(context_, pages_,
             [this](const std::string& title, const std::string& id) { showMessage(title, id); }),
      animation_(context_),
      docking_(context_),
      hover_(*form_),
      pointerWatch_(context_, docking_, hover_),
      links_(context_),
      tray_(context_, *menu_, docking_, links_, [this] { ExitSoft(); }),
      watch_(context_, requests_, docking_, settings::watchSettings(files_.settings)),
      startAtLogin_(files_.autostartDir, files_.program, files_.menuEntry) {
    form_->window().setTitle(kWindowTitle);
    form_->setEvents(this);
    form_->setTextMeasure(&platform_.textMeasure);
    registerHandlers();
    platform_.link.setArrival(
        [this](const platform::Datagram& d) { handle([&] { login_.Link_DataArrival(d); }); });
    // A finished navigation is looked at once, not only at the next poll.
    platform_.browser.setNavigated(
        [this](const std::string& address) { handle([&] { answers_.navigated(address); }); });
    platform_.fetcher.setDone(
        [this](const platform::Fetched& f) { handle([&] { watch_.fetched(f); }); });
    platform_.notifier.setClicked(
        [this](const std::string& code) { handle([&] { watch_.notificationClicked(code); }); });
    platform_.windows.attach(*form_);
    // Timers enabled at design time run from the window's creation.
    for (ui::Element* e : form_->elements()) {
        if (e->kind() == ui::Kind::Timer && e->enabled())
            timerChanged(*e);
    }
}

FormLogin::~FormLogin() {
    platform_.keys.release();
    for (ui::Element* e : form_->elements()) {
        if (e->kind() == ui::Kind::Timer)
            platform_.timers.stop(e);
    }
    platform_.link.setArrival(nullptr);
    platform_.browser.setNavigated(nullptr);
    platform_.fetcher.setDone(nullptr);
    platform_.notifier.setClicked(nullptr);
    if (message_)
        platform_.windows.detach(*message_);
    platform_.windows.detach(*form_);
}

void FormLogin::registerHandlers() {
    handlers_.on("Bot_Close", ui::EventKind::Click, [this](ui::Event&) { Bot_Close_Click(); });
    handlers_.on("Bot_Min", ui::EventKind::Click, [this](ui::Event&) { Bot_Min_Click(); });
    pages_.registerHandlers(handlers_);
    resultList_.registerHandlers(handlers_);
    searchBox_.registerHandlers(handlers_);
    requests_.registerHandlers(handlers_);
    answers_.registerHandlers(handlers_);
    login_.registerHandlers(handlers_);
    animation_.registerHandlers(handlers_);
    docking_.registerHandlers(handlers_);
    links_.registerHandlers(handlers_);
    watch_.registerHandlers(handlers_);
    tray_.registerHandlers(handlers_);
    tray_.registerMenuHandlers(menuHandlers_);
    pointerWatch_.registerHandlers(handlers_);
    handlers_.on("FormLogin", ui::EventKind::Moved,
                 [this](ui::Event& e) { docking_.movedFromOutside(e.x, e.y); });
    // Closing from outside (Alt+F4) does what each window's own close button does.
    handlers_.on("FormLogin", ui::EventKind::CloseRequest,
                 [this](ui::Event&) { Bot_Close_Click(); });
    menuHandlers_.on("Menu_ShowHide", ui::EventKind::Click, [this](ui::Event&) { toggleHidden(); });
    menuHandlers_.on("Menu_Autostart", ui::EventKind::Click,
                     [this](ui::Event&) { Menu_Autostart_Click(); });
    messageHandlers_.on("FormMessage", ui::EventKind::CloseRequest,
                        [this](ui::Event&) { closeMessage(); });
    messageHandlers_.on("Bot_Close", ui::EventKind::Click, [this](ui::Event&) { closeMessage(); });
    messageHandlers_.on("Bot_Close", ui::EventKind::MouseMove,
                        [this](ui::Event& e) { messageCloseHover(e); });
}

bool FormLogin::start() {
    ++depth_;
    Form_Load();
    if (!ended_)
        form_->window().setVisible(true);
    --depth_;
    if (ended_)
        return false;
    settleTimers();
    platform_.windows.refresh();
    return true;
}

void FormLogin::dispatch(ui::Event& event) {
    if (event.target == nullptr)
        return;
    handle([&] {
        ui::Element& target = *event.target;
        switch (event.kind) {
            case ui::EventKind::UserText:
                target.setText(event.text);
                break;
            case ui::EventKind::UserValue:
                target.setValue(event.value);
                break;
            default:
                if (&target.form() == form_.get()) {
                    handlers_.run(target.name(), event);
                } else if (&target.form() == message_.get()) {
                    messageHandlers_.run(target.name(), event);
                } else if (&target.form() == menu_.get()) {
                    menuHandlers_.run(target.name(), event);
                }
                break;
        }
    });
}

void FormLogin::handle(const std::function<void()>& handler) {
    if (ended_)
        return;
    ++depth_;
    handler();
    --depth_;
    if (depth_ > 0 || ended_)
        return;
    // The popup goes only once nothing is left that may still use its elements.
    if (closeMessagePending_)
        destroyMessage();
    settleTimers();
    platform_.windows.refresh();
}

void FormLogin::settleTimers() {
    watch_.afterInput(pointerWatch_.pointerOver());
    pointerWatch_.afterInput();
    updateTimer(el("Timer3"));
    updateTimer(el("SearchGpInfoMonitor"));
    updateTimer(el("WatchTimer"));
}

void FormLogin::Form_Load() {
    ui::Element& win = form_->window();
    // 1. The login endpoint.
    platform_.link.setRemote(deployment_.loginHost, deployment_.loginPort);
    // 2. The drop shadow is the window manager's on this platform.
    // 3. Size.
    win.setHeight(kStartHeight);
    win.setWidth(kStartWidth);
    state_.MaxMeWidth = static_cast<std::int16_t>(kStartWidth);
    // 4. Place from the settings file.
    placeWindow();
    // 5. Topmost: every skinned window is created on top by the view.
    // 6. Docking and animation start values.
    state_.TempWindowPosition = context::kSideFree;
    state_.TempWindowCtrl = context::kNo;
    state_.TempPlayNum = 0;
    state_.TempPlayFx = context::kSideRight;
    // 7. Rounded outline.
    ui::ApplyRoundedRegion(win, 9, 9);
    // 8. The wheel reaches the window through the view's wheel events.
    // 9. Notification-area icon.
    trayAdded_ = platform_.tray.add(el("IconLogo"), ui::kBitmapTrayIcon, kTrayTip);
    // 10. Local database.
    std::string error;
    db_ = data::LocalDatabase::open(files_.database, &error);
    context_.database = db_.get();
    if (!db_) {
        removeTrayIcon();
        ended_ = true;
        platform_.process.fatal("无法打开本地数据库文件：" + files_.database.string() + "\n" +
                                error + "\n\n程序无法继续运行，即将退出。");
        return;
    }
    // 11. A remembered account fills both boxes; nothing is sent.
    state_.TempAutoLogin = "No";
    if (const auto account = db_->readAccount(); account && account->autoLogin == "Yes") {
        el("Chk_AutoLogin").setValue(1);
        el("UserName_Txt").setText(account->userName);
        el("PassWord_Txt").setText(account->passWord);
        state_.TempAutoLogin = "Yes";
    }
    // 12. Advertisement page.
    el("WebAD").navigate(deployment_.webBase + "/ad.asp");
    // 13. Favourites.
    ReGpTj();
    // What the client adds: the boss key and the tray menu's items for it and for
    // starting at login.
    setUpExtras();
}

void FormLogin::placeWindow() {
    ui::Element& win = form_->window();
    // By default at the top right of the primary screen, wherever that lies on
    // the desktop.
    const platform::DockScreen primary = platform::primaryScreen(platform_.screen);
    float top = primary.top + kDefaultMargin;
    float left = primary.right - win.width() - kDefaultMargin;
    if (const auto saved = settings::savedWindowPosition(files_.settings)) {
        // A place saved on a larger or since removed monitor would leave the
        // window where nobody can reach it: such a place counts as none.
        const platform::PixelRect rect{
            static_cast<int>(std::lround(saved->left / ui::kTwipsPerPixel)),
            static_cast<int>(std::lround(saved->top / ui::kTwipsPerPixel)),
            static_cast<int>(std::lround((saved->left + win.width()) / ui::kTwipsPerPixel)),
            static_cast<int>(std::lround((saved->top + win.height()) / ui::kTwipsPerPixel))};
        bool reachable = false;
        for (const auto& s : platform_.screen.allScreens())
            reachable = reachable || overlaps(rect, s);
        if (reachable) {
            top = saved->top;
            left = saved->left;
        }
    }
    win.setTop(top);
    win.setLeft(left);
}

void FormLogin::Form_Resize() {
    ui::layoutMainWindow(*form_);
}

void FormLogin::ReGpTj() {
    lookup::showRows(*form_, db_ ? db_->readSearchList() : std::vector<data::StockRow>{});
}

void FormLogin::Bot_Close_Click() {
    removeTrayIcon();
    // The next start opens the narrow window, so a widened one saves where it goes
    // back to when it narrows.
    if (!settings::saveWindowPosition(files_.settings, form_->window().top(), pages_.narrowLeft(),
                                      state_.TempWindowPosition)) {
        platform_.process.warn("窗口位置未保存：无法写入 " + files_.settings.string() + "。");
    }
    endProcess();
}

void FormLogin::ExitSoft() {
    removeTrayIcon();
    endProcess();
}

void FormLogin::Bot_Min_Click() {
    // Only the tray icon brings a hidden window back: without one the user can
    // reach, the window stays where it is rather than vanish beyond reach.
    if (trayAdded_ && platform_.tray.reachable())
        form_->window().setVisible(false);
}

void FormLogin::removeTrayIcon() {
    if (!trayAdded_)
        return;
    platform_.tray.remove();
    trayAdded_ = false;
}

void FormLogin::endProcess() {
    ended_ = true;
    platform_.process.exit();
}

void FormLogin::showMessage(const std::string& title, const std::string& id) {
    // Closed in this very event: a new message gets a new window.
    if (closeMessagePending_)
        destroyMessage();
    if (!message_) {
        message_ = ui::makeFormMessage();
        message_->setEvents(this);
        message_->setTextMeasure(&platform_.textMeasure);
        platform_.windows.attach(*message_);
    }
    ui::Element& win = message_->window();
    win.setWidth(3900);
    win.setHeight(2700);
    // At the bottom right of the primary screen, above a bottom taskbar.
    const platform::DockScreen primary = platform::primaryScreen(platform_.screen);
    win.setLeft(primary.right - win.width() - 75);
    win.setTop(primary.bottom - static_cast<float>(platform::GetTaskbarHeight(platform_.screen)) -
               win.height());
    message_->at("NewsBt").setText(title);
    win.setTitle(title);
    // Behind the boss key, the message waits with the other windows.
    if (bossKey_.hiding()) {
        bossKey_.keepHidden(win);
        return;
    }
    message_->at("WebSet").navigate(deployment_.webBase + "/WebSet.asp?MsgID=" + id);
    win.setVisible(true);
}

void FormLogin::setUpExtras() {
    const settings::WatchSettings watch = settings::watchSettings(files_.settings);
    for (const std::string& problem : watch.problems)
        platform_.process.warn(problem);
    searchBox_.showFavouritesWhenEmpty(watch.enabled);
    searchBox_.searchInitials(settings::initialsSearch(files_.settings));
    const settings::BossKeySetting boss = settings::bossKeySetting(files_.settings);
    if (!boss.problem.empty())
        platform_.process.warn(boss.problem);
    ui::Element& showHide = menu_->at("Menu_ShowHide");
    showHide.setVisible(boss.chord.has_value());
    if (boss.chord) {
        const std::string keys = settings::keyChordText(*boss.chord);
        showHide.setText("显示/隐藏 (" + keys + ")");
        const std::string why =
            platform_.keys.grab(*boss.chord, [this] { handle([this] { toggleHidden(); }); });
        if (!why.empty())
            platform_.process.warn("the boss key " + keys + " is off: " + why);
    }
    ui::Element& autostart = menu_->at("Menu_Autostart");
    autostart.setVisible(!files_.autostartDir.empty() &&
                         settings::startAtLoginOffered(files_.settings));
    autostart.setValue(startAtLogin_.enabled() ? 1 : 0);
}

void FormLogin::toggleHidden() {
    bossKey_.toggle({&form_->window(), message_ ? &message_->window() : nullptr});
}

void FormLogin::Menu_Autostart_Click() {
    ui::Element& item = menu_->at("Menu_Autostart");
    if (const std::string why = startAtLogin_.set(!startAtLogin_.enabled()); !why.empty())
        platform_.process.warn("starting at login: " + why);
    item.setValue(startAtLogin_.enabled() ? 1 : 0);
}

void FormLogin::closeMessage() {
    if (message_)
        closeMessagePending_ = true;
}

void FormLogin::destroyMessage() {
    closeMessagePending_ = false;
    platform_.windows.setCapture(nullptr);
    bossKey_.forget(message_->window());
    platform_.windows.detach(*message_);
    message_.reset();
}

void FormLogin::messageCloseHover(const ui::Event& event) {
    ui::Element& button = *event.target;
    const bool outside =
        event.x < 0 || event.x > button.width() || event.y < 0 || event.y > button.height();
    if (outside) {
        button.setPicture(110);
        platform_.windows.setCapture(nullptr);
    } else {
        button.setPicture(111);
        platform_.windows.setCapture(&button);
    }
}

void FormLogin::resized(ui::Form& form) {
    if (&form == form_.get())
        Form_Resize();
    if (&form == message_.get())
        ui::layoutPopup(form);
}

void FormLogin::changed(ui::Element& element) {
    // Change is raised inside the setter, whoever set the value, so it runs at
    // once, inside whatever event set it.
    if (&element.form() != form_.get())
        return;
    ui::Event change{&element, ui::EventKind::Change};
    handlers_.run(element.name(), change);
}

void FormLogin::timerChanged(ui::Element& timer) {
    // Called only on a real change: enabling a stopped timer or giving a running
    // one a new interval starts a fresh interval; disabling stops it.
    if (running_.erase(&timer) != 0)
        platform_.timers.stop(&timer);
    updateTimer(timer);
}

// An enabled timer's clock runs only while its work can find something to do:
// Timer3's while something it watches moves (see PointerWatch), the analysis
// monitor's while the browser loads a request. Idle, nothing wakes the program.
bool FormLogin::timerWanted(const ui::Element& timer) const {
    if (!timer.enabled() || timer.interval() <= 0)
        return false;
    if (timer.name() == "Timer3")
        return pointerWatch_.wantsTicks();
    if (timer.name() == "SearchGpInfoMonitor")
        return platform_.browser.loading();
    return true;
}

void FormLogin::updateTimer(ui::Element& timer) {
    const bool wanted = timerWanted(timer);
    if (wanted == running_.contains(&timer))
        return;
    if (wanted) {
        running_.insert(&timer);
        platform_.timers.start(&timer, timer.interval(), [this, &timer] { onTimer(timer); });
    } else {
        running_.erase(&timer);
        platform_.timers.stop(&timer);
    }
}

void FormLogin::onTimer(ui::Element& timer) {
    ui::Event tick{&timer, ui::EventKind::Timer};
    dispatch(tick);
}

}  // namespace tallyro::app
