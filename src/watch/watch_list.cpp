#include "watch/watch_list.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "data/local_database.h"
#include "lookup/result_rows.h"
#include "quotes/answer_monitor.h"
#include "ui/bitmap_table.h"
#include "ui/designs.h"
#include "watch/trading_hours.h"

namespace tallyro::watch {

namespace {

// A favourite's row, in twips from the row's top: the price stands after the mark
// at 2150, ending at the row's end; the gauge runs under the code and the name,
// below their text.
constexpr float kMarkRight = 2390;
constexpr float kGap = 30;
constexpr float kPriceTop = 165;
constexpr float kGaugeLeft = 150;
constexpr float kGaugeWidth = 1900;
constexpr float kGaugeTop = 390;
constexpr std::uint32_t kNearSupport = 0x2E7D32;
constexpr std::uint32_t kNearPressure = 0xC62828;

std::string lower(std::string s) {
    for (char& c : s)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
}

// The price in at most five characters, as the row has room for: the service's
// text where it is short enough, else fewer decimals ("1751.9" as "1752").
std::string shortPrice(const Reading& r) {
    if (r.priceText.size() <= 5)
        return r.priceText;
    char text[32];
    std::snprintf(text, sizeof text, r.price >= 1000 ? "%.0f" : r.price >= 100 ? "%.1f" : "%.2f",
                  r.price);
    return text;
}

ui::Element& rowElement(ui::Form& form, const char* name, std::int16_t n) {
    if (ui::Element* e = form.find(name, n))
        return *e;
    ui::Element& e = form.load(name, n);
    e.setVisible(true);
    return e;
}

void dropRowElement(ui::Form& form, const char* name, std::int16_t n) {
    if (form.find(name, n))
        form.unload(name, n);
}

}  // namespace

WatchList::WatchList(context::Context& context, quotes::QuoteRequests& requests,
                     window::Docking& docking, settings::WatchSettings settings)
    : ctx_(context), requests_(requests), docking_(docking), settings_(std::move(settings)) {}

void WatchList::registerHandlers(ui::Handlers& handlers) {
    if (!enabled())
        return;
    handlers.on("shoucang", ui::EventKind::Click, [this](ui::Event& e) {
        const std::int16_t n = e.target->index();
        const ui::Element* id = ctx_.form.find("GpID", n);
        const ui::Element* name = ctx_.form.find("GpName", n);
        if (id && name)
            toggleFavourite(id->text(), name->text());
    });
    handlers.on("SearchGp_Star", ui::EventKind::Click, [this](ui::Event&) {
        toggleFavourite(lower(ctx_.el("SearchGp_ID").text()), ctx_.el("SearchGp_Name").text());
    });
    handlers.on("WatchTimer", ui::EventKind::Timer, [this](ui::Event&) { WatchTimer_Timer(); });
}

std::int64_t WatchList::now() {
    return ctx_.platform.wallClock.nowMs();
}

void WatchList::reloadFavourites() {
    favourites_ = ctx_.database ? ctx_.database->readSearchList() : std::vector<data::StockRow>{};
    ++revision_;
}

bool WatchList::isFavourite(const std::string& code) const {
    return std::any_of(favourites_.begin(), favourites_.end(),
                       [&](const data::StockRow& f) { return f.gpId == code; });
}

void WatchList::toggleFavourite(const std::string& code, const std::string& name) {
    data::LocalDatabase* db = ctx_.database;
    if (!db || code.empty())
        return;
    if (isFavourite(code)) {
        db->removeFavourite(code);
        reloadFavourites();
        return;
    }
    if (favourites_.size() >= static_cast<std::size_t>(kMaxFavourites)) {
        ctx_.platform.notifier.notify(kNotificationTitle, kFullMessage, "");
        return;
    }
    if (!db->addFavourite({code, name}, kMaxFavourites))
        return;
    reloadFavourites();
    if (started_) {
        // A new favourite's price comes before the rest of the round's.
        queue_.push_front(code);
        pump();
    }
}

void WatchList::afterInput(bool pointerOver) {
    if (!enabled())
        return;
    if (!loaded_ && ctx_.database) {
        loaded_ = true;
        reloadFavourites();
    }
    if (!started_ && !quotes::accountName(ctx_.el("Info_UserName").text()).empty()) {
        started_ = true;
        startRound();
    }
    ui::Form& form = ctx_.form;
    const std::int16_t rows = lookup::rowCount(form);
    const std::int16_t hovered = pointerOver ? ctx_.state.TempMoveMun : 0;
    // Most inputs (every tick of the pointer watch among them) change nothing the
    // marks show: the same rows, the same row under the pointer, the same
    // favourites and prices, the same stock on the result page.
    const ui::Element& shownId = ctx_.el("SearchGp_ID");
    bool same = drawn_.revision == revision_ && drawn_.hovered == hovered &&
                drawn_.shownText == shownId.text() &&
                drawn_.rows.size() == static_cast<std::size_t>(rows);
    for (std::int16_t n = 1; same && n <= rows; ++n) {
        const ui::Element& id = form.at("GpID", n);
        same = drawn_.rows[static_cast<std::size_t>(n - 1)] == std::pair(id.id(), id.text());
    }
    if (same)
        return;
    drawn_ = Drawn{revision_, hovered, shownId.text(), {}};
    for (std::int16_t n = 1; n <= rows; ++n) {
        const ui::Element& id = form.at("GpID", n);
        const std::string& code = id.text();
        drawn_.rows.emplace_back(id.id(), code);
        const bool favourite = isFavourite(code);
        ui::Element& mark = form.at("shoucang", n);
        mark.setPicture(favourite ? ui::kBitmapFolder : ui::kBitmapFolderFaint);
        mark.setVisible(favourite || n == hovered);
        decorate(n, favourite ? code : "");
    }
    ui::Element& star = ctx_.el("SearchGp_Star");
    const std::string shown = lower(shownId.text());
    star.setVisible(!shown.empty());
    star.setPicture(isFavourite(shown) ? ui::kBitmapFolder : ui::kBitmapFolderFaint);
}

void WatchList::decorate(std::int16_t n, const std::string& code) {
    ui::Form& form = ctx_.form;
    const auto known = code.empty() ? known_.end() : known_.find(code);
    if (known == known_.end()) {
        for (const char* name : lookup::kRowDecorations)
            dropRowElement(form, name, n);
        return;
    }
    const Known& k = known->second;
    const float top = static_cast<float>(n - 1) * lookup::kRowPitch;
    ui::Element& price = rowElement(form, "GpPrice", n);
    price.setText(k.status == Status::Suspended ? kSuspendedMark
                  : k.reading.priceText.empty() ? "--"
                                                : shortPrice(k.reading));
    price.setForeColor(k.fresh && k.status == Status::Levels ? ui::kPriceColour
                                                             : ui::kPriceStaleColour);
    const float rowEnd = ctx_.el("Frame_TableBox").width() - kGap;
    price.move(std::max(kMarkRight, rowEnd - price.width()), top + kPriceTop);
    const Reading& r = k.reading;
    if (k.status != Status::Levels || r.pressure <= r.support) {
        dropRowElement(form, "GpGauge", n);
        dropRowElement(form, "GpGaugeFill", n);
        return;
    }
    // Support at the left end, pressure at the right; the fill reaches the price.
    const double at = std::clamp((r.price - r.support) / (r.pressure - r.support), 0.0, 1.0);
    rowElement(form, "GpGauge", n).move(kGaugeLeft, top + kGaugeTop);
    ui::Element& fill = rowElement(form, "GpGaugeFill", n);
    fill.move(kGaugeLeft, top + kGaugeTop, static_cast<float>(at) * kGaugeWidth, fill.height());
    fill.setBackColor(at < 0.5 ? kNearSupport : kNearPressure);
}

void WatchList::startRound() {
    roundDue_ = false;
    roundStart_ = now();
    for (const data::StockRow& f : favourites_) {
        if (f.gpId != inFlight_ && std::find(queue_.begin(), queue_.end(), f.gpId) == queue_.end())
            queue_.push_back(f.gpId);
    }
    pump();
}

void WatchList::pump() {
    if (!inFlight_.empty())
        return;
    const std::int64_t t = now();
    if (queue_.empty()) {
        // Every few minutes while the markets trade; otherwise at the next opening.
        const std::int64_t interval = static_cast<std::int64_t>(settings_.refreshMinutes) * 60'000;
        const std::int64_t next =
            inTradingHours(t) ? std::max(roundStart_ + interval, t) : nextSessionStart(t);
        roundDue_ = true;
        wakeIn(next - t);
        return;
    }
    if (const std::int64_t wait = lastRequest_ + kRequestSpacingMs - t; wait > 0) {
        roundDue_ = false;
        wakeIn(wait);
        return;
    }
    inFlight_ = queue_.front();
    queue_.pop_front();
    lastRequest_ = t;
    const std::string account = quotes::accountName(ctx_.el("Info_UserName").text());
    ctx_.platform.fetcher.fetch(
        quotes::stockRequestAddress(ctx_.deployment.webBase, inFlight_, account, random_()));
}

void WatchList::wakeIn(std::int64_t ms) {
    ui::Element& timer = ctx_.el("WatchTimer");
    timer.setEnabled(false);
    timer.setInterval(static_cast<int>(std::clamp<std::int64_t>(ms, 1, INT_MAX)));
    timer.setEnabled(true);
}

void WatchList::WatchTimer_Timer() {
    ctx_.el("WatchTimer").setEnabled(false);
    if (roundDue_)
        startRound();
    else
        pump();
}

void WatchList::fetched(const platform::Fetched& result) {
    if (inFlight_.empty())
        return;
    const std::string code = inFlight_;
    inFlight_.clear();
    const quotes::StockAnswer answer =
        quotes::parseStockAnswer(result.location, ctx_.deployment.webBase);
    ++revision_;
    Known& k = known_[code];
    k.fresh = answer.kind == quotes::StockAnswer::Kind::Levels ||
              answer.kind == quotes::StockAnswer::Kind::Suspended;
    if (answer.kind == quotes::StockAnswer::Kind::Suspended) {
        k.status = Status::Suspended;
    } else if (answer.kind == quotes::StockAnswer::Kind::Levels) {
        const auto& f = answer.fields;
        const auto pressure = quotes::parseLevel(f[3]);
        const auto price = quotes::parseLevel(f[5]);
        const auto support = quotes::parseLevel(f[6]);
        if (pressure && price && support) {
            k.reading = {code,         std::string(f[0]), std::string(f[5]), std::string(f[3]),
                         std::string(f[6]), *price,       *pressure,        *support};
            k.status = Status::Levels;
            alert(k.reading);
        } else {
            k.status = Status::Failed;
            k.fresh = false;
        }
    } else {
        k.status = Status::Failed;  // the last price stays, grey, until the next round
    }
    pump();
}

void WatchList::alert(const Reading& reading) {
    const std::string day = shanghaiTime(now()).day;
    data::LocalDatabase* db = ctx_.database;
    for (const Level level : reachedLevels(reading, settings_.alertMargin)) {
        const std::string mark = reading.code + "|" + levelName(level) + "|" + day;
        if (!alerted_.insert(mark).second)
            continue;
        if (db && db->alertGiven(reading.code, levelName(level), day))
            continue;
        if (db)
            db->markAlert(reading.code, levelName(level), day);
        ctx_.platform.notifier.notify(kNotificationTitle, alertText(reading, level), reading.code);
    }
}

void WatchList::notificationClicked(const std::string& code) {
    if (!enabled() || code.empty() || !started_)
        return;
    ui::Element& win = ctx_.form.window();
    const bool away = !win.visible() || (ctx_.state.TempWindowPosition != context::kSideFree &&
                                         ctx_.state.TempWindowCtrl == context::kYes);
    if (away)
        docking_.restoreToEdge();
    requests_.SearchGpInfo(code);
}

}  // namespace tallyro::watch
