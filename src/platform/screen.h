// The primary screen and the pointer, in pixels.
#pragma once

#include <vector>

namespace tallyro::platform {

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    bool operator==(const PixelRect&) const = default;
};

struct PixelPoint {
    int x = 0, y = 0;
};

class Screen {
public:
    virtual ~Screen() = default;
    // The whole primary screen; its size in twips is these pixels x 15.
    virtual PixelRect geometry() = 0;
    // Every screen the window could stand on, the primary one first.
    virtual std::vector<PixelRect> allScreens() = 0;
    // The screen minus the taskbar; all zeros when it cannot be read.
    virtual PixelRect workArea() = 0;
    virtual PixelPoint pointer() = 0;
};

}  // namespace tallyro::platform
