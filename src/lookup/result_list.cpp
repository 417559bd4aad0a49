// Selection, hover, scrolling and the wheel of the result list.
#include "lookup/result_list.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "lookup/result_rows.h"

namespace tallyro::lookup {

ResultList::ResultList(context::Context& context, SearchGpInfoFn searchGpInfo)
    : ctx_(context), searchGpInfo_(std::move(searchGpInfo)) {}

void ResultList::registerHandlers(ui::Handlers& handlers) {
    using ui::Event;
    using ui::EventKind;
    const auto row = [](const Event& e) { return e.target->index(); };
    handlers.on("GpBg", EventKind::Click, [this, row](Event& e) { GpBg_Click(row(e)); });
    handlers.on("GpBg", EventKind::DblClick, [this, row](Event& e) { GpBg_DblClick(row(e)); });
    handlers.on("GpBg", EventKind::MouseMove,
                [this, row](Event& e) { GpBg_MouseMove(row(e), e.button, e.shift, e.x, e.y); });
    handlers.on("GpID", EventKind::Click, [this, row](Event& e) { GpID_Click(row(e)); });
    handlers.on("GpID", EventKind::DblClick, [this, row](Event& e) { GpID_DblClick(row(e)); });
    handlers.on("GpName", EventKind::Click, [this, row](Event& e) { GpName_Click(row(e)); });
    handlers.on("GpName", EventKind::DblClick, [this, row](Event& e) { GpName_DblClick(row(e)); });
    handlers.on("Frame_TableBar", EventKind::Change, [this](Event&) { Frame_TableBar_Change(); });
    handlers.on(ctx_.form.name(), EventKind::Wheel, [this](Event& e) { wheel(e.delta); });
    handlers.on("Frame_TableBox", EventKind::KeyDown,
                [this](Event& e) { Frame_TableBox_KeyDown(e.key); });
    handlers.on("Frame_TableBox", EventKind::KeyPress,
                [this](Event& e) { Frame_TableBox_KeyPress(e.key); });
}

// Member 0 is the hidden template every new row is copied from, so it is never
// painted (painting it would show nothing and would colour every later row).
// Rows that are gone are skipped: TempClickMun and TempMoveMun may outlive them.
void ResultList::paintRow(std::int16_t n, std::uint32_t back, std::uint32_t text) {
    if (n < 1)
        return;
    if (ui::Element* bg = ctx_.form.find("GpBg", n)) {
        bg->setBackColor(back);
        bg->setSelected(back == kRowBackSelected);
    }
    if (ui::Element* id = ctx_.form.find("GpID", n))
        id->setForeColor(text);
    if (ui::Element* name = ctx_.form.find("GpName", n))
        name->setForeColor(text);
}

void ResultList::GpBg_Click(std::int16_t n) {
    context::WindowState& s = ctx_.state;
    paintRow(s.TempClickMun, kRowBackNormal, kRowTextNormal);
    paintRow(n, kRowBackSelected, kRowTextSelected);
    s.TempClickMun = n;
}

void ResultList::GpBg_DblClick(std::int16_t n) {
    if (n < 1)
        return;
    const ui::Element* id = ctx_.form.find("GpID", n);
    if (id == nullptr || !searchGpInfo_)
        return;
    // A copy: the request may rebuild the list and unload the label.
    const std::string code = id->text();
    searchGpInfo_(code);
}

void ResultList::GpBg_MouseMove(std::int16_t n, std::int16_t, std::int16_t, float, float) {
    context::WindowState& s = ctx_.state;
    if (n == s.TempClickMun)
        return;
    if (s.TempClickMun == s.TempMoveMun) {
        s.TempMoveMun = n;
        return;
    }
    // After a rebuild TempMoveMun may name a row that is gone; nothing to clear then.
    if (s.TempMoveMun >= 1) {
        if (ui::Element* old = ctx_.form.find("GpBg", s.TempMoveMun))
            old->setBackColor(kRowBackNormal);
    }
    if (n >= 1) {
        if (ui::Element* bg = ctx_.form.find("GpBg", n))
            bg->setBackColor(kRowBackHovered);
    }
    s.TempMoveMun = n;
}

void ResultList::Frame_TableBar_Change() {
    const ui::Element& table = ctx_.el("Frame_Table");
    ui::Element& box = ctx_.el("Frame_TableBox");
    const int value = ctx_.el("Frame_TableBar").value();
    // Single precision throughout: a step of a tenth of the overflow may be a
    // half twip (-478.5 for a 4215-twip viewport).
    const float step = (box.height() - table.height()) / 10.0f;
    box.setTop(-step * static_cast<float>(value));
}

void ResultList::Frame_TableBox_KeyDown(std::int16_t keyCode) {
    const std::int16_t rows = rowCount(ctx_.form);
    // The selection may name a row of a longer list since replaced (the
    // favourites keep it): Up then goes from just past the last row.
    const auto at = std::clamp<std::int16_t>(ctx_.state.TempClickMun, 0, rows + 1);
    std::int16_t n = at;
    if (keyCode == ui::kKeyDown && at < rows)
        ++n;
    else if (keyCode == ui::kKeyUp && at > 1)
        --n;
    if (n == at)
        return;
    GpBg_Click(n);
    showRow(n);
}

void ResultList::Frame_TableBox_KeyPress(std::int16_t& keyAscii) {
    if (keyAscii != ui::kKeyEnter)
        return;
    keyAscii = 0;
    GpBg_DblClick(ctx_.state.TempClickMun);
}

// The scroll bar moves the canvas by tenths of its overflow; the smallest move
// that brings the whole row into the viewport.
void ResultList::showRow(std::int16_t n) {
    const float viewport = ctx_.el("Frame_Table").height();
    const float step = (ctx_.el("Frame_TableBox").height() - viewport) / 10.0f;
    ui::Element& bar = ctx_.el("Frame_TableBar");
    if (step <= 0)
        return;
    const float top = static_cast<float>(n - 1) * kRowPitch;
    const float shown = step * static_cast<float>(bar.value());
    float value = static_cast<float>(bar.value());
    if (top < shown)
        value = std::floor(top / step);
    else if (top + kRowPitch > shown + viewport)
        value = std::ceil((top + kRowPitch - viewport) / step);
    bar.setValue(static_cast<int>(value));
}

void ResultList::wheel(int delta) {
    if (delta == 0)
        return;
    // A rotation in the other direction starts afresh: a half notch left over
    // from scrolling up must not swallow the first notch down.
    if ((delta > 0) != (wheelRemainder_ > 0) && wheelRemainder_ != 0)
        wheelRemainder_ = 0;
    const std::int64_t total = static_cast<std::int64_t>(wheelRemainder_) + delta;
    const std::int64_t notches = total / kWheelNotch;
    wheelRemainder_ = static_cast<int>(total % kWheelNotch);
    if (notches == 0)
        return;
    // Away from the user (positive) moves the list up, towards its start.
    const std::int64_t pos =
        std::clamp<std::int64_t>(WheelScrollPos_ - notches, kWheelTop, kWheelBottom);
    WheelScrollPos_ = static_cast<std::int16_t>(pos);
    ctx_.el("Frame_TableBar").setValue(WheelScrollPos_);
}

}  // namespace tallyro::lookup
