// A main window on the fake platform with a real copy of the stock database,
// and helpers that drive it as the window system would; ClientTest is the
// fixture that holds one.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/form_login.h"
#include "fake_keyboard.h"
#include "fake_platform.h"
#include "temp_dir.h"
#include "test_database.h"

namespace tallyro::test {

inline constexpr const char* kLoginHost = "127.0.0.9";
inline constexpr std::uint16_t kLoginPort = 4116;
inline constexpr const char* kWebBase = "http://web.test";

class ClientWindow {
public:
    ClientWindow() : files{dir / "config.ini", copyBuiltDatabase(dir.path())} {}

    // Builds and starts the window; call again after changing the files to start
    // afresh. `started` tells whether start-up went through.
    app::FormLogin& start() {
        form.reset();
        form = std::make_unique<app::FormLogin>(
            fake.platform, context::Deployment{kLoginHost, kLoginPort, kWebBase}, files);
        started = form->start();
        return *form;
    }

    ui::Element& el(std::string_view name, std::int16_t index = -1) {
        return form->el(name, index);
    }
    context::WindowState& state() { return form->state(); }

    void send(ui::Element& target, ui::EventKind kind) {
        ui::Event e{&target, kind};
        form->dispatch(e);
    }
    void click(std::string_view name, std::int16_t index = -1) {
        send(el(name, index), ui::EventKind::Click);
    }
    // A key as the user presses it on a box (see fake_keyboard.h). Returns the
    // character code the handlers left.
    std::int16_t type(std::string_view box, char32_t ch) {
        std::int16_t left = 0;
        const Key key = ch == 8 ? kBackspace : characterKey(static_cast<char>(ch));
        pressKey(el(box), key, [&](ui::Event& e) {
            form->dispatch(e);
            if (e.kind == ui::EventKind::KeyPress)
                left = e.key;
        });
        return left;
    }
    void typeText(std::string_view box, std::string_view text) {
        for (char ch : text)
            type(box, static_cast<char32_t>(ch));
    }
    // A key without a character (arrows): KeyDown only, as the view raises it.
    void keyDown(std::string_view box, std::int16_t code) {
        pressKey(el(box), Key{code, 0}, [&](ui::Event& e) { form->dispatch(e); });
    }
    void advance(int ms) { fake.clock.advance(ms); }
    // The pointer goes to pixel (x, y), told to the window as the window system
    // tells it: a move while over the main window's pixels, a leave when it
    // goes off them.
    void movePointer(int x, int y) {
        fake.screen.pointerAt = {x, y};
        ui::Element& w = form->form().window();
        const auto px = [](float twips) { return static_cast<int>(twips / ui::kTwipsPerPixel); };
        const bool over = w.visible() && x >= px(w.left()) && x < px(w.left() + w.width()) &&
                          y >= px(w.top()) && y < px(w.top() + w.height());
        if (over || pointerOver_)
            send(w, over ? ui::EventKind::PointerMoved : ui::EventKind::PointerLeft);
        pointerOver_ = over;
    }

    TempDir dir;
    FakePlatform fake;
    app::FileLocations files;
    std::unique_ptr<app::FormLogin> form;
    bool started = false;

private:
    bool pointerOver_ = false;
};

class ClientTest : public ::testing::Test, public ClientWindow {};

}  // namespace tallyro::test
