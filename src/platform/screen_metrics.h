// Measures of the primary screen in twips: its size, and the height of the strip
// below the work area, where a bottom taskbar sits.
#pragma once

#include <cstdint>

#include "platform/screen.h"

namespace tallyro::window {

struct TwipSize {
    float width = 0;
    float height = 0;
};

// The whole primary screen, at 15 twips per pixel.
TwipSize screenTwips(platform::Screen& screen);

// In twips; 0 when the taskbar is not at the bottom, and when the work area
// cannot be read or does not lie on the screen. The result is 32-bit: twips of
// a screen taller than 2184 pixels do not fit 16 bits.
std::int32_t GetTaskbarHeight(platform::Screen& screen);

}  // namespace tallyro::window
