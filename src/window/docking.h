// The window on the desktop: dragging it by its title strip, docking it at a
// screen edge, the slides out of view and back (Timer1, Timer2) and the monitor
// that starts them (the first half of every Timer3 tick).
#pragma once

#include <cstdint>
#include <vector>

#include "context/context.h"
#include "platform/screen.h"
#include "platform/screen_metrics.h"
#include "ui/handlers.h"

namespace tallyro::window {

class Docking {
public:
    explicit Docking(context::Context& context);

    // The title strip's mouse events, and the two slide timers.
    void registerHandlers(ui::Handlers& handlers);

    void FormTop_MouseDown(std::int16_t button, float x, float y);
    void FormTop_MouseUp();
    // `image` is the title-strip image the pointer is on; x and y are relative to it.
    void FormTop_MouseMove(const ui::Element& image, float x, float y);
    void Timer1_Timer();
    void Timer2_Timer();

    // First half of a Timer3 tick, with the pointer read once for the whole tick.
    void monitor(platform::PixelPoint pointer);

    // The tray icon's restore: shown, flush with its edge, free, with any slide
    // under way ended and the monitor running.
    void restoreToEdge();

    // The window was moved by someone else (the window manager, another
    // program) to left and top, in twips.
    void movedFromOutside(float left, float top);

private:
    void free(float left);
    // Ends a slide under way, or the slid-out state, leaving a docked window shown
    // flush with its edge and the monitor running.
    void settle();
    void putAtEdge();
    void slide(const char* timer, int direction);
    const std::vector<platform::PixelRect>& screens(bool fresh);

    context::Context& ctx_;
    ui::Element& win_;
    ui::Element& timer1_;
    ui::Element& timer2_;
    ui::Element& timer3_;
    std::vector<platform::PixelRect> screens_;
    int screensAge_ = 0;
};

}  // namespace tallyro::window
