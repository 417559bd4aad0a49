#include "window/screen_metrics.h"

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
    const std::int32_t workBottom = work == platform::PixelRect{} ? 0 : work.bottom - s.top;
    return (screenHeightTwips / f - workBottom) * f;
}

}  // namespace tallyro::window
