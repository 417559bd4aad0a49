// The interval rule of the throttled log.
#include "log_throttle.h"

namespace tallyro::service {

LogThrottle::Outcome LogThrottle::record(TimePoint now, std::string_view sender, unsigned kind) {
    Outcome outcome;
    outcome.ended = flush(now);
    if (!start_) {
        start_ = now;
        outcome.showInFull = true;
    }
    ++current_.events;
    ++current_.kinds.at(kind);
    if (senders_.size() < kMaxSenders) {
        senders_.emplace(sender);
    } else if (!senders_.count(std::string(sender))) {
        current_.moreSenders = true;
    }
    return outcome;
}

std::optional<LogThrottle::Summary> LogThrottle::flush(TimePoint now) {
    if (!start_ || now - *start_ < interval_) {
        return std::nullopt;
    }
    return close();
}

std::optional<LogThrottle::TimePoint> LogThrottle::intervalEnd() const {
    if (!start_) {
        return std::nullopt;
    }
    return *start_ + interval_;
}

std::optional<LogThrottle::Summary> LogThrottle::close() {
    Summary done = current_;
    done.senders = senders_.size();
    start_.reset();
    current_ = {};
    senders_.clear();
    if (done.events < 2) {
        return std::nullopt;  // its only event was shown in full
    }
    return done;
}

std::string sendersText(const LogThrottle::Summary& summary, const char* one, const char* many) {
    const std::string count = std::to_string(summary.senders);
    if (summary.moreSenders) {
        return "more than " + count + ' ' + many;
    }
    return count + ' ' + (summary.senders == 1 ? one : many);
}

}  // namespace tallyro::service
