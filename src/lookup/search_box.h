// The search box of the search page: every change of its text searches the
// local stock table and rebuilds the result list; the arrow keys move a
// highlight through the rows, Enter completes the text to the highlighted code
// and then requests that stock; an empty box shows a grey placeholder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "context/context.h"
#include "lookup/result_list.h"
#include "ui/handlers.h"

namespace tallyro::lookup {

inline constexpr const char* kSearchPlaceholder = "搜索股票代码或名称...";
inline constexpr std::uint32_t kSearchTextColor = 0x000000;
inline constexpr std::uint32_t kPlaceholderColor = 0xC0C0C0;
// Rows a search shows at most; the canvas has room for exactly these.
inline constexpr int kMaxRows = 20;
// A complete stock code ("sh600000"): Enter on such a text requests the stock.
inline constexpr std::size_t kStockCodeLength = 8;

class SearchBox {
public:
    using SearchGpInfoFn = std::function<void(const std::string& code)>;

    SearchBox(context::Context& context, ResultList& list, SearchGpInfoFn searchGpInfo);

    // Change, GotFocus, LostFocus, KeyDown and KeyPress of SearchForm_Text.
    void registerHandlers(ui::Handlers& handlers);

    void SearchForm_Text_Change();
    // The watch list's way: an empty box (or one showing the placeholder) lists
    // the favourites, and the keys move through them as through search results;
    // the search also finds stocks by the pinyin initials of their names.
    void showFavouritesWhenEmpty(bool on) { favouritesWhenEmpty_ = on; }
    void searchInitials(bool on) { initials_ = on; }
    void SearchForm_Text_GotFocus();
    void SearchForm_Text_LostFocus();
    void SearchForm_Text_KeyDown(std::int16_t keyCode, std::int16_t shift);
    // The character code is passed by reference: Enter is swallowed (set to 0).
    void SearchForm_Text_KeyPress(std::int16_t& keyAscii);

private:
    void setScrollValue(float rows);

    context::Context& ctx_;
    ResultList& list_;
    SearchGpInfoFn searchGpInfo_;
    bool favouritesWhenEmpty_ = false;
    bool initials_ = false;
    // The rows are the favourites, listed for an empty box.
    bool favouritesShown_ = false;
};

}  // namespace tallyro::lookup
