// The hidden analysis browser without a browser engine: loads the request address
// over HTTP with the system's proxy settings, follows the service's redirects, and
// remembers the final address as the document shown.
#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

#include "platform/analysis_browser.h"

namespace tallyro::qt {

class RedirectBrowser : public platform::AnalysisBrowser {
public:
    RedirectBrowser();
    ~RedirectBrowser() override;
    void navigate(const std::string& url) override;
    std::string documentAddress() override { return address_; }
    bool loading() const override { return !current_.isNull(); }
    void setNavigated(std::function<void(const std::string&)> onNavigated) override {
        onNavigated_ = std::move(onNavigated);
    }

    // A browser's address bar: percent escapes decoded, read as UTF-8, or as GBK
    // where the bytes are not valid UTF-8.
    static std::string displayAddress(const QUrl& url);

private:
    void finished(QNetworkReply* reply);

    QNetworkAccessManager manager_;
    QPointer<QNetworkReply> current_;
    std::string address_;
    // Counts navigations, so that the report of one abandoned since never comes.
    std::uint64_t navigation_ = 0;
    std::function<void(const std::string&)> onNavigated_;
};

}  // namespace tallyro::qt
