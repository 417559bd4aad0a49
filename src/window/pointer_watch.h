// When the docking monitor and the hover pass run: Timer3's ticks, driven by
// what moves instead of a clock that never stops.
//
// Every Timer3 tick reads the pointer and runs the docking monitor, then the
// hover pass. Both are pure functions of where the pointer is, where the window
// stands and the docking state: a tick in which none of those changed changes
// nothing. So the tick's timer runs only while something that feeds them may have
// changed, and stops once a tick has seen the result:
//
//   what the polled monitor noticed          what starts the ticks now
//   the pointer entering the window          the window's Enter and motion events
//   the pointer moving over it (hover)       its motion events
//   the pointer leaving it (slide out)       its Leave event
//   a drag moving the window                 the motion events, and the move
//   a slide's last step, re-enabling Timer3  the window's move
//   a page widening or narrowing it          the window's resize
//   the tray bringing it back                its move, or its showing
//
// A tick comes Timer3's interval after what started it, as it would have come on
// the polled clock, so slides start and looks change at the moment they always
// did. One place events cannot tell about: the monitor counts a window's right
// and bottom edge lines and its cut-off corners as inside, where the window
// system reports the pointer as outside. While the pointer rests there, the ticks
// go on, as they did everywhere before.
#pragma once

#include <optional>

#include "context/context.h"
#include "platform/screen.h"
#include "window/docking.h"
#include "window/hover.h"

namespace tallyro::window {

class PointerWatch {
public:
    PointerWatch(context::Context& context, Docking& docking, Hover& hover);

    void registerHandlers(ui::Handlers& handlers);

    // One tick: the pointer read once for the docking monitor and the hover pass.
    void Timer3_Timer();

    // The pointer entered or moved over the window, or left it.
    void pointerMoved();
    void pointerLeft();

    // After every input: notices that the window moved, changed its size or was
    // shown or hidden, which may have put it under or away from a still pointer.
    void afterInput();

    // Whether the window system last said the pointer is over the window.
    bool pointerOver() const { return !left_; }
    // Whether Timer3's timer should run now (when Timer3 is enabled at all).
    bool wantsTicks() const { return pending_ || onEdgeLine_; }

private:
    struct Place {
        float left, top, width, height;
        bool visible;
        bool operator==(const Place&) const = default;
    };
    Place place() const;
    platform::PixelPoint pointer();
    bool reportedOver(platform::PixelPoint p) const;

    context::Context& ctx_;
    Docking& docking_;
    Hover& hover_;
    ui::Element& win_;
    // Something the ticks feed on may have changed since the last tick.
    bool pending_ = true;
    // The last tick found the pointer inside by the monitor's measure but where
    // no event tells when it leaves.
    bool onEdgeLine_ = false;
    // The window system said the pointer left the window and has not said since
    // that it came back.
    bool left_ = true;
    std::optional<Place> lastPlace_;
};

}  // namespace tallyro::window
