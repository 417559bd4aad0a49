// The hover pass, the second half of every Timer3 tick: ten buttons, frames and
// links of the main window take their hover look while the pointer is over them.
#pragma once

#include <array>
#include <cstdint>

#include "platform/screen.h"
#include "ui/form.h"

namespace tallyro::window {

class Hover {
public:
    explicit Hover(ui::Form& form);

    // Gives every element the look the pointer (in pixels) calls for. A look is
    // set only where it differs from the one in place, so an idle pointer
    // changes nothing and nothing is repainted.
    void pass(platform::PixelPoint pointer);

private:
    enum class Property : std::uint8_t { BackColor, ForeColor, Picture };
    struct Look {
        ui::Element* element;
        const ui::Element* area;  // whose rectangle is tested
        Property property;
        std::uint32_t hover;
        std::uint32_t normal;
    };

    ui::Element& window_;
    std::array<Look, 10> looks_;
};

}  // namespace tallyro::window
