// The watch list, beyond the first design: the favourites the user keeps (a
// mark on every row and on the result page), their price and levels fetched in
// the background on a schedule, shown on their rows, and an alert when a price
// reaches a level.
//
// The refresh asks the same analysis requests as the user does, without the
// hidden browser (platform::QuoteFetcher), one at a time and at least 2 s apart:
// every favourite once a round, a round every few minutes during trading hours,
// one round after sign-in outside them. It never switches a page or touches the
// answer monitor. Its one timer (WatchTimer) runs only until the next request or
// round is due.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "context/context.h"
#include "data/local_database.h"
#include "platform/watch_services.h"
#include "quotes/quote_requests.h"
#include "settings/extras.h"
#include "watch/alerts.h"
#include "window/docking.h"

namespace tallyro::watch {

inline constexpr int kMaxFavourites = 50;
// Between two requests of the refresh, at least.
inline constexpr int kRequestSpacingMs = 2000;
inline constexpr const char* kNotificationTitle = "Tallyro";
inline constexpr const char* kFullMessage = "自选股已满 50 只，请先取消一只再收藏。";
inline constexpr const char* kSuspendedMark = "停牌";

class WatchList {
public:
    WatchList(context::Context& context, quotes::QuoteRequests& requests, window::Docking& docking,
              settings::WatchSettings settings);

    bool enabled() const { return settings_.enabled; }
    // Clicks of the row marks and the result page's mark, and WatchTimer.
    void registerHandlers(ui::Handlers& handlers);

    // After every input: starts refreshing once signed in, and gives the rows and
    // the result page the marks, prices and gauges of what is known now.
    // `pointerOver` tells whether the pointer is over the window, for the faint
    // mark of the row under it.
    void afterInput(bool pointerOver);

    // A fetch of the refresh came back.
    void fetched(const platform::Fetched& result);
    // An alert was clicked: the window comes back and shows that stock's analysis.
    void notificationClicked(const std::string& code);

    // Adds the stock to the favourites or takes it away.
    void toggleFavourite(const std::string& code, const std::string& name);
    bool isFavourite(const std::string& code) const;

private:
    enum class Status { Levels, Suspended, Failed };
    struct Known {
        Reading reading;
        Status status = Status::Failed;
        bool fresh = false;  // the last fetch succeeded
    };

    void reloadFavourites();
    void startRound();
    void pump();
    void WatchTimer_Timer();
    void wakeIn(std::int64_t ms);
    void alert(const Reading& reading);
    void decorate(std::int16_t row, const std::string& code);
    std::int64_t now();

    context::Context& ctx_;
    quotes::QuoteRequests& requests_;
    window::Docking& docking_;
    settings::WatchSettings settings_;
    std::vector<data::StockRow> favourites_;
    std::map<std::string, Known> known_;
    std::deque<std::string> queue_;  // codes still to fetch
    std::string inFlight_;
    bool loaded_ = false;
    bool started_ = false;
    quotes::RequestRandom random_;
    bool roundDue_ = false;           // the timer, when it fires, starts a round
    std::int64_t roundStart_ = 0;
    std::int64_t lastRequest_ = -kRequestSpacingMs;
    std::set<std::string> alerted_;   // code|level|day given in this run
    // What the rows and the result page's mark were last drawn from: favourites and
    // prices (counted by revision_), the row under the pointer, each row's code
    // element and code, the stock shown.
    struct Drawn {
        std::uint64_t revision = ~std::uint64_t{0};
        std::int16_t hovered = -1;
        std::string shownText;
        std::vector<std::pair<std::uint32_t, std::string>> rows;
    };
    std::uint64_t revision_ = 0;
    Drawn drawn_;
};

}  // namespace tallyro::watch
