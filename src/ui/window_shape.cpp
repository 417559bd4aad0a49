#include "ui/window_shape.h"

#include <algorithm>
#include <cmath>

namespace tallyro::ui {

void ApplyRoundedRegion(ui::Element& window, int cornerWidth, int cornerHeight) {
    const int w = static_cast<int>(std::lround(window.width() / ui::kTwipsPerPixel));
    const int h = static_cast<int>(std::lround(window.height() / ui::kTwipsPerPixel));
    window.setRegion(ui::WindowRegion{w, h, cornerWidth, cornerHeight});
}

std::vector<RegionSpan> roundedRectSpans(int width, int height, int cornerWidth, int cornerHeight) {
    std::vector<RegionSpan> spans;
    if (width <= 0 || height <= 0)
        return spans;
    // Corner ellipses larger than the rectangle shrink to fit, as a rounded
    // rectangle cannot have corners longer than its sides.
    const double a = std::min(cornerWidth, width) / 2.0;
    const double b = std::min(cornerHeight, height) / 2.0;
    spans.reserve(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        int inset = 0;
        // Distance of the row's centre from the nearer straight edge's start.
        const double fromTop = y + 0.5;
        const double fromBottom = height - y - 0.5;
        const double d = std::min(fromTop, fromBottom);
        if (b > 0 && d < b) {
            const double dy = (b - d) / b;
            const double dx = a * std::sqrt(std::max(0.0, 1.0 - dy * dy));
            inset = static_cast<int>(std::lround(a - dx));
        }
        if (width - 2 * inset > 0)
            spans.push_back({y, inset, width - inset});
    }
    return spans;
}

}  // namespace tallyro::ui
