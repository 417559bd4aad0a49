#include "window/taskbar.h"

#include "ui/element.h"

namespace tallyro::window {

std::int32_t GetTaskbarHeight(platform::Screen& screen) {
    // The screen's horizontal twips per pixel serves both conversions.
    const auto f = static_cast<std::int32_t>(ui::kTwipsPerPixel);
    const platform::PixelRect s = screen.geometry();
    const std::int32_t screenHeightTwips = (s.bottom - s.top) * f;
    const platform::PixelRect work = screen.workArea();
    const std::int32_t workBottom = work == platform::PixelRect{} ? 0 : work.bottom - s.top;
    return (screenHeightTwips / f - workBottom) * f;
}

}  // namespace tallyro::window
