#include "throttled_log.h"

#include <algorithm>

namespace tallyro::service {

namespace {

std::chrono::milliseconds inMilliseconds(LogThrottle::Duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d);
}

}  // namespace

ThrottledLog::ThrottledLog(LogThrottle::Duration interval, const Clock& clock, const LogSink& log,
                           Summarise summarise)
    : throttle_(interval), clock_(clock), log_(log), summarise_(std::move(summarise)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { flush(); });
}

void ThrottledLog::record(const std::string& sender, unsigned kind, const QString& line) {
    const LogThrottle::Outcome outcome = throttle_.record(clock_(), sender, kind);
    if (outcome.ended) {
        log_(summarise_(*outcome.ended));
    }
    if (outcome.showInFull) {
        log_(line);
        timer_.start(inMilliseconds(throttle_.interval()));
    }
}

void ThrottledLog::flush() {
    const auto now = clock_();
    if (const auto summary = throttle_.flush(now)) {
        log_(summarise_(*summary));
    } else if (const auto end = throttle_.intervalEnd()) {
        // Woken before the interval is over: look again at its end.
        timer_.start(std::max(inMilliseconds(*end - now), std::chrono::milliseconds(1)));
    }
}

}  // namespace tallyro::service
