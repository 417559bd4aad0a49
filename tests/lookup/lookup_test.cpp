// The search box and the result list, driven through the main window.
#include <gtest/gtest.h>

#include <array>
#include <climits>

#include "lookup/result_rows.h"
#include "search_window.h"

namespace tallyro::lookup {
namespace {

using test::SearchWindow;

class LookupTest : public ::testing::Test {
protected:
    LookupTest() {
        std::vector<std::pair<std::string, std::string>> stocks;
        for (int i = 1; i <= 25; ++i)
            stocks.emplace_back("sh6000" + std::to_string(10 + i), "股票" + std::to_string(i));
        w.setStocks(stocks);
    }
    void keys(int times, std::int16_t key = ui::kKeyDown) {
        while (times-- > 0)
            w.keyDown(key);
    }
    // Row by row: S selected, H hovered, . plain, ? any other mix; trailing plain rows cut.
    std::string paint() {
        using Look = std::array<std::uint32_t, 3>;
        std::string rows;
        for (std::int16_t n = 1; n <= rowCount(*w.form); ++n) {
            const Look look{w.el("GpBg", n).backColor(), w.el("GpID", n).foreColor(),
                            w.el("GpName", n).foreColor()};
            rows += look == Look{kRowBackSelected, kRowTextSelected, kRowTextSelected} ? 'S'
                    : look == Look{kRowBackHovered, kRowTextNormal, kRowTextNormal}    ? 'H'
                    : look == Look{kRowBackNormal, kRowTextNormal, kRowTextNormal}     ? '.'
                                                                                       : '?';
        }
        return rows.erase(rows.find_last_not_of('.') + 1);
    }
    std::string text() { return w.el("SearchForm_Text").text(); }
    std::string boxAndRows() {
        std::string out = text() + " " + std::to_string(w.el("SearchForm_Text").foreColor()) + ":";
        for (const std::string& code : w.rowCodes())
            out += " " + code;
        return out;
    }
    float top() { return w.el("Frame_TableBox").top(); }

    SearchWindow w;
};

TEST_F(LookupTest, SearchListsTheFirstTwentyMatchesAndCountsThemAllTheEmptyBoxThePlaceholder) {
    EXPECT_EQ(text(), kSearchPlaceholder);
    w.type("sh6");
    const std::vector<std::string> codes = w.rowCodes();
    ASSERT_EQ(codes.size(), 20u);
    EXPECT_EQ(codes.front() + codes.back() + std::to_string(w.state.SearchNumAll),
              "sh600011sh60003025");
    std::string row3;  // two pitches down, the favourite mark hidden beside the code
    for (const ui::Element* e :
         {&w.el("GpBg", 3), &w.el("GpID", 3), &w.el("GpName", 3), &w.el("shoucang", 3)})
        row3 += std::to_string(int(e->left())) + "," + std::to_string(int(e->top())) +
                (e->visible() ? " " : "h ");
    EXPECT_EQ(row3, "0,900 150,1050 1050,1050 2150,1050h ");
    w.type("zzzz");  // no match: an empty list, and the count of the last match kept
    EXPECT_TRUE(w.form->find("GpID", 1) == nullptr && w.state.SearchNumAll == 25);
    w.type("");
    EXPECT_EQ(rowCount(*w.form), 0);
    // Focus empties the box; leaving it empty shows the grey placeholder, which is searched.
    w.setStocks({{"sh600001", "甲"}, {"sh600002", "搜索股票代码或名称...之类"}});
    w.type("sh6");
    w.focus();
    EXPECT_EQ(boxAndRows(), " " + std::to_string(kSearchTextColor) + ":");
    w.blur();
    EXPECT_EQ(boxAndRows(),
              kSearchPlaceholder + (" " + std::to_string(kPlaceholderColor)) + ": sh600002");
    w.focus();
    w.type("60");
    w.blur();
    EXPECT_EQ(text(), "60");
}

TEST_F(LookupTest, ArrowsMoveTheHighlightWithinTheRowsAndTheMatchesUntilTheNextChange) {
    w.focus();
    appendRow(*w.form, 1, "sh600000", "浦发银行");  // rows left while the box is empty
    w.state.SearchNumAll = 5;
    keys(1);
    EXPECT_EQ(w.state.TempClickMun, 0);
    w.type("sh6");
    keys(25);
    EXPECT_EQ(paint(), std::string(19, '.') + "S");
    keys(23, ui::kKeyUp);
    keys(1);
    keys(1, 37);  // Left moves nothing
    EXPECT_EQ(paint(), ".S");
    EXPECT_EQ(w.keyPress('a') + w.keyPress(8), 'a' + 8);  // characters pass through
    w.scrollBar(7);
    w.type("sh60001");  // every change starts afresh, here with nine matches
    EXPECT_EQ(w.state.SearchNum + w.state.TempClickMun + w.el("Frame_TableBar").value(), 0);
    EXPECT_TRUE(top() == 0 && paint().empty());
    keys(12);
    EXPECT_EQ(w.state.SearchNum, 9);
}

TEST_F(LookupTest, EnterCompletesToTheHighlightedCodeThenRequestsIt) {
    w.type("sh600011");
    EXPECT_EQ(w.keyPress(ui::kKeyEnter), 0);  // no highlight: swallowed, nothing else
    EXPECT_EQ(text(), "sh600011");
    w.type("股票12");  // eight bytes but four characters: completed, not requested
    keys(1);
    w.keyPress(ui::kKeyEnter);
    EXPECT_EQ(text(), "sh600022");
    w.type("股票1");  // 股票1, then 股票10 to 股票19
    keys(2);
    EXPECT_EQ(w.keyPress(ui::kKeyEnter), 0);
    EXPECT_TRUE(text() == "sh600020" && w.rowCodes() == std::vector<std::string>{"sh600020"} &&
                w.state.SearchNum == 1 && paint() == "S");
    EXPECT_TRUE(w.keyPress(ui::kKeyEnter) == 0 &&
                w.requested() == std::vector<std::string>{"sh600020"});
    // Text equal to the highlighted code: rebuilt all the same, only row 1 painted selected.
    w.setStocks({{"sz00010", "甲"}, {"sz0001", "乙"}, {"sz00012", "丙"}});
    w.type("sz0001");
    keys(2);
    w.keyPress(ui::kKeyEnter);
    EXPECT_EQ(paint(), "S");
    w.keyPress(ui::kKeyEnter);
    EXPECT_EQ(text(), "sz00010");
    w.keyPress(ui::kKeyEnter);
    EXPECT_EQ(paint() + std::to_string(w.state.SearchNum), "S1");
    EXPECT_EQ(w.requested().size(), 1u);  // none of them
}

// Within the bar's range of 0 to 10, halves rounded to the even neighbour.
TEST_F(LookupTest, ArrowsScrollTheHighlightIntoView) {
    // Viewport height (0: as laid out, 10.27 rows), Downs, Ups, the row reached, the value.
    const std::array<int, 5> cases[] = {
        {0, 10, 0, 10, 0},    {0, 11, 0, 11, 1},    {2250, 7, 1, 6, 1},  {4215, 10, 0, 10, 1},
        {900, 20, 0, 20, 10}, {900, 20, 8, 12, 10}, {900, 20, 11, 9, 7}, {2475, 6, 0, 6, 0},
        {2475, 7, 0, 7, 2},   {2475, 8, 0, 8, 2},   {2070, 5, 1, 4, 0},  {2070, 8, 7, 1, 0},
        {9900, 20, 0, 20, 0}};
    for (const auto& [viewport, downs, ups, row, value] : cases) {
        if (viewport != 0)
            w.el("Frame_Table").setHeight(static_cast<float>(viewport));
        w.type("");
        w.type("sh6");
        keys(downs);
        keys(ups, ui::kKeyUp);
        EXPECT_EQ(w.state.SearchNum, row);
        EXPECT_EQ(w.el("Frame_TableBar").value(), value) << viewport << " " << downs << " " << ups;
        EXPECT_FLOAT_EQ(top(), -((9000 - w.el("Frame_Table").height()) / 10) * value);
    }
}

TEST_F(LookupTest, ClicksSelectLeavingTheKeyboardPositionAndDoubleClicksRequest) {
    w.type("sh6");
    keys(1);
    w.click("GpID", 4);
    EXPECT_EQ(paint(), "...S");
    w.click("GpName", 6);
    w.click("GpBg", 5);
    EXPECT_EQ(paint() + std::to_string(w.state.TempClickMun), "....S5");
    keys(1);  // the next Down continues from the keyboard's row
    EXPECT_EQ(paint(), ".S");
    w.dblClick("GpBg", 1);
    w.dblClick("GpID", 3);
    w.dblClick("GpName", 4);
    w.dblClick("GpBg", 0);  // the hidden template
    w.list.GpBg_DblClick(-1);
    w.list.GpBg_DblClick(21);
    EXPECT_EQ(w.requested(), (std::vector<std::string>{"sh600011", "sh600013", "sh600014"}));
}

// From wherever a click or the box left it, the selected row whole in the viewport.
TEST_F(LookupTest, TheListsOwnKeysSelectScrollIntoViewAndRequest) {
    const auto listKey = [this](std::int16_t code) {
        w.send({.target = &w.el("Frame_TableBox"), .kind = ui::EventKind::KeyDown, .key = code});
    };
    const auto selected = [this] {
        std::string rows;
        for (std::int16_t n = 1; n <= rowCount(*w.form); ++n)
            rows += w.el("GpBg", n).selected() ? std::to_string(n) + " " : "";
        return rows;
    };
    w.el("Frame_Table").setHeight(4215);  // nine rows and a third
    w.type("sh6");
    std::string rows;  // nothing selected: nothing above
    for (const std::int16_t key :
         {ui::kKeyUp, ui::kKeyDown, ui::kKeyDown, ui::kKeyUp, ui::kKeyUp}) {
        listKey(key);
        rows += selected() + "/";
    }
    EXPECT_EQ(rows, "/1 /2 /1 /1 /");
    w.click("GpBg", 9);
    for (int row = 10; row <= 21; ++row) {
        listKey(ui::kKeyDown);
        const float viewTop = -top(), rowTop = (std::min(row, 20) - 1) * 450.0f;
        EXPECT_TRUE(rowTop >= viewTop && rowTop + 450 <= viewTop + 4215) << row;
    }
    EXPECT_EQ(selected() + std::to_string(w.el("Frame_TableBar").value()), "20 10");
    for (int row = 19; row >= 11; --row)
        listKey(ui::kKeyUp);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 9);  // row 11 from 4500 twips down, just in view
    EXPECT_EQ(paint(), std::string(10, '.') + "S");
    EXPECT_EQ(
        w.send({.target = &w.el("Frame_TableBox"), .kind = ui::EventKind::KeyPress, .key = 13}).key,
        0);
    EXPECT_EQ(w.requested(), std::vector<std::string>{"sh600021"});
    w.mainWindow.ReGpTj();  // the favourites, fewer rows, the selection beyond them
    const std::int16_t last = rowCount(*w.form);
    ASSERT_LT(last, 11);
    listKey(ui::kKeyDown);
    EXPECT_EQ(selected(), "");
    listKey(ui::kKeyUp);
    EXPECT_EQ(selected(), std::to_string(last) + " ");
}

TEST_F(LookupTest, HoverMovesFromRowToRowAroundTheSelectionAndOutlivesNoRebuild) {
    w.type("sh6");
    w.hover(1);  // the first move only notes the row
    EXPECT_EQ(paint(), "");
    w.hover(1);
    w.hover(4);
    EXPECT_EQ(paint(), "...H");
    w.click("GpBg", 3);
    w.hover(3);
    EXPECT_EQ(paint(), "..SH");
    w.hover(15);
    EXPECT_EQ(paint(), "..S" + std::string(11, '.') + "H");
    w.type("sh60001");  // nine rows: the hovered row is gone
    w.hover(1);
    EXPECT_EQ(paint() + std::to_string(rowCount(*w.form)), "H9");
    w.list.GpBg_Click(0);  // the hidden template is never painted, so new rows are plain
    w.type("sh6");
    EXPECT_EQ(paint(), "");
}

// A remainder waits for the next rotation the same way; the bar moves the canvas by tenths.
TEST_F(LookupTest, WheelNotchesAddUpSaturateAndATurnDropsTheLeftoverTheBarMovesTheCanvas) {
    w.el("Frame_Table").setHeight(4215);
    const std::pair<int, int> turns[] = {
        {-360, 3},   {40, 3},   {40, 3},       {40, 2},      {-100, 2},    {-30, 3}, {-110, 4},
        {100, 4},    {-120, 5}, {-60, 5},      {60, 5},      {-60, 5},     {-60, 6}, {0, 6},
        {-1200, 10}, {120, 9},  {INT_MIN, 10}, {INT_MAX, 0}, {INT_MAX, 0}, {120, 0}, {-120, 1}};
    for (const auto& [delta, pos] : turns) {
        w.wheel(delta);
        EXPECT_EQ(w.list.WheelScrollPos() * 100 + w.el("Frame_TableBar").value(), pos * 101)
            << delta;
    }
    EXPECT_FLOAT_EQ(top(), -478.5f);
    // Exact in single precision; the bar itself takes nothing outside 0 to 10.
    const std::pair<int, float> values[] = {{10, -4785.0f}, {1, -478.5f},   {5, -2392.5f},
                                            {0, 0.0f},      {14, -4785.0f}, {-3, 0.0f}};
    for (const auto& [value, expected] : values) {
        w.scrollBar(value);
        EXPECT_EQ(top(), expected) << value;
    }
    w.wheel(-120);  // the wheel goes on from its own position, not the bar's
    EXPECT_EQ(w.el("Frame_TableBar").value(), 2);
    w.type("6");  // a search scrolls the list back to its start
    w.el("Frame_Table").setHeight(2250);
    w.wheel(-120);
    EXPECT_EQ(top(), -675.0f * 3);
}

}  // namespace
}  // namespace tallyro::lookup
