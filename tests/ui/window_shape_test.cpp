// The rounded outline: which pixels a rounded rectangle covers.
#include <gtest/gtest.h>

#include "ui/window_shape.h"

namespace tallyro::ui {
namespace {

// A 240 x 570 window is clipped over its own size, a widened one over 450: rows 0 and 1
// lose 2 and 1 pixels at both ends, the bottom rows mirror them, the rest are whole.
TEST(WindowShapeTest, OutlineCutsTheFourCornersOnlyAndCopesWithDegenerateSizes) {
    for (const int width : {240, 450}) {
        const auto spans = roundedRectSpans(width, 570, 9, 9);
        ASSERT_EQ(spans.size(), 570u);
        for (int y = 0; y < 570; ++y) {
            const int inset = std::max(0, 2 - std::min(y, 569 - y));
            EXPECT_EQ(spans[static_cast<std::size_t>(y)], (RegionSpan{y, inset, width - inset}));
        }
    }
    // Degenerate sizes give nothing, a plain rectangle or smaller corners.
    EXPECT_TRUE(roundedRectSpans(0, 10, 9, 9).empty() && roundedRectSpans(10, -1, 9, 9).empty());
    EXPECT_EQ(roundedRectSpans(4, 2, 0, 0), (std::vector<RegionSpan>{{0, 0, 4}, {1, 0, 4}}));
    // Corners larger than a tiny window shrink to fit instead of emptying it; a row
    // they would close entirely is left out.
    EXPECT_EQ(roundedRectSpans(3, 3, 9, 9).size(), 3u);
    EXPECT_EQ(roundedRectSpans(2, 10, 9, 9).size(), 8u);
}

}  // namespace
}  // namespace tallyro::ui
