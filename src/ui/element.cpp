#include "ui/element.h"

#include <algorithm>
#include <cmath>

#include "ui/bitmap_table.h"
#include "ui/form.h"

namespace tallyro::ui {

Element::Element(Form& form, Element* parent, Design design, std::uint32_t id)
    : form_(form), parent_(parent), d_(std::move(design)), id_(id) {}

void Element::mark(std::uint32_t change) {
    if (changes_ == 0)
        form_.noteChanged(*this);
    changes_ |= change;
}

void Element::setLeft(float v) {
    if (d_.left == v)
        return;
    d_.left = v;
    mark(kChangeGeometry);
}

void Element::setTop(float v) {
    if (d_.top == v)
        return;
    d_.top = v;
    mark(kChangeGeometry);
}

void Element::setWidth(float v) {
    v = std::max(v, 0.0f);
    if (d_.width == v)
        return;
    d_.width = v;
    mark(kChangeGeometry);
    if (d_.kind == Kind::Form && form_.events())
        form_.events()->resized(form_);
}

void Element::setHeight(float v) {
    v = std::max(v, 0.0f);
    if (d_.height == v)
        return;
    d_.height = v;
    mark(kChangeGeometry);
    if (d_.kind == Kind::Form && form_.events())
        form_.events()->resized(form_);
}

void Element::move(float left, float top) {
    setLeft(left);
    setTop(top);
}

void Element::move(float left, float top, float width, float height) {
    setLeft(left);
    setTop(top);
    setWidth(width);
    setHeight(height);
}

void Element::setVisible(bool v) {
    if (d_.visible == v)
        return;
    d_.visible = v;
    mark(kChangeVisible);
}

void Element::setEnabled(bool v) {
    if (d_.enabled == v)
        return;
    d_.enabled = v;
    if (d_.kind == Kind::Timer) {
        if (form_.events())
            form_.events()->timerChanged(*this);
        return;
    }
    mark(kChangeEnabled);
}

void Element::setInterval(int ms) {
    ms = std::max(ms, 0);
    if (d_.interval == ms)
        return;
    d_.interval = ms;
    if (d_.kind == Kind::Timer && form_.events())
        form_.events()->timerChanged(*this);
}

void Element::setText(const std::string& text) {
    if (d_.text == text)
        return;
    d_.text = text;
    mark(kChangeText);
    if (d_.kind == Kind::Label && d_.autoSize && form_.textMeasure()) {
        const TextSize size = form_.textMeasure()->measure(text, d_.font);
        setWidth(std::round(size.width) * kTwipsPerPixel);
        setHeight(std::round(size.height) * kTwipsPerPixel);
    }
    if (d_.kind == Kind::TextBox && form_.events())
        form_.events()->changed(*this);
}

void Element::setForeColor(std::uint32_t rgb) {
    if (d_.foreColor == rgb)
        return;
    d_.foreColor = rgb;
    mark(kChangeColors);
}

void Element::setBackColor(std::uint32_t rgb) {
    if (d_.backColor == rgb && d_.hasBackColor)
        return;
    d_.backColor = rgb;
    d_.hasBackColor = true;
    mark(kChangeColors);
}

void Element::setPicture(int bitmap) {
    if (d_.picture != bitmap) {
        d_.picture = bitmap;
        mark(kChangePicture);
    }
    fitToPicture();
}

void Element::fitToPicture() {
    if (!d_.autoSize || d_.kind != Kind::PictureBox || d_.picture == 0)
        return;
    if (const auto info = findBitmap(d_.picture)) {
        setWidth(static_cast<float>(info->width) * kTwipsPerPixel);
        setHeight(static_cast<float>(info->height) * kTwipsPerPixel);
    }
}

void Element::setValue(int v) {
    if (d_.kind == Kind::VScrollBar)
        v = std::clamp(v, d_.min, d_.max);
    if (d_.value == v)
        return;
    d_.value = v;
    mark(kChangeValue);
    if (d_.kind == Kind::VScrollBar && form_.events())
        form_.events()->changed(*this);
}

void Element::setLineX(float x1, float x2) {
    if (d_.x1 == x1 && d_.x2 == x2)
        return;
    d_.x1 = x1;
    d_.x2 = x2;
    mark(kChangeGeometry);
}

void Element::navigate(const std::string& url) {
    location_ = url;
    ++navigations_;
    mark(kChangeNavigate);
}

void Element::setRegion(const WindowRegion& region) {
    region_ = region;
    mark(kChangeRegion);
}

void Element::setTitle(const std::string& title) {
    if (title == title_)
        return;
    title_ = title;
    mark(kChangeTitle);
}

void Element::requestFocus() {
    mark(kChangeFocus);
}

void Element::setSelected(bool selected) {
    if (selected_ == selected)
        return;
    selected_ = selected;
    mark(kChangeSelected);
}

}  // namespace tallyro::ui
