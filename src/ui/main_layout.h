// The main window's layout: places every element for the window's current
// width and height, hidden ones too, assigns the skin bitmaps and re-clips the
// rounded outline. Runs on every size change.
#pragma once

#include "ui/form.h"

namespace tallyro::ui {

void layoutMainWindow(Form& formLogin);

// The popup message window's layout, on every size change of the popup.
void layoutPopup(Form& formMessage);

}  // namespace tallyro::ui
