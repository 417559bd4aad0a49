// The boss key on X11: a passive grab of the chord on the root window, through
// the toolkit's own connection to the X server, and the key presses it brings
// taken from that connection's events before the toolkit sees them.
#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>

#include "platform/global_keys.h"

namespace tallyro::qt {

class X11GlobalKeys : public platform::GlobalKeys, private QAbstractNativeEventFilter {
public:
    X11GlobalKeys();
    ~X11GlobalKeys() override;
    X11GlobalKeys(const X11GlobalKeys&) = delete;
    X11GlobalKeys& operator=(const X11GlobalKeys&) = delete;

    std::string grab(const platform::KeyChord& chord, std::function<void()> pressed) override;
    void release() override;

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    std::uint8_t keycode_ = 0;
    std::uint16_t modifiers_ = 0;
    std::function<void()> pressed_;
};

}  // namespace tallyro::qt
