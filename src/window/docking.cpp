#include "window/docking.h"

#include <cmath>

namespace tallyro::window {

namespace {

using context::kSideFree;
using context::kSideLeft;
using context::kSideRight;
using context::kSideTop;

constexpr float kFreeHeight = 8550;
constexpr float kTaskbarAllowance = 450;
constexpr std::int16_t kMovingTicks = 10;
constexpr float kTopStep = 855;
constexpr float kStrip = 75;
constexpr float kTwips = ui::kTwipsPerPixel;
// The screen list is read again after this many monitor ticks (a second), and
// whenever a drag starts, instead of on every tick.
constexpr int kScreensMaxAge = 100;

}  // namespace

Docking::Docking(context::Context& context)
    : ctx_(context),
      win_(context.form.window()),
      timer1_(context.el("Timer1")),
      timer2_(context.el("Timer2")),
      timer3_(context.el("Timer3")) {}

void Docking::registerHandlers(ui::Handlers& handlers) {
    using ui::EventKind;
    for (const char* image : {"FormTop_Left", "FormTop_Cennet", "FormTop_Right"}) {
        handlers.on(image, EventKind::MouseDown,
                    [this](ui::Event& e) { FormTop_MouseDown(e.button, e.x, e.y); });
        handlers.on(image, EventKind::MouseUp, [this](ui::Event&) { FormTop_MouseUp(); });
        handlers.on(image, EventKind::MouseMove,
                    [this](ui::Event& e) { FormTop_MouseMove(*e.target, e.x, e.y); });
    }
    handlers.on("Timer1", EventKind::Timer, [this](ui::Event&) { Timer1_Timer(); });
    handlers.on("Timer2", EventKind::Timer, [this](ui::Event&) { Timer2_Timer(); });
}

const std::vector<platform::PixelRect>& Docking::screens(bool fresh) {
    if (fresh || screens_.empty() || screensAge_ >= kScreensMaxAge) {
        screens_ = platform::allScreens(ctx_.platform.screen);
        screensAge_ = 0;
    }
    return screens_;
}

void Docking::FormTop_MouseDown(std::int16_t button, float x, float y) {
    if (button != ui::kButtonLeft)
        return;
    // Rounded as a whole number is: to the nearest, halves to even.
    ctx_.state.TempDragX = static_cast<std::int32_t>(std::lrint(x));
    ctx_.state.TempDragY = static_cast<std::int32_t>(std::lrint(y));
    ctx_.state.TempDragFlag = context::kTrue;
    screens(true);
    // A drag starts from a settled window: one caught while sliding or slid out
    // is shown at its edge first, so that no slide resumes later from a step
    // count that no longer fits where the drag has put the window.
    settle();
}

void Docking::FormTop_MouseUp() {
    ctx_.state.TempDragFlag = context::kFalse;
}

void Docking::free(float left) {
    win_.setLeft(left);
    win_.setHeight(kFreeHeight);
    ctx_.state.TempWindowPosition = kSideFree;
    timer3_.setEnabled(true);
}

void Docking::FormTop_MouseMove(const ui::Element& image, float x, float y) {
    context::WindowState& s = ctx_.state;
    if (s.TempDragFlag != context::kTrue)
        return;
    // Every move puts the window where the drag says, shown: a slide the monitor
    // started meanwhile (the pointer off a pinned window) ends here.
    settle();
    const auto dx = static_cast<float>(std::lrint(x - static_cast<float>(s.TempDragX)));
    const auto dy = static_cast<float>(std::lrint(y - static_cast<float>(s.TempDragY)));
    // The screen under the pointer, which is over the image.
    const float pointerX = win_.left() + image.left() + x;
    const float pointerY = win_.top() + image.top() + y;
    const platform::DockScreen screen =
        platform::screenAt(screens(false), {static_cast<int>(std::floor(pointerX / kTwips)),
                                            static_cast<int>(std::floor(pointerY / kTwips))});
    const float left = win_.left() + dx;
    const float width = win_.width();
    bool docked = false;
    if (left > screen.left && left + width > screen.right) {
        if (screen.rightEdge) {
            win_.setTop(screen.top);
            win_.setLeft(screen.right - width);
            win_.setHeight(screen.bottom - screen.top - kTaskbarAllowance);
            s.TempWindowPosition = kSideRight;
            docked = true;
        } else {
            free(left);
        }
    } else if (left > screen.left) {
        free(left);
    } else if (screen.leftEdge) {
        win_.setTop(screen.top);
        win_.setLeft(screen.left);
        win_.setHeight(screen.bottom - screen.top - kTaskbarAllowance);
        s.TempWindowPosition = kSideLeft;
        docked = true;
    } else {
        free(left);
    }
    if (docked)
        return;
    const float top = win_.top() + dy;
    if (top > screen.top || !screen.topEdge) {
        win_.setTop(top);
        s.TempWindowPosition = kSideFree;
    } else {
        win_.setTop(screen.top);
        s.TempWindowPosition = kSideTop;
    }
    timer3_.setEnabled(true);
}

void Docking::monitor(platform::PixelPoint pointer) {
    context::WindowState& s = ctx_.state;
    ++screensAge_;
    const float cx = static_cast<float>(pointer.x) * kTwips;
    const float cy = static_cast<float>(pointer.y) * kTwips;
    const float left = win_.left(), top = win_.top();
    const float width = win_.width(), height = win_.height();
    const bool inside = left <= cx && left + width >= cx && top <= cy && top + height >= cy;
    if (!win_.visible())
        return;
    if (inside && s.TempWindowPosition == kSideFree) {
        // A free window lying exactly at an edge docks once the pointer is on it;
        // left is looked at before right, right before top.
        const platform::DockScreen screen = platform::screenAt(screens(false), pointer);
        if (left == screen.left && screen.leftEdge) {
            s.TempWindowPosition = kSideLeft;
        } else if (left == screen.right - width && screen.rightEdge) {
            s.TempWindowPosition = kSideRight;
        } else if (top == screen.top && screen.topEdge) {
            s.TempWindowPosition = kSideTop;
        }
    }
    if (s.TempWindowPosition == kSideFree)
        return;
    if (inside && s.TempWindowCtrl == context::kYes) {
        s.TempWindowNum = 0;
        timer2_.setEnabled(true);
        timer3_.setEnabled(false);
    } else if (!inside && s.TempWindowCtrl == context::kNo) {
        s.TempWindowNum = 0;
        timer1_.setEnabled(true);
        timer3_.setEnabled(false);
    }
}

void Docking::slide(const char* timer, int direction) {
    // direction +1 slides out of view, -1 back; each moving tick adds a fixed
    // step to where the window is, and the final tick corrects by the strip.
    context::WindowState& s = ctx_.state;
    const std::string& side = s.TempWindowPosition;
    const float sideStep = static_cast<float>(s.MaxMeWidth / 10);
    float dLeft = 0, dTop = 0;
    const bool moving = s.TempWindowNum <= kMovingTicks - 1;
    if (side == kSideLeft) {
        dLeft = moving ? -sideStep : kStrip;
    } else if (side == kSideRight) {
        dLeft = moving ? sideStep : -kStrip;
    } else if (side == kSideTop) {
        dTop = moving ? -kTopStep : kStrip;
    } else {
        return;
    }
    win_.move(win_.left() + dLeft * static_cast<float>(direction),
              win_.top() + dTop * static_cast<float>(direction));
    if (moving) {
        ++s.TempWindowNum;
        return;
    }
    ctx_.el(timer).setEnabled(false);
    s.TempWindowCtrl = direction > 0 ? context::kYes : context::kNo;
    timer3_.setEnabled(true);
}

void Docking::Timer1_Timer() {
    slide("Timer1", +1);
}

void Docking::Timer2_Timer() {
    slide("Timer2", -1);
}

void Docking::putAtEdge() {
    const platform::DockScreen screen =
        platform::screenUnder(screens(true), platform::pixelsOf(win_));
    const std::string& side = ctx_.state.TempWindowPosition;
    if (side == kSideLeft) {
        win_.setLeft(screen.left);
    } else if (side == kSideRight) {
        win_.setLeft(screen.right - win_.width());
    } else if (side == kSideTop) {
        win_.setTop(screen.top);
    }
}

void Docking::settle() {
    context::WindowState& s = ctx_.state;
    const bool sliding = timer1_.enabled() || timer2_.enabled();
    if (sliding || s.TempWindowCtrl == context::kYes)
        putAtEdge();
    timer1_.setEnabled(false);
    timer2_.setEnabled(false);
    s.TempWindowNum = 0;
    s.TempWindowCtrl = context::kNo;
    timer3_.setEnabled(true);
}

void Docking::restoreToEdge() {
    context::WindowState& s = ctx_.state;
    if (!win_.visible())
        win_.setVisible(true);
    putAtEdge();
    settle();
    s.TempWindowPosition = kSideFree;
}

void Docking::movedFromOutside(float left, float top) {
    context::WindowState& s = ctx_.state;
    // While the program moves the window itself (a drag, a slide) the window
    // system reports those moves late; they are not the user's.
    if (s.TempDragFlag == context::kTrue || timer1_.enabled() || timer2_.enabled())
        return;
    if (left == win_.left() && top == win_.top())
        return;
    win_.move(left, top);
    // Put somewhere by hand, the window is free; lying at an edge, it docks
    // again once the pointer is on it.
    s.TempWindowPosition = kSideFree;
    s.TempWindowCtrl = context::kNo;
}

}  // namespace tallyro::window
