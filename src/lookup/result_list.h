// The result list below the search box: selecting a row, requesting a row's
// stock by double-click, the hover highlight, the scroll bar and the mouse wheel,
// and the list's own keys when it has the keyboard focus.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "context/context.h"
#include "ui/handlers.h"

namespace tallyro::lookup {

// Row colours (0xRRGGBB).
inline constexpr std::uint32_t kRowBackNormal = 0xFFFFFF;
inline constexpr std::uint32_t kRowBackHovered = 0xC8C8C8;
inline constexpr std::uint32_t kRowBackSelected = 0x3C3C3C;
inline constexpr std::uint32_t kRowTextNormal = 0x000000;
inline constexpr std::uint32_t kRowTextSelected = 0xFFFFFF;

// One wheel notch in the units of Event::delta.
inline constexpr int kWheelNotch = 120;
// The scroll bar's range, which the wheel position shares.
inline constexpr std::int16_t kWheelTop = 0;
inline constexpr std::int16_t kWheelBottom = 10;

class ResultList {
public:
    using SearchGpInfoFn = std::function<void(const std::string& code)>;

    ResultList(context::Context& context, SearchGpInfoFn searchGpInfo);

    // Click, DblClick and MouseMove of the row arrays, the scroll bar's Change,
    // and the window's Wheel.
    void registerHandlers(ui::Handlers& handlers);

    void GpBg_Click(std::int16_t n);
    void GpBg_DblClick(std::int16_t n);
    void GpBg_MouseMove(std::int16_t n, std::int16_t button, std::int16_t shift, float x, float y);
    void GpID_Click(std::int16_t n) { GpBg_Click(n); }
    void GpName_Click(std::int16_t n) { GpBg_Click(n); }
    void GpID_DblClick(std::int16_t n) { GpBg_DblClick(n); }
    void GpName_DblClick(std::int16_t n) { GpBg_DblClick(n); }
    void Frame_TableBar_Change();
    // With the focus on the list: Down and Up select the next or the previous row
    // and scroll it into view; Enter (swallowed) requests the selected row's stock,
    // as a double-click does.
    void Frame_TableBox_KeyDown(std::int16_t keyCode);
    void Frame_TableBox_KeyPress(std::int16_t& keyAscii);

    // A wheel rotation in 1/120 notches; positive is away from the user. Whole
    // notches move the wheel position one step each; a remainder waits for the
    // next rotation in the same direction.
    void wheel(int delta);
    std::int16_t WheelScrollPos() const { return WheelScrollPos_; }

private:
    void paintRow(std::int16_t n, std::uint32_t back, std::uint32_t text);
    void showRow(std::int16_t n);

    context::Context& ctx_;
    SearchGpInfoFn searchGpInfo_;
    // Kept apart from the scroll bar's value: after the keyboard, the bar or a
    // new search has moved the list, the wheel continues from its own position.
    std::int16_t WheelScrollPos_ = 0;
    int wheelRemainder_ = 0;
};

}  // namespace tallyro::lookup
