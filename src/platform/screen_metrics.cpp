#include "platform/screen_metrics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tallyro::platform {

namespace {

constexpr float kTwips = ui::kTwipsPerPixel;

DockScreen twipsOf(const platform::PixelRect& s) {
    return {static_cast<float>(s.left) * kTwips, static_cast<float>(s.top) * kTwips,
            static_cast<float>(s.right) * kTwips, static_cast<float>(s.bottom) * kTwips};
}

DockScreen dockScreen(const std::vector<platform::PixelRect>& all, std::size_t i) {
    const platform::PixelRect& s = all[i];
    DockScreen d = twipsOf(s);
    for (std::size_t j = 0; j < all.size(); ++j) {
        const platform::PixelRect& t = all[j];
        if (j == i)
            continue;
        const bool besideVertically = t.top < s.bottom && s.top < t.bottom;
        const bool besideHorizontally = t.left < s.right && s.left < t.right;
        if (t.right == s.left && besideVertically)
            d.leftEdge = false;
        if (t.left == s.right && besideVertically)
            d.rightEdge = false;
        if (t.bottom == s.top && besideHorizontally)
            d.topEdge = false;
    }
    return d;
}

long distanceSquared(const platform::PixelRect& r, platform::PixelPoint p) {
    const long dx = p.x < r.left ? r.left - p.x : (p.x >= r.right ? p.x - r.right + 1 : 0);
    const long dy = p.y < r.top ? r.top - p.y : (p.y >= r.bottom ? p.y - r.bottom + 1 : 0);
    return dx * dx + dy * dy;
}

std::size_t nearest(const std::vector<platform::PixelRect>& screens, platform::PixelPoint p) {
    std::size_t best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const long d = distanceSquared(screens[i], p);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace

DockScreen primaryScreen(platform::Screen& screen) {
    return twipsOf(screen.geometry());
}

std::vector<platform::PixelRect> allScreens(platform::Screen& screen) {
    std::vector<platform::PixelRect> all = screen.allScreens();
    if (all.empty())
        all.push_back(screen.geometry());
    return all;
}

DockScreen screenAt(const std::vector<platform::PixelRect>& screens, platform::PixelPoint p) {
    if (screens.empty())
        return {};
    return dockScreen(screens, nearest(screens, p));
}

DockScreen screenUnder(const std::vector<platform::PixelRect>& screens, platform::PixelRect r) {
    if (screens.empty())
        return {};
    std::size_t best = 0;
    long bestArea = 0;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const platform::PixelRect& s = screens[i];
        const long w = std::min(s.right, r.right) - std::max(s.left, r.left);
        const long h = std::min(s.bottom, r.bottom) - std::max(s.top, r.top);
        if (w > 0 && h > 0 && w * h > bestArea) {
            best = i;
            bestArea = w * h;
        }
    }
    if (bestArea == 0)
        best = nearest(screens, {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return dockScreen(screens, best);
}

platform::PixelRect pixelsOf(const ui::Element& window) {
    const auto px = [](float twips) { return static_cast<int>(std::floor(twips / kTwips)); };
    return {px(window.left()), px(window.top()), px(window.left() + window.width()),
            px(window.top() + window.height())};
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

}  // namespace tallyro::platform
