#include "platform/screen_metrics.h"

#include "ui/element.h"

namespace tallyro::window {

TwipSize screenTwips(platform::Screen& screen) {
    const platform::PixelRect s = screen.geometry();
    return {static_cast<float>(s.right - s.left) * ui::kTwipsPerPixel,
            static_cast<float>(s.bottom - s.top) * ui::kTwipsPerPixel};
}

std::int32_t GetTaskbarHeight(platform::Screen& screen) {
    // The screen's horizontal twips per pixel serves both conversions.
    const auto f = static_cast<std::int32_t>(ui::kTwipsPerPixel);
    const platform::PixelRect s = screen.geometry();
    const std::int32_t screenHeightTwips = (s.bottom - s.top) * f;
    const platform::PixelRect work = screen.workArea();
    // A work area that cannot be read, or that does not lie on this screen, tells
    // nothing about a taskbar here: there is none, rather than one as tall as the
    // screen, which would put whatever stands above it off the top of the screen.
    const bool onScreen = work.left >= s.left && work.right <= s.right && work.top >= s.top &&
                          work.bottom <= s.bottom && work.left < work.right &&
                          work.top < work.bottom;
    if (!onScreen)
        return 0;
    return (screenHeightTwips / f - (work.bottom - s.top)) * f;
}

}  // namespace tallyro::window
