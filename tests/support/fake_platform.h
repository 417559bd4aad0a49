// Fakes of every platform interface, with a virtual clock, for driving the
// core in unit tests. A FakePlatform bundles them into a platform::Platform.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tallyro::test {

// Timers on a virtual clock: advance(ms) fires the due ticks in time order,
// each to completion, with the semantics of real repeating timers.
class VirtualClock : public platform::Timers {
public:
    void start(const void* key, int intervalMs, std::function<void()> tick) override;
    void stop(const void* key) override;
    void advance(std::int64_t ms);
    std::int64_t now() const { return now_; }
    bool running(const void* key) const { return timers_.count(key) != 0; }
    std::size_t runningCount() const { return timers_.size(); }

private:
    struct Entry {
        int interval;
        std::int64_t due;
        std::uint64_t order;
        std::function<void()> tick;
    };
    std::map<const void*, Entry> timers_;
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
    std::vector<platform::PixelRect> allScreens() override;
    platform::PixelRect workArea() override { return work; }
    platform::PixelPoint pointer() override { return pointerAt; }
};

class FakeUdp : public platform::UdpEndpoint {
public:
    std::string remoteHost;
    std::uint16_t remotePort = 0;
    std::vector<std::string> sent;
    bool failSends = false;

    void setRemote(const std::string& host, std::uint16_t port) override;
    bool send(const std::string& bytes) override;
    void setArrival(std::function<void(const platform::Datagram&)> onArrival) override;
    // Delivers a datagram as if it came from host:port (the login server by default).
    void arrive(const std::string& bytes);
    void arriveFrom(const std::string& bytes, const std::string& host, std::uint16_t port);

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
    int bitmap = 0;
    std::string tip;
    ui::Element* owner = nullptr;
    std::vector<std::string> menusShown;

    bool add(ui::Element& owner, int bitmapNumber, const std::string& tipText) override;
    void remove() override;
    bool reachable() override { return shown && area; }
    void popupMenu(ui::Element& menu) override;
};

// Every character is 12 x 12 pixels wide (CJK) or 6 x 12 (ASCII).
class FakeTextMeasure : public ui::TextMeasure {
public:
    ui::TextSize measure(std::string_view text, const ui::Font& font) override;
};

// Applies changes by taking them, and counts how often and how much.
class FakeWindowSystem : public platform::WindowSystem {
public:
    std::vector<ui::Form*> attached;
    int refreshes = 0;
    std::size_t lastChangedCount = 0;

    ui::Element* captured = nullptr;

    void attach(ui::Form& form) override;
    void detach(ui::Form& form) override;
    void refresh() override;
    void setCapture(ui::Element* element) override { captured = element; }
};

class FakeProcess : public platform::Process {
public:
    int exits = 0;
    std::vector<std::string> fatals;
    void exit() override { ++exits; }
    void fatal(const std::string& message) override { fatals.push_back(message); }
};

// Shows whatever address the test sets; records navigations.
class FakeAnalysisBrowser : public platform::AnalysisBrowser {
public:
    std::vector<std::string> navigations;
    std::string address;  // what documentAddress() reports

    void navigate(const std::string& url) override;
    std::string documentAddress() override { return address; }
    void setNavigated(std::function<void(const std::string&)> onNavigated) override {
        onNavigated_ = std::move(onNavigated);
    }
    // The load finished on `url`: the document address becomes it (unless the
    // address could not be reached at all) and the finished-navigation callback runs.
    void finish(const std::string& url, bool reached = true);

private:
    std::function<void(const std::string&)> onNavigated_;
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
    FakeAnalysisBrowser browser;
    platform::Platform platform{clock,   screen,  udp,     shell,  tray,
                                measure, windows, process, browser};
};

}  // namespace tallyro::test
