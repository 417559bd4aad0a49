// The search box against a real copy of the stock database: the search and the
// rebuilt list, the placeholder, the arrow keys with their scrolling, and Enter.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "lookup/result_rows.h"
#include "search_window.h"

namespace tallyro::lookup {
namespace {

using test::SearchWindow;

// Codes of the stock list (data/stocks.csv) whose code or name contains
// `text`, in file order: the reference the search is checked against.
std::vector<std::string> csvMatches(const std::string& text) {
    std::ifstream in(TALLYRO_TEST_STOCK_CSV);
    std::string line;
    std::getline(in, line);  // header
    std::vector<std::string> codes;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string code, name;
        std::getline(fields, code, ',');
        std::getline(fields, name, ',');
        if (code.find(text) != std::string::npos || name.find(text) != std::string::npos) {
            codes.push_back(code);
        }
    }
    return codes;
}

bool paintedSelected(SearchWindow& w, std::int16_t n) {
    return w.el("GpBg", n).backColor() == kRowBackSelected &&
           w.el("GpID", n).foreColor() == kRowTextSelected &&
           w.el("GpName", n).foreColor() == kRowTextSelected;
}

bool paintedNormal(SearchWindow& w, std::int16_t n) {
    return w.el("GpBg", n).backColor() == kRowBackNormal &&
           w.el("GpID", n).foreColor() == kRowTextNormal &&
           w.el("GpName", n).foreColor() == kRowTextNormal;
}

int selectedRows(SearchWindow& w) {
    int count = 0;
    for (std::int16_t n = 1; n <= rowCount(*w.form); ++n)
        count += paintedSelected(w, n) ? 1 : 0;
    return count;
}

TEST(SearchBoxTest, OneCharacterListsTheFirstTwentyMatchesAndCountsThemAll) {
    SearchWindow w;
    w.type("6");
    const std::vector<std::string> expected = csvMatches("6");
    ASSERT_GT(expected.size(), 20u);
    EXPECT_EQ(w.rowCodes(), std::vector<std::string>(expected.begin(), expected.begin() + 20));
    EXPECT_EQ(w.state.SearchNumAll, static_cast<std::int16_t>(expected.size()));
    EXPECT_EQ(w.el("GpName", 1).text(), "浦发银行");
}

TEST(SearchBoxTest, NameSearchMatchesTheStockList) {
    SearchWindow w;
    w.type("银行");
    const std::vector<std::string> expected = csvMatches("银行");
    ASSERT_GT(expected.size(), 20u);
    EXPECT_EQ(w.rowCodes(), std::vector<std::string>(expected.begin(), expected.begin() + 20));
    EXPECT_EQ(w.state.SearchNumAll, static_cast<std::int16_t>(expected.size()));
}

TEST(SearchBoxTest, EveryChangeStartsFromAnEmptyListAtTheTop) {
    SearchWindow w;
    w.type("6");
    w.keyDown(app::kKeyDown);
    w.keyDown(app::kKeyDown);
    w.scrollBar(7);
    ASSERT_EQ(w.state.SearchNum, 2);
    ASSERT_FLOAT_EQ(w.el("Frame_TableBox").top(), -7 * 438.0f);

    w.type("600000");
    EXPECT_EQ(w.rowCodes(), csvMatches("600000"));
    EXPECT_EQ(w.state.SearchNum, 0);
    EXPECT_EQ(w.state.TempClickMun, 0);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 0);
    EXPECT_FLOAT_EQ(w.el("Frame_TableBox").top(), 0);
    for (std::int16_t n = 1; n <= rowCount(*w.form); ++n)
        EXPECT_TRUE(paintedNormal(w, n)) << n;
}

TEST(SearchBoxTest, NoMatchEmptiesTheListAndKeepsThePreviousCount) {
    SearchWindow w;
    w.type("600000");
    const std::int16_t count = w.state.SearchNumAll;
    ASSERT_GE(count, 1);
    w.type("zzzz");
    EXPECT_EQ(rowCount(*w.form), 0);
    EXPECT_EQ(w.form->find("GpID", 1), nullptr);
    EXPECT_EQ(w.state.SearchNumAll, count);
}

TEST(SearchBoxTest, EmptyTextLeavesTheListEmpty) {
    SearchWindow w;
    w.type("6");
    w.type("");
    EXPECT_EQ(rowCount(*w.form), 0);
}

TEST(SearchBoxTest, QuotesAreMatchedLiterallyAndWildcardsKeepTheirMeaning) {
    SearchWindow w;
    w.setStocks({{"sh600001", "O'Neil"}, {"sh600002", "A_B"}, {"sh600003", "AxB"}});
    w.type("O'N");
    EXPECT_EQ(w.rowCodes(), std::vector<std::string>{"sh600001"});
    w.type("'");
    EXPECT_EQ(w.rowCodes(), std::vector<std::string>{"sh600001"});
    w.type("A_B");  // "_" stands for any one character
    EXPECT_EQ(w.rowCodes(), (std::vector<std::string>{"sh600002", "sh600003"}));
    w.type("%");
    EXPECT_EQ(w.state.SearchNumAll, 3);
}

TEST(SearchBoxTest, FocusEmptiesTheBoxAndTheList) {
    SearchWindow w;
    w.type("600");
    ASSERT_GT(rowCount(*w.form), 0);
    w.el("SearchForm_Text").setForeColor(kPlaceholderColor);
    w.focus();
    EXPECT_EQ(w.el("SearchForm_Text").text(), "");
    EXPECT_EQ(w.el("SearchForm_Text").foreColor(), kSearchTextColor);
    EXPECT_EQ(rowCount(*w.form), 0);
}

TEST(SearchBoxTest, FirstFocusReplacesThePlaceholder) {
    SearchWindow w;
    ASSERT_EQ(w.el("SearchForm_Text").text(), "搜索股票代码或名称...");
    w.focus();
    EXPECT_EQ(w.el("SearchForm_Text").text(), "");
    EXPECT_EQ(w.el("SearchForm_Text").foreColor(), 0x000000u);
}

TEST(SearchBoxTest, LeavingAnEmptyBoxShowsTheGreyPlaceholderWhichIsSearched) {
    SearchWindow w;
    w.setStocks({{"sh600001", "甲"}, {"sh600002", "搜索股票代码或名称...之类"}});
    w.focus();
    w.blur();
    EXPECT_EQ(w.el("SearchForm_Text").text(), "搜索股票代码或名称...");
    EXPECT_EQ(w.el("SearchForm_Text").foreColor(), 0xC0C0C0u);
    EXPECT_EQ(w.rowCodes(), std::vector<std::string>{"sh600002"});
}

TEST(SearchBoxTest, LeavingABoxWithTextKeepsIt) {
    SearchWindow w;
    w.focus();
    w.type("600");
    w.blur();
    EXPECT_EQ(w.el("SearchForm_Text").text(), "600");
    EXPECT_EQ(w.el("SearchForm_Text").foreColor(), 0x000000u);
}

TEST(SearchBoxTest, DownStopsAtRowTwentyWhenMoreMatched) {
    SearchWindow w;
    w.type("6");
    for (int i = 0; i < 25; ++i)
        w.keyDown(app::kKeyDown);
    EXPECT_EQ(w.state.SearchNum, 20);
    EXPECT_EQ(w.state.TempClickMun, 20);
    EXPECT_TRUE(paintedSelected(w, 20));
    EXPECT_EQ(selectedRows(w), 1);
}

TEST(SearchBoxTest, DownStopsAtTheLastMatch) {
    SearchWindow w;
    w.setStocks({{"sh600001", "甲"}, {"sh600002", "乙"}, {"sh600003", "丙"}, {"sz000001", "丁"}});
    w.type("sh6");
    ASSERT_EQ(w.state.SearchNumAll, 3);
    for (int i = 0; i < 5; ++i)
        w.keyDown(app::kKeyDown);
    EXPECT_EQ(w.state.SearchNum, 3);
    EXPECT_TRUE(paintedSelected(w, 3));
    EXPECT_TRUE(paintedNormal(w, 2));
}

TEST(SearchBoxTest, DownDoesNothingWithoutRowsOrText) {
    SearchWindow w;
    w.focus();
    w.keyDown(app::kKeyDown);
    EXPECT_EQ(w.state.SearchNum, 0);
    // Rows left over while the box is empty (the favourites) are not walked.
    appendRow(*w.form, 1, "sh600000", "浦发银行");
    w.state.SearchNumAll = 5;
    w.keyDown(app::kKeyDown);
    EXPECT_EQ(w.state.SearchNum, 0);
    EXPECT_EQ(w.state.TempClickMun, 0);
}

TEST(SearchBoxTest, UpMovesBackAndStopsAtRowOne) {
    SearchWindow w;
    w.type("6");
    w.keyDown(app::kKeyDown);
    w.keyDown(app::kKeyDown);
    w.keyDown(app::kKeyDown);
    w.keyDown(app::kKeyUp);
    EXPECT_EQ(w.state.SearchNum, 2);
    EXPECT_TRUE(paintedSelected(w, 2));
    EXPECT_TRUE(paintedNormal(w, 3));
    w.keyDown(app::kKeyUp);
    w.keyDown(app::kKeyUp);
    w.keyDown(app::kKeyUp);
    EXPECT_EQ(w.state.SearchNum, 1);
    EXPECT_TRUE(paintedSelected(w, 1));
    EXPECT_EQ(selectedRows(w), 1);
}

TEST(SearchBoxTest, OtherKeysPassThrough) {
    SearchWindow w;
    w.type("6");
    w.keyDown(37);  // Left
    w.keyDown(app::kKeyEnter);
    EXPECT_EQ(w.state.SearchNum, 0);
    EXPECT_EQ(w.keyPress('a'), 'a');
    EXPECT_EQ(w.keyPress(8), 8);
}

TEST(SearchBoxTest, EnterWithoutHighlightIsSwallowedAndDoesNothing) {
    SearchWindow w;
    w.type("sh600000");
    EXPECT_EQ(w.keyPress(app::kKeyEnter), 0);
    EXPECT_EQ(w.el("SearchForm_Text").text(), "sh600000");
    EXPECT_TRUE(w.requested().empty());
    EXPECT_TRUE(w.browser.navigations.empty());
}

TEST(SearchBoxTest, EnterCompletesToTheCodeThenRequestsIt) {
    SearchWindow w;
    w.type("浦发");
    w.keyDown(app::kKeyDown);
    ASSERT_EQ(w.el("GpID", 1).text(), "sh600000");
    EXPECT_EQ(w.keyPress(app::kKeyEnter), 0);
    EXPECT_EQ(w.el("SearchForm_Text").text(), "sh600000");
    EXPECT_EQ(w.rowCodes(), csvMatches("sh600000"));
    EXPECT_EQ(w.state.SearchNum, 1);
    EXPECT_EQ(w.state.TempClickMun, 1);
    EXPECT_TRUE(paintedSelected(w, 1));
    EXPECT_TRUE(w.requested().empty());

    EXPECT_EQ(w.keyPress(app::kKeyEnter), 0);
    EXPECT_EQ(w.requested(), std::vector<std::string>{"sh600000"});
    ASSERT_EQ(w.browser.navigations.size(), 1u);
    EXPECT_EQ(w.browser.navigations[0].rfind(
                  "http://web.test/RequestGpInfo.asp?GpID=sh600000&UserID=", 0),
              0u);
}

TEST(SearchBoxTest, EnterOnALaterRowCompletesToThatRowsCode) {
    SearchWindow w;
    w.setStocks({{"sh600001", "甲银行"}, {"sh600002", "乙银行"}, {"sh600003", "丙银行"}});
    w.type("银行");
    w.keyDown(app::kKeyDown);
    w.keyDown(app::kKeyDown);
    w.keyPress(app::kKeyEnter);
    EXPECT_EQ(w.el("SearchForm_Text").text(), "sh600002");
    EXPECT_EQ(w.rowCodes(), std::vector<std::string>{"sh600002"});
    EXPECT_EQ(selectedRows(w), 1);
    w.keyPress(app::kKeyEnter);
    EXPECT_EQ(w.requested(), std::vector<std::string>{"sh600002"});
}

// Eight characters, not eight bytes: "银行ab" is eight bytes of UTF-8.
TEST(SearchBoxTest, EnterCountsCharactersNotBytes) {
    SearchWindow w;
    w.setStocks({{"sh600001", "银行ab"}, {"sh600002", "中国工商银行股份"}});
    w.type("银行ab");
    w.keyDown(app::kKeyDown);
    w.keyPress(app::kKeyEnter);
    EXPECT_TRUE(w.requested().empty());
    EXPECT_EQ(w.el("SearchForm_Text").text(), "sh600001");

    // A name of eight characters is requested straight away with the row's code.
    w.type("中国工商银行股份");
    w.keyDown(app::kKeyDown);
    w.keyPress(app::kKeyEnter);
    EXPECT_EQ(w.requested(), std::vector<std::string>{"sh600002"});
}

TEST(SearchBoxTest, SecondEnterOnAShortCodeOnlySelectsRowOneAgain) {
    SearchWindow w;
    w.setStocks({{"sz0001", "甲"}, {"sz00012", "乙"}});
    w.type("sz00");
    w.keyDown(app::kKeyDown);
    w.keyPress(app::kKeyEnter);
    ASSERT_EQ(w.el("SearchForm_Text").text(), "sz0001");
    EXPECT_EQ(w.rowCodes(), (std::vector<std::string>{"sz0001", "sz00012"}));
    w.keyPress(app::kKeyEnter);
    EXPECT_TRUE(w.requested().empty());
    EXPECT_EQ(w.state.SearchNum, 1);
    EXPECT_TRUE(paintedSelected(w, 1));
}

// The text already equals the highlighted row's code, which is not row 1: the
// list is rebuilt all the same, so only row 1 stays painted as selected.
TEST(SearchBoxTest, EnterOnTheCodeAlreadyTypedLeavesOneSelectedRow) {
    SearchWindow w;
    w.setStocks({{"sz00010", "甲"}, {"sz0001", "乙"}});
    w.type("sz0001");
    w.keyDown(app::kKeyDown);
    w.keyDown(app::kKeyDown);
    ASSERT_TRUE(paintedSelected(w, 2));
    w.keyPress(app::kKeyEnter);
    EXPECT_EQ(w.state.SearchNum, 1);
    EXPECT_EQ(w.state.TempClickMun, 1);
    EXPECT_TRUE(paintedSelected(w, 1));
    EXPECT_TRUE(paintedNormal(w, 2));
}

TEST(SearchBoxTest, FiveRowViewportScrollsFromTheSixthRow) {
    SearchWindow w;
    w.el("Frame_Table").setHeight(2250);
    w.type("6");
    for (int i = 1; i <= 5; ++i) {
        w.keyDown(app::kKeyDown);
        EXPECT_EQ(w.el("Frame_TableBar").value(), 0) << "row " << i;
    }
    w.keyDown(app::kKeyDown);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 1);
    EXPECT_FLOAT_EQ(w.el("Frame_TableBox").top(), -675);
}

// The window as laid out at start-up shows 10.27 rows: row 11 scrolls by one
// step, row 20 reaches the end of the canvas.
TEST(SearchBoxTest, StartUpViewportScrollsFromRowEleven) {
    SearchWindow w;
    ASSERT_FLOAT_EQ(w.el("Frame_Table").height(), 4620);
    w.type("6");
    for (int i = 0; i < 10; ++i)
        w.keyDown(app::kKeyDown);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 0);
    w.keyDown(app::kKeyDown);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 1);
    for (int i = 0; i < 9; ++i)
        w.keyDown(app::kKeyDown);
    EXPECT_EQ(w.el("Frame_TableBar").value(), 10);
    EXPECT_FLOAT_EQ(w.el("Frame_TableBox").top(), -4380);
}

struct KeyScroll {
    const char* name;
    float viewport;     // height of Frame_Table in twips
    int downs;          // Down presses after a search with more than 20 matches
    int ups;            // Up presses after them
    int expectedNum;    // SearchNum
    int expectedValue;  // scroll value
};

class KeyScrollTest : public ::testing::TestWithParam<KeyScroll> {};

TEST_P(KeyScrollTest, ScrollValueFollowsTheHighlightWithinTheBarsRange) {
    const KeyScroll& p = GetParam();
    SearchWindow w;
    w.el("Frame_Table").setHeight(p.viewport);
    w.type("6");
    for (int i = 0; i < p.downs; ++i)
        w.keyDown(app::kKeyDown);
    for (int i = 0; i < p.ups; ++i)
        w.keyDown(app::kKeyUp);
    EXPECT_EQ(w.state.SearchNum, p.expectedNum);
    const ui::Element& bar = w.el("Frame_TableBar");
    EXPECT_EQ(bar.value(), p.expectedValue);
    // The canvas follows the value, so it never leaves the viewport's range.
    EXPECT_FLOAT_EQ(w.el("Frame_TableBox").top(),
                    -((9000 - p.viewport) / 10) * static_cast<float>(p.expectedValue));
}

INSTANTIATE_TEST_SUITE_P(
    Viewports, KeyScrollTest,
    ::testing::Values(
        // 4215 twips: 9.37 rows; row 10 asks for 0.63, row 20 for 10.63.
        KeyScroll{"DesignViewportRow10", 4215, 10, 0, 10, 1},
        KeyScroll{"DesignViewportRow20", 4215, 20, 0, 20, 10},
        // Two rows tall: row 20 asks for 18, the bar stops at 10.
        KeyScroll{"ShortViewportClampsAtTen", 900, 20, 0, 20, 10},
        KeyScroll{"ShortViewportBackUp", 900, 20, 8, 12, 10},
        KeyScroll{"ShortViewportBackUpFurther", 900, 20, 11, 9, 7},
        // 5.5 rows: halves round to the even neighbour.
        KeyScroll{"TieRow6", 2475, 6, 0, 6, 0}, KeyScroll{"TieRow7", 2475, 7, 0, 7, 2},
        KeyScroll{"TieRow8", 2475, 8, 0, 8, 2}, KeyScroll{"TieRow9", 2475, 9, 0, 9, 4},
        // 4.6 rows: moving up to row 4 asks for -0.6, which rounds to -1.
        KeyScroll{"UpBelowZero", 2070, 5, 1, 4, 0}, KeyScroll{"UpToRowOne", 2070, 8, 7, 1, 0},
        // A viewport taller than the canvas holds every row.
        KeyScroll{"TallViewport", 9900, 20, 0, 20, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tallyro::lookup
