// Measures of the screens in twips: where each lies on the desktop, the edges
// the window may dock at, the screen a point or a window is on, and the height of
// the strip below the primary screen's work area, where a bottom taskbar sits.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/screen.h"
#include "ui/element.h"

namespace tallyro::platform {

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

// The primary screen, where it lies on the desktop, at 15 twips per pixel. A
// primary screen to the right of another does not start at 0.
DockScreen primaryScreen(platform::Screen& screen);

// Every screen, the primary first; the primary alone when the list is empty.
std::vector<platform::PixelRect> allScreens(platform::Screen& screen);

// The screen that holds the point, or the nearest one.
DockScreen screenAt(const std::vector<platform::PixelRect>& screens, platform::PixelPoint p);
// The screen that holds most of the rectangle, or the nearest one to its centre.
DockScreen screenUnder(const std::vector<platform::PixelRect>& screens, platform::PixelRect r);

// The pixels a top-level window covers (left and top rounded down).
platform::PixelRect pixelsOf(const ui::Element& window);

// In twips; 0 when the taskbar is not at the bottom, and when the work area
// cannot be read or does not lie on the screen. The result is 32-bit: twips of
// a screen taller than 2184 pixels do not fit 16 bits.
std::int32_t GetTaskbarHeight(platform::Screen& screen);

}  // namespace tallyro::platform
