#include "qt/redirect_browser.h"

#include <QNetworkProxyFactory>
#include <QNetworkRequest>
#include <QTimer>

#include "text/gbk_codec.h"
#include "text/utf8.h"

namespace tallyro::qt {

RedirectBrowser::RedirectBrowser() {
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    manager_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

RedirectBrowser::~RedirectBrowser() {
    // abort() reports the reply finished at once; nobody may hear of it now.
    if (current_) {
        current_->disconnect();
        current_->abort();
    }
}

void RedirectBrowser::navigate(const std::string& url) {
    const std::uint64_t navigation = ++navigation_;
    if (current_) {
        QNetworkReply* old = current_;
        current_ = nullptr;
        old->disconnect();
        old->abort();
        old->deleteLater();
        // An aborted reply leaves its connection open, waiting for an answer that
        // nobody reads; after six of them to a hung server every later request
        // would queue behind them. Dropping the connections closes them.
        manager_.clearConnectionCache();
    }
    if (url == "about:blank") {
        address_ = url;
        QTimer::singleShot(0, &manager_, [this, navigation] {
            if (navigation == navigation_ && onNavigated_)
                onNavigated_("about:blank");
        });
        return;
    }
    // The address goes out as given: its few escapes are kept, everything else is
    // sent as the text it is.
    const QUrl target = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::TolerantMode);
    QNetworkRequest request(target);
    request.setMaximumRedirectsAllowed(10);
    QNetworkReply* reply = manager_.get(request);
    current_ = reply;
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] { finished(reply); });
}

void RedirectBrowser::finished(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply != current_)
        return;
    current_ = nullptr;
    // Like a browser, the document shown is the last address reached, whatever
    // its status; an address that could not be reached at all shows nothing new.
    const std::string reached = displayAddress(reply->url());
    if (reply->error() == QNetworkReply::NoError ||
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        address_ = reached;
    }
    if (onNavigated_)
        onNavigated_(reached);
}

std::string RedirectBrowser::displayAddress(const QUrl& url) {
    const QByteArray raw = QByteArray::fromPercentEncoding(url.toEncoded());
    const std::string_view bytes(raw.constData(), static_cast<std::size_t>(raw.size()));
    if (text::isValidUtf8(bytes))
        return std::string(bytes);
    return text::gbkToUtf8(bytes);
}

}  // namespace tallyro::qt
