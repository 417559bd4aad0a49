// What every subsystem of the main window works with: the window's elements,
// the shared window-level state, the platform, the deployment values and the
// local database. Data only: what a subsystem calls, it is given in its
// constructor.
#pragma once

#include <string_view>

#include "context/deployment.h"
#include "context/window_state.h"
#include "platform/platform.h"
#include "ui/form.h"
#include "ui/handlers.h"

namespace tallyro::data {
class LocalDatabase;
}

namespace tallyro::context {

struct Context {
    ui::Form& form;
    WindowState& state;
    platform::Platform& platform;
    const Deployment& deployment;
    // Open from start-up on; null only when start-up failed.
    data::LocalDatabase* database = nullptr;

    ui::Element& el(std::string_view name, std::int16_t index = -1) const {
        return form.at(name, index);
    }
};

}  // namespace tallyro::context
