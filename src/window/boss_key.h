// The boss key's action: every shown window of the client hidden at once, and
// the same ones shown again, where they were, at the next press.
#pragma once

#include <vector>

#include "ui/element.h"

namespace tallyro::window {

class BossKey {
public:
    // `windows` are the client's top-level windows, the main window first (null
    // where a window does not exist). With none shown and none hidden by the
    // key (the main window minimised to the tray), the main window is shown.
    void toggle(const std::vector<ui::Element*>& windows);
    bool hiding() const { return !hidden_.empty(); }
    // A window that would appear while the others are hidden stays hidden with them.
    void keepHidden(ui::Element& window);
    // The window is about to go away.
    void forget(const ui::Element& window);

private:
    std::vector<ui::Element*> hidden_;
};

}  // namespace tallyro::window
