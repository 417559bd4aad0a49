#include "fake_platform.h"

#include <algorithm>
#include <limits>

namespace tallyro::test {

void VirtualClock::start(const void* key, int intervalMs, std::function<void()> tick) {
    timers_[key] = Entry{intervalMs, now_ + intervalMs, nextOrder_++, std::move(tick)};
}

void VirtualClock::stop(const void* key) {
    timers_.erase(key);
}

void VirtualClock::advance(std::int64_t ms) {
    const std::int64_t end = now_ + ms;
    for (;;) {
        const void* nextKey = nullptr;
        std::int64_t due = std::numeric_limits<std::int64_t>::max();
        std::uint64_t order = 0;
        for (const auto& [key, e] : timers_) {
            if (e.due < due || (e.due == due && e.order < order)) {
                nextKey = key;
                due = e.due;
                order = e.order;
            }
        }
        if (nextKey == nullptr || due > end)
            break;
        now_ = due;
        Entry& e = timers_.at(nextKey);
        e.due += e.interval;
        e.order = nextOrder_++;
        auto tick = e.tick;  // the tick may stop or restart its own timer
        tick();
    }
    now_ = end;
}

std::vector<platform::PixelRect> FakeScreen::allScreens() {
    std::vector<platform::PixelRect> all{screen};
    all.insert(all.end(), others.begin(), others.end());
    return all;
}

void FakeUdp::setRemote(const std::string& host, std::uint16_t port) {
    remoteHost = host;
    remotePort = port;
}

bool FakeUdp::send(const std::string& bytes) {
    if (failSends)
        return false;
    sent.push_back(bytes);
    return true;
}

void FakeUdp::setArrival(std::function<void(const platform::Datagram&)> onArrival) {
    onArrival_ = std::move(onArrival);
}

void FakeUdp::arrive(const std::string& bytes) {
    arriveFrom(bytes, remoteHost, remotePort);
}

void FakeUdp::arriveFrom(const std::string& bytes, const std::string& host, std::uint16_t port) {
    if (onArrival_)
        onArrival_(platform::Datagram{bytes, host, port});
}

bool FakeTray::add(ui::Element& ownerElement, int bitmapNumber, const std::string& tipText) {
    owner = &ownerElement;
    if (!available)
        return false;
    shown = true;
    bitmap = bitmapNumber;
    tip = tipText;
    return true;
}

void FakeTray::remove() {
    ++removes;
    shown = false;
}

void FakeTray::popupMenu(ui::Element& menu) {
    menusShown.push_back(menu.name());
}

ui::TextSize FakeTextMeasure::measure(std::string_view text, const ui::Font&) {
    float width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        width += c < 0x80 ? 6 : 12;
        i += len;
    }
    return {width, 12};
}

void FakeWindowSystem::attach(ui::Form& form) {
    attached.push_back(&form);
}

void FakeWindowSystem::detach(ui::Form& form) {
    std::erase(attached, &form);
}

void FakeWindowSystem::refresh() {
    ++refreshes;
    std::size_t changed = 0;
    for (ui::Form* form : attached) {
        auto changes = form->takeChanges();
        changed += changes.changed.size() + changes.removed.size();
    }
    lastChangedCount = changed;
}

void FakeAnalysisBrowser::navigate(const std::string& url) {
    navigations.push_back(url);
    // The empty document is reached at once, from inside navigate(), as the Qt
    // browser reports it; real pages only once the test finishes them.
    if (url == "about:blank")
        finish(url);
}

void FakeAnalysisBrowser::finish(const std::string& url, bool reached) {
    if (reached)
        address = url;
    if (onNavigated_)
        onNavigated_(url);
}

}  // namespace tallyro::test
