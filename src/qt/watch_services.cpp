#include "qt/watch_services.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QVariantMap>

#include <map>

#include "qt/redirect_browser.h"

namespace tallyro::qt {

std::int64_t QtWallClock::nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

HttpQuoteFetcher::HttpQuoteFetcher(int timeoutMs) : timeoutMs_(timeoutMs) {
    manager_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

HttpQuoteFetcher::~HttpQuoteFetcher() {
    if (current_) {
        current_->disconnect();
        current_->abort();
    }
}

void HttpQuoteFetcher::fetch(const std::string& url) {
    if (current_) {
        QNetworkReply* old = current_;
        current_ = nullptr;
        old->disconnect();
        old->abort();
        old->deleteLater();
    }
    // The address goes out as the hidden browser sends it (see RedirectBrowser).
    QNetworkRequest request(QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::TolerantMode));
    request.setTransferTimeout(timeoutMs_);
    QNetworkReply* reply = manager_.get(request);
    current_ = reply;
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [this, reply, url] { finished(reply, url); });
}

void HttpQuoteFetcher::finished(QNetworkReply* reply, const std::string& url) {
    reply->deleteLater();
    if (reply != current_)
        return;
    current_ = nullptr;
    platform::Fetched result{url, "", ""};
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray location = reply->rawHeader("Location");
    if (status >= 300 && status < 400 && !location.isEmpty()) {
        // Read as the browser shows the address it lands on.
        const QUrl to = reply->url().resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
        result.location = RedirectBrowser::displayAddress(to);
    } else if (reply->error() != QNetworkReply::NoError && status == 0) {
        result.problem = reply->errorString().toStdString();
    } else {
        result.problem = "no answer address (HTTP " + std::to_string(status) + ")";
    }
    if (done_)
        done_(result);
}

// The notification service's signal of a clicked notification; the ids it gave
// to ours, with their tags.
class DesktopNotifier::Listener : public QObject {
    Q_OBJECT
public:
    explicit Listener(DesktopNotifier& owner) : owner_(owner) {
        QDBusConnection::sessionBus().connect(kService, kPath, kInterface,
                                              QStringLiteral("ActionInvoked"), this,
                                              SLOT(actionInvoked(uint, QString)));
    }
    static inline const QString kService = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
    std::map<uint, std::string> tags;

public slots:
    void actionInvoked(uint id, const QString& action) {
        const auto it = tags.find(id);
        if (it == tags.end() || action != QLatin1String("default"))
            return;
        const std::string tag = it->second;
        if (owner_.clicked_)
            owner_.clicked_(tag);
    }

private:
    DesktopNotifier& owner_;
};

DesktopNotifier::DesktopNotifier(QtTray& tray) : tray_(tray), listener_(new Listener(*this)) {}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const std::string& title, const std::string& body,
                             const std::string& tag) {
    const auto toTray = [this, title, body, tag] {
        tray_.showMessage(title, body, [this, tag] {
            if (clicked_)
                clicked_(tag);
        });
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        toTray();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        Listener::kService, Listener::kPath, Listener::kInterface, QStringLiteral("Notify"));
    // A click on the notification is its "default" action.
    call << QStringLiteral("Tallyro") << 0u << QStringLiteral("tallyro")
         << QString::fromStdString(title) << QString::fromStdString(body)
         << QStringList{QStringLiteral("default"), QStringLiteral("打开")} << QVariantMap{} << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), listener_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, listener_.get(),
                     [this, tag, toTray](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         const QDBusPendingReply<uint> reply = *w;
                         if (reply.isError()) {
                             toTray();
                             return;
                         }
                         listener_->tags[reply.value()] = tag;
                     });
}

}  // namespace tallyro::qt

#include "watch_services.moc"
