// Fakes of every platform interface, with a virtual clock, for driving the
// core in unit tests. A FakePlatform bundles them into a platform::Platform.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tallyro::test {

// Timers on a virtual clock: advance(ms) fires the due ticks in time order,
// each to completion, with the semantics of real repeating timers. What is
// posted to the event loop runs at the next advance, even advance(0), before any
// tick due later.
class VirtualClock : public platform::Timers, public platform::WallClock {
public:
    // The wall clock runs with the virtual one, from a Monday of trading at 10:00
    // in Shanghai (2026-12-07 02:00 UTC) unless a test sets another start.
    std::int64_t epochMs = 1'796'608'800'000;
    std::int64_t nowMs() override { return epochMs + now_; }
    void post(std::function<void()> event) { posted_.push_back(std::move(event)); }
    void start(const void* key, int intervalMs, std::function<void()> tick) override {
        timers_[key] = Entry{intervalMs, now_ + intervalMs, nextOrder_++, std::move(tick)};
    }
    void stop(const void* key) override { timers_.erase(key); }
    void advance(std::int64_t ms);
    bool running(const void* key) const { return timers_.count(key) != 0; }
    std::size_t runningCount() const { return timers_.size(); }

private:
    struct Entry {
        int interval;
        std::int64_t due;
        std::uint64_t order;
        std::function<void()> tick;
    };
    void runPosted();

    std::map<const void*, Entry> timers_;
    std::vector<std::function<void()>> posted_;
    std::int64_t now_ = 0;
    std::uint64_t nextOrder_ = 0;
};

class FakeScreen : public platform::Screen {
public:
    platform::PixelRect screen{0, 0, 1920, 1080};
    std::vector<platform::PixelRect> others;  // further monitors
    platform::PixelRect work{0, 0, 1920, 1040};
    platform::PixelPoint pointerAt{0, 0};

    platform::PixelRect geometry() override { return screen; }
    std::vector<platform::PixelRect> allScreens() override {
        std::vector<platform::PixelRect> all{screen};
        all.insert(all.end(), others.begin(), others.end());
        return all;
    }
    platform::PixelRect workArea() override { return work; }
    platform::PixelPoint pointer() override { return pointerAt; }
};

class FakeUdp : public platform::UdpEndpoint {
public:
    std::string remoteHost;
    std::uint16_t remotePort = 0;
    std::vector<std::string> sent;
    bool failSends = false;

    void setRemote(const std::string& host, std::uint16_t port) override {
        remoteHost = host, remotePort = port;
    }
    bool send(const std::string& bytes) override {
        if (!failSends)
            sent.push_back(bytes);
        return !failSends;
    }
    void setArrival(std::function<void(const platform::Datagram&)> f) override { onArrival_ = f; }
    // Delivers a datagram as if it came from host:port (the login server by default).
    void arrive(const std::string& bytes) { arriveFrom(bytes, remoteHost, remotePort); }
    void arriveFrom(const std::string& bytes, const std::string& host, std::uint16_t port) {
        if (onArrival_)
            onArrival_(platform::Datagram{bytes, host, port});
    }

private:
    std::function<void(const platform::Datagram&)> onArrival_;
};

class FakeShell : public platform::Shell {
public:
    std::vector<std::string> opened;
    void openUrl(const std::string& url) override { opened.push_back(url); }
};

class FakeTray : public platform::Tray {
public:
    bool available = true;  // the icon can be added
    bool area = true;       // a notification area holds it
    bool shown = false;
    int removes = 0;
    std::string tip;
    ui::Element* owner = nullptr;
    std::vector<std::string> menusShown;

    bool add(ui::Element& ownerElement, int, const std::string& tipText) override {
        owner = &ownerElement;
        if (available)
            shown = true, tip = tipText;
        return available;
    }
    void remove() override { ++removes, shown = false; }
    bool reachable() override { return shown && area; }
    void popupMenu(ui::Element& menu) override { menusShown.push_back(menu.name()); }
};

// Every character is 12 x 12 pixels wide (CJK) or 6 x 12 (ASCII).
class FakeTextMeasure : public ui::TextMeasure {
public:
    ui::TextSize measure(std::string_view text, const ui::Font&) override {
        float width = 0;
        for (std::size_t i = 0; i < text.size();) {
            const auto c = static_cast<unsigned char>(text[i]);
            width += c < 0x80 ? 6 : 12;
            i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        }
        return {width, 12};
    }
};

// Applies changes by taking them, and counts how often and how much.
class FakeWindowSystem : public platform::WindowSystem {
public:
    std::vector<ui::Form*> attached;
    int refreshes = 0;
    std::size_t lastChangedCount = 0;
    ui::Element* captured = nullptr;
    ui::Element* focused = nullptr;  // the last element asked to take the focus

    void attach(ui::Form& form) override { attached.push_back(&form); }
    void detach(ui::Form& form) override { std::erase(attached, &form); }
    void refresh() override {
        ++refreshes;
        lastChangedCount = 0;
        for (ui::Form* form : attached) {
            auto changes = form->takeChanges();
            lastChangedCount += changes.changed.size() + changes.removed.size();
            for (const auto& c : changes.changed)
                focused = c.bits & ui::kChangeFocus ? c.element : focused;
        }
    }
    void setCapture(ui::Element* element) override { captured = element; }
};

class FakeProcess : public platform::Process {
public:
    int exits = 0;
    std::vector<std::string> fatals;
    std::vector<std::string> warnings;
    void exit() override { ++exits; }
    void fatal(const std::string& message) override { fatals.push_back(message); }
    void warn(const std::string& message) override { warnings.push_back(message); }
};

// A browser whose network is the test: navigate() records the address and starts
// a load that the test ends with finish(); a newer navigation abandons it. The
// empty page is shown at once and reported from the event loop (the clock's).
class FakeAnalysisBrowser : public platform::AnalysisBrowser {
public:
    explicit FakeAnalysisBrowser(VirtualClock& clock) : clock_(clock) {}
    std::vector<std::string> navigations;
    std::string address;   // what documentAddress() reports
    std::string underWay;  // the load under way, "" when none

    void navigate(const std::string& url) override {
        navigations.push_back(url);
        const std::uint64_t navigation = ++navigation_;
        underWay = url == "about:blank" ? "" : url;
        if (!underWay.empty())
            return;
        address = url;
        clock_.post([this, navigation] {
            if (navigation == navigation_ && onNavigated_)
                onNavigated_("about:blank");
        });
    }
    std::string documentAddress() override { return address; }
    bool loading() const override { return !underWay.empty(); }
    void setNavigated(std::function<void(const std::string&)> f) override { onNavigated_ = f; }
    // A load finished on `url`, which is shown unless it could not be reached.
    void finish(const std::string& url, bool reached = true) {
        underWay.clear();
        ++navigation_;
        if (reached)
            address = url;
        if (onNavigated_)
            onNavigated_(url);
    }

private:
    VirtualClock& clock_;
    std::uint64_t navigation_ = 0;
    std::function<void(const std::string&)> onNavigated_;
};

// Takes any chord unless told another program holds it; press() is the user
// pressing it.
class FakeGlobalKeys : public platform::GlobalKeys {
public:
    bool taken = false;
    std::optional<platform::KeyChord> held;
    std::string grab(const platform::KeyChord& chord, std::function<void()> pressed) override {
        if (taken)
            return "another program holds it";
        held = chord;
        pressed_ = std::move(pressed);
        return "";
    }
    void release() override { held.reset(), pressed_ = nullptr; }
    void press() {
        if (pressed_)
            pressed_();
    }

private:
    std::function<void()> pressed_;
};

// Records the requests; the test answers the one under way.
class FakeFetcher : public platform::QuoteFetcher {
public:
    std::vector<std::string> urls;
    void fetch(const std::string& url) override { urls.push_back(url); }
    void setDone(std::function<void(const platform::Fetched&)> done) override { done_ = done; }
    void answer(const std::string& location, const std::string& problem = "") {
        if (done_)
            done_(platform::Fetched{urls.empty() ? "" : urls.back(), location, problem});
    }

private:
    std::function<void(const platform::Fetched&)> done_;
};

// Records the notifications as "title|body|tag"; click() is the user clicking one.
class FakeNotifier : public platform::Notifier {
public:
    std::vector<std::string> shown;
    void notify(const std::string& title, const std::string& body,
                const std::string& tag) override {
        shown.push_back(title + "|" + body + "|" + tag);
    }
    void setClicked(std::function<void(const std::string&)> f) override { clicked_ = f; }
    void click(const std::string& tag) {
        if (clicked_)
            clicked_(tag);
    }

private:
    std::function<void(const std::string&)> clicked_;
};

struct FakePlatform {
    VirtualClock clock;
    FakeScreen screen;
    FakeUdp udp;
    FakeShell shell;
    FakeTray tray;
    FakeTextMeasure measure;
    FakeWindowSystem windows;
    FakeProcess process;
    FakeAnalysisBrowser browser{clock};
    FakeGlobalKeys keys;
    FakeFetcher fetcher;
    FakeNotifier notifier;
    platform::Platform platform{clock,   screen,  udp,  shell, tray,    measure, windows,
                                process, browser, keys, clock, fetcher, notifier};
};

}  // namespace tallyro::test
