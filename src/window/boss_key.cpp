#include "window/boss_key.h"

#include <algorithm>

namespace tallyro::window {

void BossKey::toggle(const std::vector<ui::Element*>& windows) {
    if (hiding()) {
        for (ui::Element* w : hidden_)
            w->setVisible(true);
        hidden_.clear();
        return;
    }
    for (ui::Element* w : windows) {
        if (w && w->visible()) {
            w->setVisible(false);
            hidden_.push_back(w);
        }
    }
    if (hidden_.empty() && !windows.empty() && windows.front())
        windows.front()->setVisible(true);
}

void BossKey::keepHidden(ui::Element& window) {
    window.setVisible(false);
    if (std::find(hidden_.begin(), hidden_.end(), &window) == hidden_.end())
        hidden_.push_back(&window);
}

void BossKey::forget(const ui::Element& window) {
    std::erase(hidden_, &window);
}

}  // namespace tallyro::window
