#include "pages/loading_animation.h"

namespace tallyro::pages {

namespace {

constexpr int kDarkestDot = 1000;  // levels 0 to 4 are bitmaps 1000 to 1004

}  // namespace

std::array<int, 8> loadingFrame(int t, bool rightward) {
    std::array<int, 8> bitmaps{};  // index 0 is dot 1
    bitmaps.fill(kDarkestDot);
    auto set = [&bitmaps](int dot, int level) {
        if (dot >= 1 && dot <= 8)
            bitmaps[static_cast<std::size_t>(dot - 1)] = kDarkestDot + level;
    };
    if (t < 9) {
        const int head = rightward ? t : 9 - t;
        set(head, 4);
        for (int i = 1; i <= 3; ++i) {
            if (t - i > 0)
                set(rightward ? head - i : head + i, 4 - i);
        }
    } else {
        // The head has left the row; the trail shrinks from its far end.
        for (int i = 1; i <= 12 - t; ++i)
            set(rightward ? 9 - i : i, 4 - i);
    }
    return bitmaps;
}

void LoadingAnimation::registerHandlers(ui::Handlers& handlers) {
    handlers.on("PlayFlash", ui::EventKind::Timer, [this](ui::Event&) { PlayFlash_Timer(); });
}

void LoadingAnimation::PlayFlash_Timer() {
    context::WindowState& s = ctx_.state;
    ++s.TempPlayNum;
    const int t = s.TempPlayNum;
    const auto frame = loadingFrame(t, s.TempPlayFx == context::kSideRight);
    for (std::int16_t dot = 1; dot <= 8; ++dot)
        ctx_.el("Pic_Load", dot).setPicture(frame[static_cast<std::size_t>(dot - 1)]);
    if (t == 12) {
        s.TempPlayFx =
            s.TempPlayFx == context::kSideRight ? context::kSideLeft : context::kSideRight;
        s.TempPlayNum = 0;
    }
}

}  // namespace tallyro::pages
