// The rows of the result list: row n is member n of GpBg, GpID, GpName and
// shoucang on the scrolled canvas, 450 twips apart.
#pragma once

#include <cstdint>
#include <string>

#include <vector>

#include "data/local_database.h"
#include "ui/form.h"

namespace tallyro::lookup {

inline constexpr float kRowPitch = 450;

// Number of rows present (members of GpID beyond the template).
std::int16_t rowCount(const ui::Form& form);

// Unloads rows 1 to the last, each as GpID, GpName, GpBg, shoucang, and the
// watch list's marks of a row where it has them.
void clearRows(ui::Form& form);

// The arrays the watch list adds to a favourite's row.
inline constexpr const char* kRowDecorations[] = {"GpPrice", "GpGauge", "GpGaugeFill"};

// Loads row n from a record: code and name labels, background, and the hidden
// favourite mark beside the code.
void appendRow(ui::Form& form, std::int16_t n, const std::string& gpId, const std::string& gpName);

// Rows 1 on from these records, after the rows there are unloaded; the number of rows.
std::int16_t showRows(ui::Form& form, const std::vector<data::StockRow>& rows);

}  // namespace tallyro::lookup
