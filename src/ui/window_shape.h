// The rounded outline of the skinned windows.
#pragma once

#include <vector>

#include "ui/element.h"

namespace tallyro::ui {

// Clips a top-level window to a rounded rectangle over its own size, with corner
// ellipses of the given size in pixels, so that its four corners are cut alike.
// Every resize calls it again; a new call replaces the outline.
void ApplyRoundedRegion(ui::Element& window, int cornerWidth, int cornerHeight);

// One row of a region: pixels [left, right) of row y.
struct RegionSpan {
    int y;
    int left;
    int right;
    bool operator==(const RegionSpan&) const = default;
};

// The rows of a rounded rectangle covering [0, width) x [0, height) with corner
// ellipses of cornerWidth x cornerHeight, one span per row, top to bottom.
std::vector<RegionSpan> roundedRectSpans(int width, int height, int cornerWidth, int cornerHeight);

}  // namespace tallyro::ui
