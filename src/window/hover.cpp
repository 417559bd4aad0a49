#include "window/hover.h"

namespace tallyro::window {

namespace {

// The tested rectangle lies 3 pixels to the right of the element.
constexpr float kShift = 45;

}  // namespace

Hover::Hover(ui::Form& form)
    : window_(form.window()),
      looks_{{
          {&form.at("UserName_border"), nullptr, Property::BackColor, 0xFFFFFF, 0x262626},
          {&form.at("PassWord_border"), nullptr, Property::BackColor, 0xFFFFFF, 0x262626},
          {&form.at("Jion_Label"), nullptr, Property::ForeColor, 0xFFFF00, 0xFFFFFF},
          {&form.at("RePass_Label"), nullptr, Property::ForeColor, 0xFFFF00, 0xFFFFFF},
          {&form.at("Web_Label"), nullptr, Property::ForeColor, 0xFF7D00, 0xFFFF00},
          {&form.at("Login_Bot"), nullptr, Property::Picture, 122, 121},
          {&form.at("Bot_Min"), nullptr, Property::Picture, 109, 108},
          {&form.at("Bot_Close"), nullptr, Property::Picture, 111, 110},
          {&form.at("LoginClose_Bot"), nullptr, Property::Picture, 126, 125},
          // Shares the loading page's cancel button's place and is tested with it.
          {&form.at("SearchClose_Bot"), &form.at("LoginClose_Bot"), Property::Picture, 138, 137},
      }} {
    for (Look& look : looks_) {
        if (!look.area)
            look.area = look.element;
    }
}

void Hover::pass(platform::PixelPoint pointer) {
    const float cx = static_cast<float>(pointer.x) * ui::kTwipsPerPixel;
    const float cy = static_cast<float>(pointer.y) * ui::kTwipsPerPixel;
    const float left = window_.left();
    const float top = window_.top();
    for (const Look& look : looks_) {
        const ui::Element& a = *look.area;
        const bool over = left + a.left() + kShift <= cx &&
                          left + a.left() + a.width() + kShift >= cx && top + a.top() <= cy &&
                          top + a.top() + a.height() >= cy;
        const std::uint32_t value = over ? look.hover : look.normal;
        switch (look.property) {
            case Property::BackColor:
                look.element->setBackColor(value);
                break;
            case Property::ForeColor:
                look.element->setForeColor(value);
                break;
            case Property::Picture:
                look.element->setPicture(static_cast<int>(value));
                break;
        }
    }
}

}  // namespace tallyro::window
