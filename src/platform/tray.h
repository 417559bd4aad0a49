// The notification-area icon. Its mouse events come back through the event
// dispatch as MouseMove events of the hidden IconLogo element.
#pragma once

#include <string>

namespace tallyro::ui {
class Element;
}

namespace tallyro::platform {

class Tray {
public:
    virtual ~Tray() = default;
    // Adds the icon with the given bitmap and tip, reporting its mouse activity
    // as MouseMove of `owner`; false when it cannot be added (the program then
    // runs without it). A notification area that appears later still takes it.
    virtual bool add(ui::Element& owner, int bitmap, const std::string& tip) = 0;
    virtual void remove() = 0;
    // Whether the icon can be seen and clicked now: the desktop has a
    // notification area holding it.
    virtual bool reachable() = 0;
    // Pops up a menu element's items at the pointer; a chosen item comes back as
    // a Click of that item.
    virtual void popupMenu(ui::Element& menu) = 0;
};

}  // namespace tallyro::platform
