// One input to the main window: what happened, to which element, with the
// arguments the handlers read. The Qt binding and the tests both build these and
// hand them to FormLogin::dispatch.
#pragma once

#include <cstdint>
#include <string>

namespace tallyro::ui {

class Element;

enum class EventKind : std::uint8_t {
    Click,
    DblClick,
    MouseDown,
    MouseMove,
    MouseUp,
    KeyDown,
    KeyPress,
    GotFocus,
    LostFocus,
    Timer,
    Wheel,         // on the window; delta in eighths of a degree, 120 per notch
    UserText,      // the user edited a text box: `text` is its new text
    UserValue,     // the user moved a scroll bar or ticked a check box: `value`
    Change,        // a text box's text or a scroll bar's value changed, whoever set it
    CloseRequest,  // the window system asks a window to close (Alt+F4, a task manager)
    Moved,         // a window was moved from outside the program: x and y, twips
    PointerMoved,  // the pointer entered the window or moved over it
    PointerLeft,   // the pointer left the window
};

// Mouse buttons and key codes as the handlers know them.
inline constexpr std::int16_t kButtonLeft = 1;
inline constexpr std::int16_t kButtonRight = 2;
inline constexpr std::int16_t kButtonMiddle = 4;
inline constexpr std::int16_t kKeyEnter = 13;
inline constexpr std::int16_t kKeyUp = 38;
inline constexpr std::int16_t kKeyDown = 40;

struct Event {
    ui::Element* target = nullptr;
    EventKind kind = EventKind::Click;
    std::int16_t button = 0;
    std::int16_t shift = 0;
    float x = 0;  // twips, relative to the target element
    float y = 0;
    // KeyDown: the key code. KeyPress: the character code, which a handler may
    // set to 0 to swallow the character.
    std::int16_t key = 0;
    int delta = 0;     // Wheel
    int value = 0;     // UserValue
    std::string text;  // UserText
};

}  // namespace tallyro::ui
