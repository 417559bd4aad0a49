// The routing table of one window: element name and event kind to handler.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "ui/event.h"

namespace tallyro::ui {

class Handlers {
public:
    using Fn = std::function<void(Event&)>;

    void on(std::string_view element, EventKind kind, Fn fn) {
        slots_[std::string(element)][static_cast<std::size_t>(kind)] = std::move(fn);
    }

    // Runs the handler for the event's target; false when there is none.
    bool run(std::string_view element, Event& event) const {
        const auto it = slots_.find(element);
        if (it == slots_.end())
            return false;
        const Fn& fn = it->second[static_cast<std::size_t>(event.kind)];
        if (!fn)
            return false;
        fn(event);
        return true;
    }

private:
    static constexpr std::size_t kKinds = static_cast<std::size_t>(EventKind::PointerLeft) + 1;
    std::map<std::string, std::array<Fn, kKinds>, std::less<>> slots_;
};

}  // namespace tallyro::ui
