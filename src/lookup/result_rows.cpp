#include "lookup/result_rows.h"

namespace tallyro::lookup {

std::int16_t rowCount(const ui::Form& form) {
    return static_cast<std::int16_t>(form.count("GpID") - 1);
}

void clearRows(ui::Form& form) {
    const std::int16_t last = rowCount(form);
    for (std::int16_t n = 1; n <= last; ++n) {
        form.unload("GpID", n);
        form.unload("GpName", n);
        form.unload("GpBg", n);
        form.unload("shoucang", n);
        for (const char* decoration : kRowDecorations) {
            if (form.find(decoration, n))
                form.unload(decoration, n);
        }
    }
}

std::int16_t showRows(ui::Form& form, const std::vector<data::StockRow>& rows) {
    clearRows(form);
    std::int16_t n = 0;
    for (const auto& row : rows)
        appendRow(form, ++n, row.gpId, row.gpName);
    return n;
}

void appendRow(ui::Form& form, std::int16_t n, const std::string& gpId, const std::string& gpName) {
    const float top = static_cast<float>(n - 1) * kRowPitch;
    ui::Element& id = form.load("GpID", n);
    id.move(150, top + 150);
    id.setText(gpId);
    id.setVisible(true);
    ui::Element& name = form.load("GpName", n);
    name.move(1050, top + 150);
    name.setText(gpName);
    name.setVisible(true);
    ui::Element& bg = form.load("GpBg", n);
    bg.move(0, top);
    bg.setVisible(true);
    ui::Element& mark = form.load("shoucang", n);
    mark.move(2150, id.top());
}

}  // namespace tallyro::lookup
