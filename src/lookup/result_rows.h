// The rows of the result list: row n is member n of GpBg, GpID, GpName and
// shoucang on the scrolled canvas, 450 twips apart.
#pragma once

#include <cstdint>
#include <string>

#include "ui/form.h"

namespace tallyro::lookup {

inline constexpr float kRowPitch = 450;

// Number of rows present (members of GpID beyond the template).
std::int16_t rowCount(const ui::Form& form);

// Unloads rows 1 to the last, each as GpID, GpName, GpBg, shoucang.
void clearRows(ui::Form& form);

// Loads row n from a record: code and name labels, background, and the hidden
// favourite mark beside the code.
void appendRow(ui::Form& form, std::int16_t n, const std::string& gpId, const std::string& gpName);

}  // namespace tallyro::lookup
