// A compact way to write design tables: one line per element, the properties
// that differ from the kind's defaults chained behind it.
#pragma once

#include <string>
#include <utility>

#include "ui/element.h"

namespace tallyro::ui::design {

// Background of picture boxes without a colour of their own: the system button face.
inline constexpr std::uint32_t kButtonFace = 0xF0F0F0;

class E {
public:
    E(Kind kind, std::string name, float left = 0, float top = 0, float width = 0,
      float height = 0) {
        d_.kind = kind;
        d_.name = std::move(name);
        d_.left = left;
        d_.top = top;
        d_.width = width;
        d_.height = height;
        switch (kind) {
            case Kind::Label:
                d_.autoSize = true;
                d_.hasBackColor = false;
                d_.foreColor = kSystemWindowText;
                break;
            case Kind::PictureBox:
                d_.backColor = kButtonFace;
                break;
            case Kind::Image:
            case Kind::Shape:
            case Kind::Line:
                d_.hasBackColor = false;
                break;
            case Kind::Timer:
                d_.enabled = false;
                break;
            default:
                break;
        }
    }
    E& in(std::string parent, std::int16_t parentIndex = -1) {
        d_.parent = std::move(parent);
        d_.parentIndex = parentIndex;
        return *this;
    }
    E& index(std::int16_t i) {
        d_.index = i;
        return *this;
    }
    E& hidden() {
        d_.visible = false;
        return *this;
    }
    // A menu item with a check mark: its value, 0 or 1, says whether it is checked.
    E& checkable() {
        d_.max = 1;
        return *this;
    }
    E& text(std::string t) {
        d_.text = std::move(t);
        return *this;
    }
    E& tip(std::string t) {
        d_.toolTip = std::move(t);
        return *this;
    }
    E& fore(std::uint32_t rgb) {
        d_.foreColor = rgb;
        return *this;
    }
    E& back(std::uint32_t rgb) {
        d_.backColor = rgb;
        d_.hasBackColor = true;
        return *this;
    }
    E& opaque(std::uint32_t rgb) {
        d_.opaque = true;
        return back(rgb);
    }
    E& font(std::string face, float points, bool bold) {
        d_.font = Font{std::move(face), points, bold};
        return *this;
    }
    E& hand() {
        d_.pointer = Pointer::Hand;
        return *this;
    }
    E& iconPointer() {
        d_.pointer = Pointer::Icon;
        return *this;
    }
    E& autoSize(bool on = true) {
        d_.autoSize = on;
        return *this;
    }
    E& border() {
        d_.border = true;
        return *this;
    }
    E& centred() {
        d_.align = Align::Center;
        return *this;
    }
    E& password(char c) {
        d_.passwordChar = c;
        return *this;
    }
    E& picture(int bitmap) {
        d_.picture = bitmap;
        return *this;
    }
    E& timer(int intervalMs, bool enabled) {
        d_.interval = intervalMs;
        d_.enabled = enabled;
        return *this;
    }
    E& tab(int i) {
        d_.tabIndex = i;
        return *this;
    }
    E& range(int min, int max) {
        d_.min = min;
        d_.max = max;
        return *this;
    }
    E& line(float x1, float y1, float x2, float y2) {
        d_.x1 = x1;
        d_.y1 = y1;
        d_.x2 = x2;
        d_.y2 = y2;
        return *this;
    }
    operator Element::Design() const { return d_; }

private:
    Element::Design d_;
};

}  // namespace tallyro::ui::design
