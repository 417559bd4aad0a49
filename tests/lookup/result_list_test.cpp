// The result list: selection, double-click requests, hover, the scroll mapping
// and the mouse wheel, on rows built by real searches.
#include <gtest/gtest.h>

#include <climits>

#include "lookup/result_rows.h"
#include "search_window.h"

namespace tallyro::lookup {
namespace {

using test::SearchWindow;

class ResultListTest : public ::testing::Test {
protected:
    ResultListTest() {
        std::vector<std::pair<std::string, std::string>> stocks;
        for (int i = 1; i <= 12; ++i) {
            stocks.emplace_back("sh6000" + std::to_string(10 + i), "股票" + std::to_string(i));
        }
        w.setStocks(stocks);
        w.type("sh6");
    }
    std::uint32_t back(std::int16_t n) { return w.el("GpBg", n).backColor(); }
    std::uint32_t codeColor(std::int16_t n) { return w.el("GpID", n).foreColor(); }
    std::uint32_t nameColor(std::int16_t n) { return w.el("GpName", n).foreColor(); }

    SearchWindow w;
};

TEST_F(ResultListTest, ClickingAnotherRowMovesTheSelection) {
    w.click("GpBg", 3);
    w.click("GpBg", 5);
    EXPECT_EQ(back(3), 0xFFFFFFu);
    EXPECT_EQ(codeColor(3), 0x000000u);
    EXPECT_EQ(nameColor(3), 0x000000u);
    EXPECT_EQ(back(5), 0x3C3C3Cu);
    EXPECT_EQ(codeColor(5), 0xFFFFFFu);
    EXPECT_EQ(nameColor(5), 0xFFFFFFu);
    EXPECT_EQ(w.state.TempClickMun, 5);
}

TEST_F(ResultListTest, LabelsSelectTheirRowAndLeaveTheKeyboardPosition) {
    w.keyDown(app::kKeyDown);
    w.click("GpID", 4);
    EXPECT_EQ(back(4), 0x3C3C3Cu);
    EXPECT_EQ(back(1), 0xFFFFFFu);
    w.click("GpName", 6);
    EXPECT_EQ(back(6), 0x3C3C3Cu);
    EXPECT_EQ(back(4), 0xFFFFFFu);
    EXPECT_EQ(w.state.SearchNum, 1);
    // The next Down continues from the keyboard's row.
    w.keyDown(app::kKeyDown);
    EXPECT_EQ(w.state.SearchNum, 2);
    EXPECT_EQ(back(2), 0x3C3C3Cu);
    EXPECT_EQ(back(6), 0xFFFFFFu);
}

TEST_F(ResultListTest, DoubleClickRequestsTheRowsStock) {
    w.click("GpBg", 2);
    w.dblClick("GpBg", 2);
    w.dblClick("GpID", 3);
    w.dblClick("GpName", 4);
    EXPECT_EQ(w.requested(), (std::vector<std::string>{"sh600012", "sh600013", "sh600014"}));
    ASSERT_EQ(w.browser.navigations.size(), 3u);
    EXPECT_EQ(w.browser.navigations[1].rfind("http://web.test/RequestGpInfo.asp?GpID=sh600013&", 0),
              0u);
}

TEST_F(ResultListTest, DoubleClickOnTheTemplateDoesNothing) {
    w.dblClick("GpBg", 0);
    w.list.GpBg_DblClick(-1);
    EXPECT_TRUE(w.requested().empty());
    EXPECT_TRUE(w.browser.navigations.empty());
}

TEST_F(ResultListTest, HoverMovesFromRowToRow) {
    w.hover(2);  // the first move only notes the row
    EXPECT_EQ(back(2), 0xFFFFFFu);
    w.hover(2);
    EXPECT_EQ(back(2), 0xC8C8C8u);
    w.hover(4);
    EXPECT_EQ(back(2), 0xFFFFFFu);
    EXPECT_EQ(back(4), 0xC8C8C8u);
    EXPECT_EQ(w.state.TempMoveMun, 4);
}

TEST_F(ResultListTest, HoverLeavesTheSelectedRowAlone) {
    w.click("GpBg", 3);
    w.hover(5);
    w.hover(5);
    w.hover(3);
    EXPECT_EQ(back(3), 0x3C3C3Cu);
    EXPECT_EQ(back(5), 0xC8C8C8u);  // stays until another unselected row is hovered
    EXPECT_EQ(w.state.TempMoveMun, 5);
    w.hover(6);
    EXPECT_EQ(back(5), 0xFFFFFFu);
    EXPECT_EQ(back(6), 0xC8C8C8u);
}

TEST_F(ResultListTest, StaleHoverRowIsNotRecreatedAfterARebuild) {
    w.hover(11);
    w.hover(11);
    ASSERT_EQ(back(11), 0xC8C8C8u);
    w.type("sh60001");  // rows sh600011 to sh600019: nine
    ASSERT_EQ(rowCount(*w.form), 9);
    ASSERT_EQ(w.state.TempMoveMun, 11);
    w.hover(2);
    EXPECT_EQ(rowCount(*w.form), 9);
    EXPECT_EQ(w.form->find("GpBg", 11), nullptr);
    EXPECT_EQ(back(2), 0xC8C8C8u);
    EXPECT_EQ(w.el("GpBg", 0).backColor(), 0xFFFFFFu);
}

TEST_F(ResultListTest, NewRowsAreNeverBornPainted) {
    w.click("GpBg", 2);
    w.list.GpBg_Click(0);  // the hidden template
    w.hover(1);
    w.hover(1);
    w.type("sh6000");
    for (std::int16_t n = 1; n <= rowCount(*w.form); ++n) {
        EXPECT_EQ(back(n), 0xFFFFFFu) << n;
        EXPECT_EQ(codeColor(n), 0x000000u) << n;
    }
}

struct ScrollCase {
    const char* name;
    float viewport;
    int value;
    float top;
};

class ScrollMappingTest : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(ScrollMappingTest, CanvasTopFollowsTheBar) {
    const ScrollCase& p = GetParam();
    SearchWindow w;
    w.el("Frame_Table").setHeight(p.viewport);
    w.scrollBar(p.value);
    EXPECT_EQ(w.el("Frame_TableBox").top(), p.top);  // exact in single precision
}

INSTANTIATE_TEST_SUITE_P(Mapping, ScrollMappingTest,
                         ::testing::Values(ScrollCase{"Value10", 4215, 10, -4785.0f},
                                           ScrollCase{"Value1", 4215, 1, -478.5f},
                                           ScrollCase{"Value5", 4215, 5, -2392.5f},
                                           ScrollCase{"Value0", 4215, 0, 0.0f},
                                           ScrollCase{"FiveRows", 2250, 10, -6750.0f},
                                           // The bar takes nothing outside 0 to 10.
                                           ScrollCase{"AboveRange", 4215, 14, -4785.0f},
                                           ScrollCase{"BelowRange", 4215, -3, 0.0f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WheelTest, NotchesTowardsTheUserSaturateAtTen) {
    SearchWindow w;
    w.el("Frame_Table").setHeight(4215);
    for (int i = 0; i < 11; ++i)
        w.wheel(-120);
    EXPECT_EQ(w.list.WheelScrollPos(), 10);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 10);
    EXPECT_FLOAT_EQ(w.el("Frame_TableBox").top(), -4785);
    w.wheel(120);
    EXPECT_EQ(w.list.WheelScrollPos(), 9);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 9);
}

TEST(WheelTest, NotchesAwayFromTheUserStopAtZero) {
    SearchWindow w;
    w.wheel(120);
    w.wheel(240);
    EXPECT_EQ(w.list.WheelScrollPos(), 0);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 0);
    w.wheel(-120);
    EXPECT_EQ(w.list.WheelScrollPos(), 1);
}

TEST(WheelTest, PartialNotchesAddUpToWholeSteps) {
    SearchWindow w;
    w.wheel(-360);  // three notches at once
    EXPECT_EQ(w.list.WheelScrollPos(), 3);
    w.wheel(40);
    w.wheel(40);
    EXPECT_EQ(w.list.WheelScrollPos(), 3);
    w.wheel(40);
    EXPECT_EQ(w.list.WheelScrollPos(), 2);
    w.wheel(-100);
    w.wheel(-30);  // 130: one step, 10 left over
    EXPECT_EQ(w.list.WheelScrollPos(), 3);
    w.wheel(-110);
    EXPECT_EQ(w.list.WheelScrollPos(), 4);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 4);
}

TEST(WheelTest, TurningBackDropsTheLeftoverOfTheOtherDirection) {
    SearchWindow w;
    w.wheel(-240);
    w.wheel(100);  // most of a notch up, not yet a step
    w.wheel(-120);
    EXPECT_EQ(w.list.WheelScrollPos(), 3);
    w.wheel(-60);
    w.wheel(60);
    EXPECT_EQ(w.list.WheelScrollPos(), 3);
    w.wheel(-60);
    EXPECT_EQ(w.list.WheelScrollPos(), 3);
    w.wheel(-60);
    EXPECT_EQ(w.list.WheelScrollPos(), 4);
    w.wheel(0);
    EXPECT_EQ(w.list.WheelScrollPos(), 4);
}

TEST(WheelTest, HugeRotationsSaturate) {
    SearchWindow w;
    w.wheel(INT_MIN);
    EXPECT_EQ(w.list.WheelScrollPos(), 10);
    w.wheel(INT_MAX);
    w.wheel(INT_MAX);
    EXPECT_EQ(w.list.WheelScrollPos(), 0);
}

TEST(WheelTest, WheelKeepsItsOwnPositionApartFromTheBar) {
    SearchWindow w;
    w.el("Frame_Table").setHeight(4215);
    w.wheel(-360);
    w.scrollBar(8);
    EXPECT_EQ(w.list.WheelScrollPos(), 3);
    w.wheel(-120);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 4);
    w.type("6");  // a search scrolls the list back to its start
    EXPECT_EQ(w.el("Frame_TableBar").value(), 0);
    w.wheel(-120);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 5);
    EXPECT_FLOAT_EQ(w.el("Frame_TableBox").top(), -2392.5f);
}

}  // namespace
}  // namespace tallyro::lookup
