// The view side of the element model: turns forms into real windows and
// applies their changes.
#pragma once

#include <string>

namespace tallyro::ui {
class Element;
class Form;
}  // namespace tallyro::ui

namespace tallyro::platform {

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // A form was created: build its window (shown once its window element is visible).
    virtual void attach(ui::Form& form) = 0;
    // A form is about to be destroyed: its window goes with it.
    virtual void detach(ui::Form& form) = 0;
    // Applies every attached form's pending changes; called once after each
    // dispatched event or timer tick.
    virtual void refresh() = 0;
    // Sends every mouse move to this element, also outside it, until released
    // (nullptr releases).
    virtual void setCapture(ui::Element* element) = 0;
};

// How the process ends.
class Process {
public:
    virtual ~Process() = default;
    // Ends the event loop and the process; nothing runs after it.
    virtual void exit() = 0;
    // Start-up cannot go on: tells the user why, then ends the process.
    virtual void fatal(const std::string& message) = 0;
    // Something the program could not do and goes on without: one line on
    // standard error.
    virtual void warn(const std::string& message) = 0;
};

}  // namespace tallyro::platform
