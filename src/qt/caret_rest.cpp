#include "qt/caret_rest.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QStyleHints>

namespace tallyro::qt {

CaretRest::CaretRest(std::chrono::milliseconds restAfter)
    : flashTime_(QGuiApplication::styleHints()->cursorFlashTime()) {
    timer_.setSingleShot(true);
    timer_.setInterval(restAfter);
    connect(&timer_, &QTimer::timeout, this, [this] { rest(); });
    if (flashTime_ <= 0)
        return;
    QCoreApplication::instance()->installEventFilter(this);
    timer_.start();
}

CaretRest::~CaretRest() {
    if (auto* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    if (resting_)
        QGuiApplication::styleHints()->setCursorFlashTime(flashTime_);
}

// A flash time of 0 stops every text box's blink timer and leaves its caret
// drawn; setting the desktop's time back starts them again.
void CaretRest::rest() {
    resting_ = true;
    QGuiApplication::styleHints()->setCursorFlashTime(0);
}

bool CaretRest::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::InputMethod:
        case QEvent::FocusIn:
            // Seen once for each receiver the event travels through; restarting
            // the timer is all it costs.
            timer_.start();
            if (resting_) {
                resting_ = false;
                QGuiApplication::styleHints()->setCursorFlashTime(flashTime_);
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tallyro::qt
