#include "fake_platform.h"

#include <limits>

namespace tallyro::test {

void VirtualClock::runPosted() {
    while (!posted_.empty()) {
        const auto event = std::move(posted_.front());
        posted_.erase(posted_.begin());
        event();
    }
}

void VirtualClock::advance(std::int64_t ms) {
    const std::int64_t end = now_ + ms;
    for (;;) {
        runPosted();
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            const Entry& e = it->second;
            if (next == timers_.end() || e.due < next->second.due ||
                (e.due == next->second.due && e.order < next->second.order))
                next = it;
        }
        if (next == timers_.end() || next->second.due > end)
            break;
        Entry& e = next->second;
        now_ = e.due;
        e.due += e.interval;
        e.order = nextOrder_++;
        auto tick = e.tick;  // the tick may stop or restart its own timer
        tick();
    }
    now_ = end;
}

}  // namespace tallyro::test
