#include "qt/qt_platform.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QMenu>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QScreen>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

#include <xcb/xcb.h>

#include "qt/skin_assets.h"
#include "ui/form.h"

namespace tallyro::qt {

namespace {

platform::PixelRect toRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

}  // namespace

QtTimers::~QtTimers() {
    qDeleteAll(timers_);
}

void QtTimers::start(const void* key, int intervalMs, std::function<void()> tick) {
    QTimer*& timer = timers_[key];
    if (!timer) {
        timer = new QTimer;
        timer->setTimerType(Qt::PreciseTimer);
    }
    timer->disconnect();
    QObject::connect(timer, &QTimer::timeout, timer, std::move(tick));
    timer->start(intervalMs);
}

void QtTimers::stop(const void* key) {
    if (QTimer* t = timers_.value(key))
        t->stop();
}

platform::PixelRect QtScreen::geometry() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? toRect(s->geometry()) : platform::PixelRect{};
}

std::vector<platform::PixelRect> QtScreen::allScreens() {
    std::vector<platform::PixelRect> out;
    if (const QScreen* p = QGuiApplication::primaryScreen())
        out.push_back(toRect(p->geometry()));
    for (const QScreen* s : QGuiApplication::screens()) {
        if (s != QGuiApplication::primaryScreen())
            out.push_back(toRect(s->geometry()));
    }
    return out;
}

platform::PixelRect QtScreen::workArea() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? toRect(s->availableGeometry()) : platform::PixelRect{};
}

struct QtScreen::X11Pointer {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    ~X11Pointer() {
        if (connection)
            xcb_disconnect(connection);
    }
};

QtScreen::QtScreen() = default;
QtScreen::~QtScreen() = default;

platform::PixelPoint QtScreen::pointer() {
    if (!x11Tried_) {
        x11Tried_ = true;
        // Only where device pixels are Qt's pixels: with scaling, Qt converts.
        if (QGuiApplication::platformName() == QStringLiteral("xcb") &&
            qGuiApp->devicePixelRatio() == 1.0) {
            auto x11 = std::make_unique<X11Pointer>();
            int screenNumber = 0;
            x11->connection = xcb_connect(nullptr, &screenNumber);
            if (xcb_connection_has_error(x11->connection) == 0) {
                xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(x11->connection));
                for (int i = 0; i < screenNumber && it.rem > 0; ++i)
                    xcb_screen_next(&it);
                if (it.rem > 0) {
                    x11->root = it.data->root;
                    x11_ = std::move(x11);
                }
            }
        }
    }
    if (x11_) {
        xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(
            x11_->connection, xcb_query_pointer(x11_->connection, x11_->root), nullptr);
        if (reply) {
            const platform::PixelPoint p{reply->root_x, reply->root_y};
            std::free(reply);
            return p;
        }
    }
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

QtUdp::QtUdp() {
    QObject::connect(&socket_, &QUdpSocket::readyRead, &socket_, [this] {
        while (socket_.hasPendingDatagrams()) {
            const QNetworkDatagram d = socket_.receiveDatagram();
            if (!onArrival_)
                continue;
            QHostAddress sender = d.senderAddress();
            bool mapped = false;
            const quint32 v4 = sender.toIPv4Address(&mapped);
            if (mapped)
                sender = QHostAddress(v4);
            const QByteArray data = d.data();
            onArrival_(platform::Datagram{
                std::string(data.constData(), static_cast<std::size_t>(data.size())),
                sender.toString().toStdString(), static_cast<std::uint16_t>(d.senderPort())});
        }
    });
}

void QtUdp::setRemote(const std::string& host, std::uint16_t port) {
    host_ = QHostAddress(QString::fromStdString(host));
    port_ = port;
}

bool QtUdp::send(const std::string& bytes) {
    if (host_.isNull())
        return false;
    const qint64 n =
        socket_.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()), host_, port_);
    return n == static_cast<qint64>(bytes.size());
}

void QtUdp::setArrival(std::function<void(const platform::Datagram&)> onArrival) {
    onArrival_ = std::move(onArrival);
}

void QtShell::openUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

bool QtTray::add(ui::Element& owner, int bitmapNumber, const std::string& tip) {
    // Made even when no notification area runs yet (a desktop session may start
    // it after the program): Qt puts the icon there once one appears.
    owner_ = &owner;
    icon_ = std::make_unique<QSystemTrayIcon>(QIcon(bitmap(bitmapNumber)));
    icon_->setToolTip(QString::fromStdString(tip));
    QObject::connect(
        icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
        [this](QSystemTrayIcon::ActivationReason reason) {
            ui::Event ev{owner_, ui::EventKind::MouseMove};
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                ev.button = ui::kButtonLeft;
            } else if (reason == QSystemTrayIcon::Context) {
                ev.button = ui::kButtonRight;
            } else {
                return;
            }
            windows_.post(ev);
        });
    icon_->show();
    return true;
}

void QtTray::remove() {
    if (icon_)
        icon_->hide();
    icon_.reset();
}

bool QtTray::reachable() {
    return icon_ && QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTray::showMessage(const std::string& title, const std::string& body,
                         std::function<void()> clicked) {
    if (!icon_)
        return false;
    icon_->disconnect(SIGNAL(messageClicked()));
    QObject::connect(icon_.get(), &QSystemTrayIcon::messageClicked, icon_.get(),
                     std::move(clicked));
    icon_->showMessage(QString::fromStdString(title), QString::fromStdString(body));
    return true;
}

void QtTray::popupMenu(ui::Element& menu) {
    QMenu popup;
    for (ui::Element* item : menu.form().children(menu)) {
        if (!item->visible())
            continue;
        QAction* action = popup.addAction(QString::fromStdString(item->text()));
        if (item->max() == 1) {
            action->setCheckable(true);
            action->setChecked(item->value() != 0);
        }
        QObject::connect(action, &QAction::triggered, &popup, [this, item] {
            windows_.post(ui::Event{item, ui::EventKind::Click});
        });
    }
    popup.exec(QCursor::pos());
}

ui::TextSize QtTextMeasure::measure(std::string_view text, const ui::Font& font) {
    const QFontMetrics fm(qtFont(font));
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return {static_cast<float>(fm.horizontalAdvance(s)),
            static_cast<float>(fontPixelSize(font.points))};
}

void QtProcess::exit() {
    QCoreApplication::exit(0);
}

void QtProcess::warn(const std::string& message) {
    std::fprintf(stderr, "tallyro: %s\n", message.c_str());
}

void QtProcess::fatal(const std::string& message) {
    std::fprintf(stderr, "tallyro: %s\n", message.c_str());
    QMessageBox::critical(nullptr, QStringLiteral("Tallyro"), QString::fromStdString(message));
    QCoreApplication::exit(1);
}

}  // namespace tallyro::qt
