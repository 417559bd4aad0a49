// Repeating timers on the user-interface thread, one per timer element.
#pragma once

#include <functional>

namespace tallyro::platform {

class Timers {
public:
    virtual ~Timers() = default;
    // Starts a fresh interval for `key`, replacing any timer it had. `tick` runs on
    // the user-interface thread every intervalMs, each tick to completion before
    // any other event.
    virtual void start(const void* key, int intervalMs, std::function<void()> tick) = 0;
    virtual void stop(const void* key) = 0;
};

}  // namespace tallyro::platform
