// The text boxes' caret blinks while the user works and stands still once the
// user has left the program alone for a while, as desktops do. A blinking caret
// redraws twice a second, all day, in a window that usually sits docked out of
// view: that is most of what an idle client would cost. Any key, click or focus
// change in the program sets it blinking again.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

namespace tallyro::qt {

class CaretRest : public QObject {
public:
    static constexpr std::chrono::milliseconds kRestAfter{10000};

    explicit CaretRest(std::chrono::milliseconds restAfter = kRestAfter);
    ~CaretRest() override;
    CaretRest(const CaretRest&) = delete;
    CaretRest& operator=(const CaretRest&) = delete;

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void rest();

    QTimer timer_;
    int flashTime_;  // the desktop's; 0 where it does not blink at all
    bool resting_ = false;
};

}  // namespace tallyro::qt
