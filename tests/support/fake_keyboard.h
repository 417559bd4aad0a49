// The events a user's keys and clicks raise on a text box, and the program's
// giving it the focus, as the Qt binding raises them: the contract tests
// (tests/contract) hold the two to the same sequences, so tests that type
// through these meet what the real box delivers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/element.h"
#include "ui/event.h"

namespace tallyro::test {

using Dispatch = std::function<void(ui::Event&)>;

// A key: its virtual key code and the ASCII character it types (0 for none).
// Other characters reach a box through the input method, as UserText alone.
struct Key {
    std::int16_t code = 0;
    char32_t character = 0;
    bool shift = false;
};

inline constexpr Key kBackspace{8, 8};
inline constexpr Key kReturn{13, 13};
inline constexpr Key kEscape{27, 27};
inline constexpr Key kDelete{46, 0};
inline constexpr Key kKeyUp{38, 0};
inline constexpr Key kKeyDown{40, 0};

// A printable ASCII character, with Shift where it takes one.
inline Key characterKey(char c) {
    if (c >= 'a' && c <= 'z')
        return {static_cast<std::int16_t>(c - 'a' + 'A'), static_cast<char32_t>(c)};
    if (c >= 'A' && c <= 'Z')
        return {static_cast<std::int16_t>(c), static_cast<char32_t>(c), true};
    return {static_cast<std::int16_t>(c), static_cast<char32_t>(c)};
}

// One key on a box whose cursor stands at the end of its text: KeyDown (after
// one for the Shift key itself, where Shift is held); for a key with a
// character, KeyPress, which a handler may swallow by setting it to 0; then
// UserText with the text the box now holds, when the key changed it. Keys
// without a character (Delete at the end, the arrows) change no text.
inline void pressKey(ui::Element& box, Key key, const Dispatch& dispatch) {
    if (key.shift) {
        ui::Event shift{&box, ui::EventKind::KeyDown};
        shift.key = 16;
        shift.shift = 1;
        dispatch(shift);
    }
    ui::Event down{&box, ui::EventKind::KeyDown};
    down.key = key.code;
    down.shift = key.shift ? 1 : 0;
    dispatch(down);
    if (key.character == 0)
        return;
    ui::Event press{&box, ui::EventKind::KeyPress};
    press.key = static_cast<std::int16_t>(key.character);
    dispatch(press);
    if (press.key == 0)
        return;
    std::string text = box.text();
    if (key.character == 8) {
        if (text.empty())
            return;
        std::size_t last = text.size() - 1;  // the last character, UTF-8 trail bytes and all
        while (last > 0 && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80)
            --last;
        text.erase(last);
    } else if (key.character < 32 || key.character == 127) {
        return;  // Return, Escape: no text
    } else {
        text += static_cast<char>(key.character);
    }
    ui::Event edit{&box, ui::EventKind::UserText};
    edit.text = text;
    dispatch(edit);
}

// Where the keyboard focus is, and whether the handlers have heard of it.
struct Focus {
    ui::Element* box = nullptr;
    bool told = false;
};

// The handlers hear that the box with the focus got it, if they have not yet.
inline void tellFocus(Focus& focus, const Dispatch& dispatch) {
    if (!focus.box || focus.told)
        return;
    focus.told = true;
    ui::Event got{focus.box, ui::EventKind::GotFocus};
    dispatch(got);
}

// The focus leaves its box for `to`, told to be lost only if it was told to be got.
inline void leaveFocus(Focus& focus, ui::Element& to, const Dispatch& dispatch) {
    if (focus.box == &to)
        return;
    if (focus.box && focus.told) {
        ui::Event lost{focus.box, ui::EventKind::LostFocus};
        dispatch(lost);
    }
    focus = {&to, false};
}

// The user clicks into `to`.
inline void moveFocus(Focus& focus, ui::Element& to, const Dispatch& dispatch) {
    leaveFocus(focus, to, dispatch);
    tellFocus(focus, dispatch);
}

// The program gives `to` the focus (a page being shown): the handlers hear of it
// when the user first acts in the box (see pressKey below, and moveFocus).
inline void giveFocus(Focus& focus, ui::Element& to, const Dispatch& dispatch) {
    leaveFocus(focus, to, dispatch);
}

// A key on the box with the focus, whose GotFocus is told first if it was not.
inline void pressKey(Focus& focus, Key key, const Dispatch& dispatch) {
    tellFocus(focus, dispatch);
    pressKey(*focus.box, key, dispatch);
}

}  // namespace tallyro::test
