// Search, placeholder and keyboard navigation of the search box.
#include "lookup/search_box.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "data/local_database.h"
#include "lookup/result_rows.h"

namespace tallyro::lookup {

namespace {

constexpr float kRowHeight = 450.0f;

std::size_t characterCount(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

// Nearest integer, ties to the even neighbour, as a scroll value is rounded.
double roundHalfEven(double x) {
    const double below = std::floor(x);
    const double fraction = x - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

}  // namespace

SearchBox::SearchBox(context::Context& context, ResultList& list, SearchGpInfoFn searchGpInfo)
    : ctx_(context), list_(list), searchGpInfo_(std::move(searchGpInfo)) {}

void SearchBox::registerHandlers(ui::Handlers& handlers) {
    using ui::Event;
    using ui::EventKind;
    handlers.on("SearchForm_Text", EventKind::Change, [this](Event&) { SearchForm_Text_Change(); });
    handlers.on("SearchForm_Text", EventKind::GotFocus,
                [this](Event&) { SearchForm_Text_GotFocus(); });
    handlers.on("SearchForm_Text", EventKind::LostFocus,
                [this](Event&) { SearchForm_Text_LostFocus(); });
    handlers.on("SearchForm_Text", EventKind::KeyDown,
                [this](Event& e) { SearchForm_Text_KeyDown(e.key, e.shift); });
    handlers.on("SearchForm_Text", EventKind::KeyPress,
                [this](Event& e) { SearchForm_Text_KeyPress(e.key); });
}

void SearchBox::SearchForm_Text_Change() {
    context::WindowState& s = ctx_.state;
    s.SearchNum = 0;
    ctx_.el("Frame_TableBox").setTop(0);
    ctx_.el("Frame_TableBar").setValue(0);
    s.TempClickMun = 0;
    clearRows(ctx_.form);
    favouritesShown_ = false;

    const std::string text = ctx_.el("SearchForm_Text").text();
    data::LocalDatabase* db = ctx_.database;
    if (favouritesWhenEmpty_ && (text.empty() || text == kSearchPlaceholder) && db) {
        s.SearchNumAll = showRows(ctx_.form, db->readSearchList());
        favouritesShown_ = true;
        return;
    }
    if (text.empty() || db == nullptr)
        return;
    const data::SearchResult result = db->search(text, kMaxRows, initials_);
    std::int16_t n = 1;
    for (const data::StockRow& row : result.rows) {
        if (n > kMaxRows)
            break;
        appendRow(ctx_.form, n, row.gpId, row.gpName);
        ++n;
    }
    // The count is only consulted while rows exist, so a search without a match
    // leaves the previous one.
    if (!result.rows.empty()) {
        s.SearchNumAll = static_cast<std::int16_t>(
            std::min<int>(result.total, std::numeric_limits<std::int16_t>::max()));
    }
}

void SearchBox::SearchForm_Text_GotFocus() {
    ui::Element& box = ctx_.el("SearchForm_Text");
    box.setText("");
    box.setForeColor(kSearchTextColor);
}

void SearchBox::SearchForm_Text_LostFocus() {
    ui::Element& box = ctx_.el("SearchForm_Text");
    if (!box.text().empty())
        return;
    // A change like any other: the placeholder itself is searched.
    box.setText(kSearchPlaceholder);
    box.setForeColor(kPlaceholderColor);
}

// The scroll bar only takes 0 to 10 (tenths of the canvas overflow), while the
// keyboard rule yields a row count: a short viewport or a highlight near row 20
// asks for more, and moving up in a viewport that is not a whole number of rows
// tall can ask for -1. Such values go to the nearest end of the range.
void SearchBox::setScrollValue(float rows) {
    ui::Element& bar = ctx_.el("Frame_TableBar");
    const double rounded = std::clamp(roundHalfEven(rows), static_cast<double>(bar.min()),
                                      static_cast<double>(bar.max()));
    bar.setValue(static_cast<int>(rounded));
}

void SearchBox::SearchForm_Text_KeyDown(std::int16_t keyCode, std::int16_t) {
    context::WindowState& s = ctx_.state;
    const float v = ctx_.el("Frame_Table").height() / kRowHeight;
    if (keyCode == ui::kKeyDown) {
        if (rowCount(ctx_.form) < 1 ||
            (ctx_.el("SearchForm_Text").text().empty() && !favouritesShown_))
            return;
        if (s.SearchNum >= s.SearchNumAll || s.SearchNum >= kMaxRows)
            return;
        ++s.SearchNum;
        list_.GpBg_Click(s.SearchNum);
        const float num = static_cast<float>(s.SearchNum);
        setScrollValue(v < num ? num - v : 0.0f);
    } else if (keyCode == ui::kKeyUp) {
        if (s.SearchNum <= 1)
            return;
        --s.SearchNum;
        list_.GpBg_Click(s.SearchNum);
        const float num = static_cast<float>(s.SearchNum);
        setScrollValue(num - v + 1.0f > 0.0f ? num - v : 0.0f);
    }
}

void SearchBox::SearchForm_Text_KeyPress(std::int16_t& keyAscii) {
    if (keyAscii != ui::kKeyEnter)
        return;
    keyAscii = 0;
    context::WindowState& s = ctx_.state;
    ui::Element& box = ctx_.el("SearchForm_Text");
    const ui::Element* highlighted =
        s.SearchNum >= 1 ? ctx_.form.find("GpID", s.SearchNum) : nullptr;
    if (highlighted == nullptr)
        return;
    // Copies: the search below unloads the row the code came from.
    const std::string code = highlighted->text();
    if (characterCount(box.text()) == kStockCodeLength) {
        if (searchGpInfo_)
            searchGpInfo_(code);
        return;
    }
    if (box.text() == code) {
        // Setting the same text raises no change, yet the list must still be
        // rebuilt: otherwise the highlighted row would stay painted as selected
        // beside row 1.
        SearchForm_Text_Change();
    } else {
        box.setText(code);
    }
    s.SearchNum = 1;
    s.TempClickMun = 0;
    list_.GpBg_Click(1);
}

}  // namespace tallyro::lookup
