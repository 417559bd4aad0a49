// The popup message window and the tray menu holder as designed.
#include "ui/design_builder.h"
#include "ui/designs.h"

namespace tallyro::ui {

using design::E;
using K = Kind;

std::unique_ptr<Form> makeFormMessage() {
    auto form = std::make_unique<Form>(
        "FormMessage",
        E(K::Form, "FormMessage", 0, 0, 4890, 5475).text("Form2").back(kSkinBackground));
    Form& f = *form;
    f.add(E(K::Image, "FormTop", 0, 0, 4920, 390));
    f.add(E(K::Image, "FormCenent", 0, 360, 4920, 2295));
    f.add(E(K::Image, "FormBottom", 0, 2640, 4920, 375));
    f.add(E(K::Label, "NewsBt", 240, 120, 720, 180).text("信息标题").fore(0xFFFFFF).centred());
    f.add(E(K::PictureBox, "Bot_Close", 4560, 0, 255, 255).autoSize().tab(1));
    f.add(E(K::PictureBox, "WebSetBox", 480, 960, 4095, 3015).back(kSystemWindow));
    f.add(E(K::WebBrowser, "WebSet", 480, 360, 2775, 2535).in("WebSetBox"));
    return form;
}

}  // namespace tallyro::ui
