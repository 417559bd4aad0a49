// The three windows as designed: every element with its kind, parent, index,
// design rectangle, caption, colours, font, pointer, visibility and timer settings.
#pragma once

#include <memory>

#include "ui/form.h"

namespace tallyro::ui {

inline constexpr std::uint32_t kSkinBackground = 0x404040;
inline constexpr std::uint32_t kDarkFill = 0x262626;
// The watch list's marks on a favourite's row.
inline constexpr std::uint32_t kPriceColour = 0x202020;
inline constexpr std::uint32_t kPriceStaleColour = 0xA0A0A0;
inline constexpr std::uint32_t kGaugeTrack = 0xE6E6E6;
inline constexpr std::uint32_t kGaugeFill = 0x808080;

std::unique_ptr<Form> makeFormLogin();
std::unique_ptr<Form> makeFormMessage();
std::unique_ptr<Form> makeFormMenu();

}  // namespace tallyro::ui
