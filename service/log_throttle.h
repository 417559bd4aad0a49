// Keeps a flood of like events (datagrams the login server ignores) out of the log
// without hiding it: the first event of an interval is logged in full, the others are
// only counted, and when the interval is over one line sums it up. Events further apart
// than the interval are each logged in full. Time is passed in, so the rule runs
// without a clock of its own.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tallyro::service {

class LogThrottle {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;

    // Distinct senders counted per interval; beyond this a summary says "more than".
    static constexpr std::size_t kMaxSenders = 1000;

    // Events are counted by kind (a caller's own numbering, below kKinds).
    static constexpr unsigned kKinds = 4;

    struct Summary {
        std::uint64_t events = 0;  // all events of the interval, the one shown included
        std::array<std::uint64_t, kKinds> kinds{};
        std::size_t senders = 0;
        bool moreSenders = false;  // more than kMaxSenders distinct senders
    };

    struct Outcome {
        // The interval this event ended, when it had events that were not shown; it
        // belongs in the log before this event.
        std::optional<Summary> ended;
        bool showInFull = false;
    };

    explicit LogThrottle(Duration interval) : interval_(interval) {}

    // An interval runs from its first event for `interval`; an event at its end
    // begins the next one.
    Outcome record(TimePoint now, std::string_view sender, unsigned kind);

    // Ends the open interval if it is over by `now`. Its summary when some of its
    // events were not shown.
    std::optional<Summary> flush(TimePoint now);

    // End of the open interval; nothing when none is open.
    std::optional<TimePoint> intervalEnd() const;

    Duration interval() const { return interval_; }

private:
    std::optional<Summary> close();

    Duration interval_;
    std::optional<TimePoint> start_;
    Summary current_;
    std::unordered_set<std::string> senders_;
};

// "3 senders", "1 sender", "more than 1000 senders" (with the nouns given).
std::string sendersText(const LogThrottle::Summary& summary, const char* one, const char* many);

}  // namespace tallyro::service
