// The real main window on the Qt view, with fakes for everything outside it:
// what the Qt tests of the binding start from.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <memory>
#include <optional>

#include "app/form_login.h"
#include "fake_platform.h"
#include "qt/form_view.h"
#include "qt/qt_platform.h"
#include "temp_dir.h"
#include "test_database.h"

namespace tallyro::qt {

// The fakes come from FakePlatform; the view's own window system and text
// measure hide the fake ones.
class QtClientTest : public ::testing::Test, protected test::FakePlatform {
protected:
    QtClientTest() : files{dir / "config.ini", test::copyBuiltDatabase(dir.path())} {}

    // Builds and starts the window on the login port given, talking through `link`
    // (the fake when none), and records every input the view raises.
    void start(std::uint16_t port = 4116, platform::UdpEndpoint* link = nullptr) {
        form.reset();
        platform.emplace(clock, screen, link ? *link : udp, shell, tray, measure, windows, process,
                         browser, test::FakePlatform::keys, clock, fetcher, notifier);
        form = std::make_unique<app::FormLogin>(
            *platform, context::Deployment{"127.0.0.1", port, "http://127.0.0.1:9"}, files);
        windows.setDispatch([this](ui::Event& e) {
            events.push_back(e.target->name() + ":" + std::to_string(static_cast<int>(e.kind)));
            if (e.kind == ui::EventKind::KeyDown || e.kind == ui::EventKind::KeyPress)
                keys.push_back(e.key);
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
    int count(const std::string& name, ui::EventKind kind) const {
        return static_cast<int>(std::count(events.begin(), events.end(),
                                           name + ":" + std::to_string(static_cast<int>(kind))));
    }
    static void click(QWidget* w, QPoint at = {5, 5}) {
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
    }

    std::vector<std::string> events;  // "name:kind" of each input the view raised
    std::vector<std::int16_t> keys;   // codes of KeyDown and KeyPress, in order
    test::TempDir dir;
    app::FileLocations files;
    QtWindowSystem windows;
    QtTextMeasure measure;
    std::optional<platform::Platform> platform;
    std::unique_ptr<app::FormLogin> form;
};

}  // namespace tallyro::qt
