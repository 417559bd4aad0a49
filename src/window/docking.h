// The window on the desktop: dragging it by its title strip, docking it at a
// screen edge, the slides out of view and back (Timer1, Timer2) and the monitor
// that starts them (the first half of every Timer3 tick).
#pragma once

#include <cstdint>
#include <vector>

#include "context/context.h"
#include "ui/handlers.h"
#include "platform/screen.h"

namespace tallyro::window {

// A screen in twips, and the edges of it at which the window may dock.
//
// With several monitors, the edges are those of the screen the window is on
// (the one under the pointer while it is dragged or touched), and an edge that
// another screen adjoins is no edge at all: a user drags the window across it to
// the other monitor instead of having it snap to the middle of the desktop. With
// one screen every edge counts, as the behaviour was designed for.
struct DockScreen {
    float left = 0, top = 0, right = 0, bottom = 0;
    bool leftEdge = true, rightEdge = true, topEdge = true;
};

// The screen that holds the point, or the nearest one.
DockScreen screenAt(const std::vector<platform::PixelRect>& screens, platform::PixelPoint p);
// The screen that holds most of the rectangle, or the nearest one to its centre.
DockScreen screenUnder(const std::vector<platform::PixelRect>& screens, platform::PixelRect r);

class Docking {
public:
    explicit Docking(app::Context& context);

    // The title strip's mouse events, and the two slide timers.
    void registerHandlers(app::Handlers& handlers);

    void FormTop_MouseDown(std::int16_t button, float x, float y);
    void FormTop_MouseUp();
    // `image` is the title-strip image the pointer is on; x and y are relative to it.
    void FormTop_MouseMove(const ui::Element& image, float x, float y);
    void Timer1_Timer();
    void Timer2_Timer();

    // First half of a Timer3 tick, with the pointer read once for the whole tick.
    void monitor(platform::PixelPoint pointer);

    // The tray icon's restore: shown, flush with its edge, free.
    void restoreToEdge();

    // The window was moved by someone else (the window manager, another
    // program) to left and top, in twips.
    void movedFromOutside(float left, float top);

private:
    void free(float left);
    void slide(const char* timer, int direction);
    const std::vector<platform::PixelRect>& screens(bool fresh);

    app::Context& ctx_;
    ui::Element& win_;
    ui::Element& timer1_;
    ui::Element& timer2_;
    ui::Element& timer3_;
    std::vector<platform::PixelRect> screens_;
    int screensAge_ = 0;
};

}  // namespace tallyro::window
