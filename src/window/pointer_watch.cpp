#include "window/pointer_watch.h"

#include <climits>
#include <cmath>

namespace tallyro::window {

namespace {

constexpr float kTwips = ui::kTwipsPerPixel;
// The rounded outline cuts at most this many pixels off each corner.
constexpr int kCorner = 3;

}  // namespace

PointerWatch::PointerWatch(context::Context& context, Docking& docking, Hover& hover)
    : ctx_(context), docking_(docking), hover_(hover), win_(context.form.window()) {}

void PointerWatch::registerHandlers(ui::Handlers& handlers) {
    handlers.on("Timer3", ui::EventKind::Timer, [this](ui::Event&) { Timer3_Timer(); });
    handlers.on("FormLogin", ui::EventKind::PointerMoved, [this](ui::Event&) { pointerMoved(); });
    handlers.on("FormLogin", ui::EventKind::PointerLeft, [this](ui::Event&) { pointerLeft(); });
}

PointerWatch::Place PointerWatch::place() const {
    return {win_.left(), win_.top(), win_.width(), win_.height(), win_.visible()};
}

// Over the window's own pixels, clear of its corners: where the window system
// reports the pointer.
bool PointerWatch::reportedOver(platform::PixelPoint p) const {
    if (!win_.visible())
        return false;
    const auto px = [](float twips) { return static_cast<int>(std::lround(twips / kTwips)); };
    const int l = px(win_.left()), t = px(win_.top());
    const int r = l + px(win_.width()), b = t + px(win_.height());
    if (p.x < l || p.x >= r || p.y < t || p.y >= b)
        return false;
    const bool nearSide = p.x < l + kCorner || p.x >= r - kCorner;
    const bool nearEnd = p.y < t + kCorner || p.y >= b - kCorner;
    return !(nearSide && nearEnd);
}

platform::PixelPoint PointerWatch::pointer() {
    const platform::PixelPoint p = ctx_.platform.screen.pointer();
    // Where the pointer went over a window of another program that the window
    // system cannot see into (a native Wayland window beside XWayland), the
    // position it gives is the last one it knew, over this window. The Leave
    // event is the truth then: the pointer is elsewhere.
    if (left_ && reportedOver(p))
        return {INT_MIN / 32, INT_MIN / 32};
    return p;
}

void PointerWatch::Timer3_Timer() {
    pending_ = false;
    const platform::PixelPoint p = pointer();
    docking_.monitor(p);
    hover_.pass(p);
    const float cx = static_cast<float>(p.x) * kTwips, cy = static_cast<float>(p.y) * kTwips;
    const bool inside = win_.left() <= cx && win_.left() + win_.width() >= cx &&
                        win_.top() <= cy && win_.top() + win_.height() >= cy;
    onEdgeLine_ = inside && win_.visible() && !reportedOver(p);
    lastPlace_ = place();
}

void PointerWatch::pointerMoved() {
    left_ = false;
    pending_ = true;
}

void PointerWatch::pointerLeft() {
    left_ = true;
    pending_ = true;
}

void PointerWatch::afterInput() {
    if (lastPlace_ && *lastPlace_ != place())
        pending_ = true;
}

}  // namespace tallyro::window
