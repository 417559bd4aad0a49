// The real main window on the Qt view, with fakes for everything outside it:
// what the Qt tests of the binding start from.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>

#include "app/form_login.h"
#include "fake_platform.h"
#include "qt/form_view.h"
#include "qt/qt_platform.h"
#include "temp_dir.h"
#include "test_database.h"

namespace tallyro::qt {

class QtClientTest : public ::testing::Test {
protected:
    QtClientTest() : files{dir / "config.ini", test::copyBuiltDatabase(dir.path())} {}

    // Builds and starts the window on the web base and login port given, talking
    // through `link` (the fake when none); every input the view raises goes
    // through `onInput` first, when set.
    void start(const char* webBase = "http://127.0.0.1:9", std::uint16_t port = 4116,
               platform::UdpEndpoint* link = nullptr) {
        form.reset();
        platform.emplace(clock, screen, link ? *link : udp, shell, tray, measure, windows, process,
                         browser);
        form = std::make_unique<app::FormLogin>(*platform,
                                                app::Deployment{"127.0.0.1", port, webBase}, files);
        windows.setDispatch([this](app::Event& e) {
            if (onInput)
                onInput(e);
            form->dispatch(e);
        });
        windows.setWheelTarget(&form->form().window());
        EXPECT_TRUE(form->start());
        QApplication::processEvents();
    }

    QWidget* widget(const char* name, std::int16_t i = -1) {
        return windows.widgetOf(form->el(name, i));
    }
    QWidget* window() { return windows.windowOf(form->form()); }
    QRect rect(const char* name, std::int16_t i = -1) {
        return windows.rectInWindow(form->el(name, i));
    }

    std::function<void(app::Event&)> onInput;
    test::TempDir dir;
    app::FileLocations files;
    QtWindowSystem windows;
    test::VirtualClock clock;
    test::FakeScreen screen;
    test::FakeUdp udp;
    test::FakeShell shell;
    test::FakeTray tray;
    QtTextMeasure measure;
    test::FakeProcess process;
    test::FakeAnalysisBrowser browser;
    std::optional<platform::Platform> platform;
    std::unique_ptr<app::FormLogin> form;
};

}  // namespace tallyro::qt
