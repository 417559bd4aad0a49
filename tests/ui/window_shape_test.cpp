// The rounded outline: which pixels a rounded rectangle covers.
#include <gtest/gtest.h>

#include "ui/window_shape.h"

namespace tallyro::window {
namespace {

bool covers(const std::vector<RegionSpan>& spans, int x, int y) {
    for (const auto& s : spans) {
        if (s.y == y)
            return x >= s.left && x < s.right;
    }
    return false;
}

TEST(WindowShapeTest, StartSizeOutlineCutsTheFourCornersOnly) {
    // A 240 x 570 window is clipped to (0, 0)-(241, 571).
    const auto spans = roundedRectSpans(241, 571, 9, 9);
    ASSERT_EQ(spans.size(), 571u);
    for (auto [x, y] :
         {std::pair{0, 0}, {1, 0}, {0, 1}, {240, 0}, {0, 570}, {240, 570}, {239, 570}}) {
        EXPECT_FALSE(covers(spans, x, y)) << x << "," << y;
    }
    for (auto [x, y] :
         {std::pair{120, 0}, {0, 285}, {240, 285}, {120, 570}, {1, 1}, {4, 4}, {0, 5}}) {
        EXPECT_TRUE(covers(spans, x, y)) << x << "," << y;
    }
    // Beyond the corner rows every row is whole.
    for (int y = 5; y < 566; ++y)
        EXPECT_EQ(spans[static_cast<std::size_t>(y)], (RegionSpan{y, 0, 241}));
}

TEST(WindowShapeTest, OutlineIsSymmetric) {
    const auto spans = roundedRectSpans(451, 571, 9, 9);
    for (std::size_t y = 0; y < spans.size(); ++y) {
        const auto& top = spans[y];
        const auto& bottom = spans[spans.size() - 1 - y];
        EXPECT_EQ(top.left, 451 - top.right);
        EXPECT_EQ(top.left, bottom.left);
    }
}

TEST(WindowShapeTest, DegenerateSizesGiveNothingOrAPlainRectangle) {
    EXPECT_TRUE(roundedRectSpans(0, 10, 9, 9).empty());
    EXPECT_TRUE(roundedRectSpans(10, -1, 9, 9).empty());
    const auto square = roundedRectSpans(4, 3, 0, 0);
    ASSERT_EQ(square.size(), 3u);
    EXPECT_EQ(square[0], (RegionSpan{0, 0, 4}));
    // Corners larger than a tiny window shrink to fit instead of emptying it.
    EXPECT_FALSE(roundedRectSpans(3, 3, 9, 9).empty());
}

}  // namespace
}  // namespace tallyro::window
