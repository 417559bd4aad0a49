// The started main window, with helpers that drag its title strip and move the
// pointer as the window system would report them.
#pragma once

#include "client_fixture.h"

namespace tallyro::window {

class WindowTest : public test::ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    ui::Element& win() { return form->form().window(); }
    app::WindowState& s() { return state(); }
    void place(float left, float top) { win().move(left, top); }

    // Presses the left button on the title strip at (x, y) twips of the middle
    // image, moves by (dx, dy) and releases.
    void drag(float dx, float dy, float x = 300, float y = 150) {
        ui::Element& strip = el("FormTop_Cennet");
        app::Event down{&strip, app::EventKind::MouseDown};
        down.button = app::kButtonLeft;
        down.x = x;
        down.y = y;
        form->dispatch(down);
        app::Event move{&strip, app::EventKind::MouseMove};
        move.button = app::kButtonLeft;
        move.x = x + dx;
        move.y = y + dy;
        form->dispatch(move);
        app::Event up{&strip, app::EventKind::MouseUp};
        form->dispatch(up);
    }
    // The pointer at pixel (x, y), then one Timer3 tick.
    void pointAt(int x, int y) {
        fake.screen.pointerAt = {x, y};
        advance(10);
    }
    void trayClick(std::int16_t button) {
        app::Event e{&el("IconLogo"), app::EventKind::MouseMove};
        e.button = button;
        form->dispatch(e);
    }
};

}  // namespace tallyro::window
