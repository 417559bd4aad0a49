#include "qt/x11_global_keys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace tallyro::qt {

namespace {

// Num Lock and Caps Lock change the modifier state of a press: the chord is
// grabbed with every combination of them, and they are ignored when it comes.
constexpr std::uint16_t kNumLock = XCB_MOD_MASK_2;
constexpr std::uint16_t kLocks[] = {0, XCB_MOD_MASK_LOCK, kNumLock, XCB_MOD_MASK_LOCK | kNumLock};

xcb_connection_t* connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// The X keysym of a chord's key: letters are lower-case keysyms, digits their
// ASCII code, F1 to F12 from 0xFFBE on.
std::uint32_t keysymOf(const std::string& key) {
    if (key.size() == 1 && key[0] >= 'A' && key[0] <= 'Z')
        return static_cast<std::uint32_t>(key[0] - 'A' + 'a');
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9')
        return static_cast<std::uint32_t>(key[0]);
    if (key.size() >= 2 && key[0] == 'F')
        return 0xFFBE + static_cast<std::uint32_t>(std::stoi(key.substr(1)) - 1);
    return 0;
}

// The first keycode of the keyboard that types the keysym.
std::uint8_t keycodeOf(xcb_connection_t* c, std::uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int first = setup->min_keycode, count = setup->max_keycode - setup->min_keycode + 1;
    const auto cookie = xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<std::uint8_t>(count));
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&free)> reply(
        xcb_get_keyboard_mapping_reply(c, cookie, nullptr), &free);
    if (!reply)
        return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
    const int per = reply->keysyms_per_keycode;
    for (int k = 0; k < count; ++k) {
        for (int i = 0; i < per; ++i) {
            if (syms[k * per + i] == keysym)
                return static_cast<std::uint8_t>(first + k);
        }
    }
    return 0;
}

}  // namespace

X11GlobalKeys::X11GlobalKeys() {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11GlobalKeys::~X11GlobalKeys() {
    release();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::string X11GlobalKeys::grab(const platform::KeyChord& chord, std::function<void()> pressed) {
    release();
    // Off X11 there is nothing to take the key with: the client says so once at
    // start, with the rest of what X11 gives it (main.cpp); a headless platform
    // (the tests') has no keyboard at all.
    xcb_connection_t* c = connection();
    if (!c)
        return "";
    const std::uint8_t keycode = keycodeOf(c, keysymOf(chord.key));
    if (keycode == 0)
        return "the keyboard has no such key";
    std::uint16_t modifiers = 0;
    modifiers |= chord.ctrl ? XCB_MOD_MASK_CONTROL : 0;
    modifiers |= chord.alt ? XCB_MOD_MASK_1 : 0;
    modifiers |= chord.shift ? XCB_MOD_MASK_SHIFT : 0;
    modifiers |= chord.super ? XCB_MOD_MASK_4 : 0;
    const xcb_window_t root = rootWindow(c);
    bool taken = false;
    for (const std::uint16_t locks : kLocks) {
        const auto cookie = xcb_grab_key_checked(c, 1, root, modifiers | locks, keycode,
                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            taken = true;
            free(error);
        }
    }
    if (taken) {
        for (const std::uint16_t locks : kLocks)
            xcb_ungrab_key(c, keycode, root, modifiers | locks);
        xcb_flush(c);
        return "another program holds it";
    }
    keycode_ = keycode;
    modifiers_ = modifiers;
    pressed_ = std::move(pressed);
    return "";
}

void X11GlobalKeys::release() {
    xcb_connection_t* c = connection();
    if (keycode_ != 0 && c) {
        for (const std::uint16_t locks : kLocks)
            xcb_ungrab_key(c, keycode_, rootWindow(c), modifiers_ | locks);
        xcb_flush(c);
    }
    keycode_ = 0;
    pressed_ = nullptr;
}

bool X11GlobalKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (keycode_ == 0 || eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    const std::uint16_t held = press->state & ~(XCB_MOD_MASK_LOCK | kNumLock);
    if (press->detail != keycode_ || held != modifiers_)
        return false;
    if (pressed_)
        pressed_();
    return true;
}

}  // namespace tallyro::qt
