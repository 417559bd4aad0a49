// The loading dots: a bright head with a fading trail sweeping right, then
// left, one frame per PlayFlash tick.
#pragma once

#include <array>

#include "context/context.h"

namespace tallyro::pages {

// Bitmap of each dot, 1 to 8, for frame t (1 to 12) of a sweep.
std::array<int, 8> loadingFrame(int t, bool rightward);

class LoadingAnimation {
public:
    explicit LoadingAnimation(context::Context& context) : ctx_(context) {}
    void registerHandlers(ui::Handlers& handlers);
    void PlayFlash_Timer();

private:
    context::Context& ctx_;
};

}  // namespace tallyro::pages
