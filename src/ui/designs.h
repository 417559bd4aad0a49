// The three windows as designed: every element with its kind, parent, index,
// design rectangle, caption, colours, font, pointer, visibility and timer settings.
#pragma once

#include <memory>

#include "ui/form.h"

namespace tallyro::ui {

inline constexpr std::uint32_t kSkinBackground = 0x404040;
inline constexpr std::uint32_t kDarkFill = 0x262626;

std::unique_ptr<Form> makeFormLogin();
std::unique_ptr<Form> makeFormMessage();
std::unique_ptr<Form> makeFormMenu();

}  // namespace tallyro::ui
