// The rounded outline: which pixels a rounded rectangle covers.
#include <gtest/gtest.h>

#include "ui/window_shape.h"

namespace tallyro::ui {
namespace {

// A 240 x 570 window: rows 0 and 1 lose 2 and 1 pixels at both ends, the bottom rows
// mirror them, the rest are whole.
TEST(WindowShapeTest, OutlineCutsTheFourCornersOnlyAndCopesWithDegenerateSizes) {
    const auto spans = roundedRectSpans(240, 570, 9, 9);
    ASSERT_EQ(spans.size(), 570u);
    for (int y = 0; y < 570; ++y) {
        const int inset = std::max(0, 2 - std::min(y, 569 - y));
        EXPECT_EQ(spans[static_cast<std::size_t>(y)], (RegionSpan{y, inset, 240 - inset}));
    }
    // Degenerate sizes give nothing or a plain rectangle; corners larger than a tiny
    // window shrink to fit instead of emptying it, leaving out a row they would close.
    EXPECT_TRUE(roundedRectSpans(0, 10, 9, 9).empty() && roundedRectSpans(10, -1, 9, 9).empty());
    EXPECT_EQ(roundedRectSpans(4, 2, 0, 0), (std::vector<RegionSpan>{{0, 0, 4}, {1, 0, 4}}));
    EXPECT_EQ(std::pair(roundedRectSpans(3, 3, 9, 9).size(), roundedRectSpans(2, 10, 9, 9).size()),
              (std::pair<std::size_t, std::size_t>(3, 8)));
}

}  // namespace
}  // namespace tallyro::ui
