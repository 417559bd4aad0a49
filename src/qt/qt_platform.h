// The Qt implementations of the platform interfaces, bundled for main.cpp.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUdpSocket>
#include <memory>

#include "platform/platform.h"
#include "qt/form_view.h"

namespace tallyro::qt {

class QtTimers : public platform::Timers {
public:
    ~QtTimers() override;
    void start(const void* key, int intervalMs, std::function<void()> tick) override;
    void stop(const void* key) override;

private:
    QHash<const void*, QTimer*> timers_;
};

class QtScreen : public platform::Screen {
public:
    QtScreen();
    ~QtScreen() override;
    QtScreen(const QtScreen&) = delete;
    QtScreen& operator=(const QtScreen&) = delete;
    platform::PixelRect geometry() override;
    std::vector<platform::PixelRect> allScreens() override;
    platform::PixelRect workArea() override;
    platform::PixelPoint pointer() override;

private:
    // On X11 the pointer, asked for a hundred times a second, is asked on a
    // connection of our own: an answer on Qt's connection passes through its
    // event thread, and those hand-overs cost more than the question itself.
    struct X11Pointer;
    std::unique_ptr<X11Pointer> x11_;
    bool x11Tried_ = false;
};

class QtUdp : public platform::UdpEndpoint {
public:
    QtUdp();
    void setRemote(const std::string& host, std::uint16_t port) override;
    bool send(const std::string& bytes) override;
    void setArrival(std::function<void(const platform::Datagram&)> onArrival) override;

private:
    QUdpSocket socket_;
    QHostAddress host_;
    std::uint16_t port_ = 0;
    std::function<void(const platform::Datagram&)> onArrival_;
};

class QtShell : public platform::Shell {
public:
    void openUrl(const std::string& url) override;
};

class QtTray : public platform::Tray {
public:
    // Tray activity comes back as MouseMove of the owner: 1 left, 2 right button.
    explicit QtTray(QtWindowSystem& windows) : windows_(windows) {}
    bool add(ui::Element& owner, int bitmap, const std::string& tip) override;
    void remove() override;
    bool reachable() override;
    void popupMenu(ui::Element& menu) override;
    // The icon's balloon message; `clicked` runs when the user clicks it. False
    // without an icon to carry it.
    bool showMessage(const std::string& title, const std::string& body,
                     std::function<void()> clicked);

private:
    QtWindowSystem& windows_;
    ui::Element* owner_ = nullptr;
    std::unique_ptr<QSystemTrayIcon> icon_;
};

class QtTextMeasure : public ui::TextMeasure {
public:
    ui::TextSize measure(std::string_view text, const ui::Font& font) override;
};

class QtProcess : public platform::Process {
public:
    void exit() override;
    void fatal(const std::string& message) override;
    void warn(const std::string& message) override;
};

}  // namespace tallyro::qt
