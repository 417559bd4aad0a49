// The numbered bitmaps of the skin and their pixel sizes. The layout and the
// auto-size picture boxes rely on these sizes; the build-time drawing program
// draws every bitmap at exactly this size, so the two can never drift apart.
#pragma once

#include <array>
#include <optional>

namespace tallyro::ui {

struct BitmapInfo {
    int number;
    int width;   // pixels
    int height;  // pixels
    bool alpha;  // pointer images carry transparency; every skin bitmap is opaque 24-bit
    const char* role;
};

// Pictures that elements hold from creation and the pointers have no number of
// their own in the skin; they get numbers from 2001 up so every image lives in one table.
inline constexpr int kBitmapFolder = 2001;       // shoucang: orange favourite folder
inline constexpr int kBitmapUpArrow = 2002;      // Picture1: red up-arrow
inline constexpr int kBitmapDownArrow = 2003;    // Picture2: green down-arrow
inline constexpr int kBitmapTrayIcon = 2004;     // IconLogo: notification-area icon
inline constexpr int kBitmapWindowIcon = 2005;   // FormLogin's window icon
inline constexpr int kBitmapHandPointer = 2006;  // hand pointer, hot spot (5, 0)
inline constexpr int kBitmapIconPointer = 2007;  // icon pointer, hot spot (16, 16)
inline constexpr int kBitmapFolderFaint = 2008;  // shoucang under the pointer, not a favourite

inline constexpr std::array kBitmaps = {
    BitmapInfo{102, 240, 1, false, "popup body"},
    BitmapInfo{103, 240, 4, false, "popup bottom strip"},
    BitmapInfo{108, 29, 24, false, "minimise button"},
    BitmapInfo{109, 29, 24, false, "minimise button, hover"},
    BitmapInfo{110, 29, 24, false, "close button"},
    BitmapInfo{111, 29, 24, false, "close button, hover"},
    BitmapInfo{120, 79, 82, false, "logo"},
    BitmapInfo{121, 77, 30, false, "login button"},
    BitmapInfo{122, 77, 30, false, "login button, hover"},
    BitmapInfo{125, 77, 30, false, "loading page back button"},
    BitmapInfo{126, 77, 30, false, "loading page back button, hover"},
    BitmapInfo{127, 38, 38, false, "tab 1 search"},
    BitmapInfo{128, 38, 38, false, "tab 1 search, selected"},
    BitmapInfo{129, 38, 38, false, "tab 5 (never shown)"},
    BitmapInfo{131, 38, 38, false, "tab 2 result"},
    BitmapInfo{132, 38, 38, false, "tab 2 result, selected"},
    BitmapInfo{133, 20, 20, false, "Shanghai index button"},
    BitmapInfo{135, 20, 20, false, "Shenzhen index button"},
    BitmapInfo{137, 77, 30, false, "search loading cancel button"},
    BitmapInfo{138, 77, 30, false, "search loading cancel button, hover"},
    BitmapInfo{139, 9, 8, false, "result panel close cross"},
    BitmapInfo{142, 37, 37, false, "tab 3 handbook"},
    BitmapInfo{143, 37, 37, false, "tab 3 handbook, selected"},
    BitmapInfo{144, 37, 37, false, "tab 4 stock picking"},
    BitmapInfo{145, 37, 37, false, "tab 4 stock picking, selected"},
    BitmapInfo{146, 230, 26, false, "title strip, left"},
    BitmapInfo{147, 1, 26, false, "title strip, middle"},
    BitmapInfo{148, 4, 26, false, "title strip, right"},
    BitmapInfo{149, 4, 1, false, "frame, left side"},
    BitmapInfo{150, 1, 1, false, "frame, body"},
    BitmapInfo{151, 4, 1, false, "frame, right side"},
    BitmapInfo{152, 4, 4, false, "frame, bottom left corner"},
    BitmapInfo{153, 1, 4, false, "frame, bottom edge"},
    BitmapInfo{154, 4, 4, false, "frame, bottom right corner"},
    BitmapInfo{1000, 10, 10, false, "loading dot, level 0 (darkest)"},
    BitmapInfo{1001, 10, 10, false, "loading dot, level 1"},
    BitmapInfo{1002, 10, 10, false, "loading dot, level 2"},
    BitmapInfo{1003, 10, 10, false, "loading dot, level 3"},
    BitmapInfo{1004, 10, 10, false, "loading dot, level 4 (brightest)"},
    BitmapInfo{1011, 240, 26, false, "popup title strip"},
    BitmapInfo{kBitmapFolder, 15, 13, false, "favourite folder"},
    BitmapInfo{kBitmapFolderFaint, 15, 13, false, "favourite folder, faint"},
    BitmapInfo{kBitmapUpArrow, 11, 10, false, "red up-arrow"},
    BitmapInfo{kBitmapDownArrow, 11, 10, false, "green down-arrow"},
    BitmapInfo{kBitmapTrayIcon, 16, 16, true, "notification-area icon"},
    BitmapInfo{kBitmapWindowIcon, 32, 32, true, "window icon"},
    BitmapInfo{kBitmapHandPointer, 32, 32, true, "hand pointer"},
    BitmapInfo{kBitmapIconPointer, 32, 32, true, "icon pointer"},
};

constexpr std::optional<BitmapInfo> findBitmap(int number) {
    for (const auto& b : kBitmaps) {
        if (b.number == number)
            return b;
    }
    return std::nullopt;
}

}  // namespace tallyro::ui
