// The events a user's keys and clicks raise on a text box, and the program's
// giving it the focus, as the Qt binding raises them: the contract tests
// (tests/contract) hold the two to the same sequences.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

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
inline constexpr Key kKeyDown{40, 0};

// A printable ASCII character, with Shift where it takes one.
inline Key characterKey(char c) {
    const auto code = static_cast<std::int16_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return {code, static_cast<char32_t>(c), c >= 'A' && c <= 'Z'};
}

// One key on a box whose cursor stands at the end of its text: KeyDown (after
// one for the Shift key itself, where Shift is held); for a key with a
// character, KeyPress, which a handler may swallow by setting it to 0; then
// UserText with the text the box now holds, when the key changed it.
inline void pressKey(ui::Element& box, Key key, const Dispatch& dispatch) {
    if (key.shift) {
        ui::Event shift{.target = &box, .kind = ui::EventKind::KeyDown, .shift = 1, .key = 16};
        dispatch(shift);
    }
    ui::Event down{
        .target = &box, .kind = ui::EventKind::KeyDown, .shift = key.shift, .key = key.code};
    dispatch(down);
    ui::Event press{&box, ui::EventKind::KeyPress};
    press.key = static_cast<std::int16_t>(key.character);
    if (key.character == 0 || (dispatch(press), press.key == 0))
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
    ui::Event edit{.target = &box, .kind = ui::EventKind::UserText, .text = text};
    dispatch(edit);
}

// Where the keyboard focus is, and whether the handlers have heard of it: the
// focus the program gives a box (a page being shown) is told when the user first
// acts there, with a key or a click; a loss is told only after a gain.
struct Focus {
    ui::Element* box = nullptr;
    bool told = false;

    void tell(const Dispatch& dispatch) {
        if (!box || std::exchange(told, true))
            return;
        ui::Event got{box, ui::EventKind::GotFocus};
        dispatch(got);
    }
    void give(ui::Element& to, const Dispatch& dispatch) {
        if (box != &to && box && told) {
            ui::Event lost{box, ui::EventKind::LostFocus};
            dispatch(lost);
        }
        if (box != &to)
            *this = {&to, false};
    }
    void click(ui::Element& to, const Dispatch& dispatch) { give(to, dispatch), tell(dispatch); }
    void press(Key key, const Dispatch& dispatch) { tell(dispatch), pressKey(*box, key, dispatch); }
};

}  // namespace tallyro::test
