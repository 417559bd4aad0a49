// The watch list's outside world on Qt: the wall clock, analysis requests
// without a browser, and desktop notifications over D-Bus with the tray icon's
// message where the desktop has no notification service.
#pragma once

#include <QNetworkAccessManager>
#include <QPointer>

#include "platform/watch_services.h"
#include "qt/qt_platform.h"

class QNetworkReply;

namespace tallyro::qt {

class QtWallClock : public platform::WallClock {
public:
    std::int64_t nowMs() override;
};

class HttpQuoteFetcher : public platform::QuoteFetcher {
public:
    // A request gives up after this long without an answer.
    static constexpr int kTimeoutMs = 10000;
    explicit HttpQuoteFetcher(int timeoutMs = kTimeoutMs);
    ~HttpQuoteFetcher() override;
    void fetch(const std::string& url) override;
    void setDone(std::function<void(const platform::Fetched&)> done) override {
        done_ = std::move(done);
    }

private:
    void finished(QNetworkReply* reply, const std::string& url);
    QNetworkAccessManager manager_;
    int timeoutMs_;
    QPointer<QNetworkReply> current_;
    std::function<void(const platform::Fetched&)> done_;
};

class DesktopNotifier : public platform::Notifier {
public:
    // The tray icon carries the message where no notification service answers.
    explicit DesktopNotifier(QtTray& tray);
    ~DesktopNotifier() override;
    void notify(const std::string& title, const std::string& body, const std::string& tag) override;
    void setClicked(std::function<void(const std::string&)> clicked) override {
        clicked_ = std::move(clicked);
    }

private:
    class Listener;
    QtTray& tray_;
    std::unique_ptr<Listener> listener_;
    std::function<void(const std::string&)> clicked_;
};

}  // namespace tallyro::qt
