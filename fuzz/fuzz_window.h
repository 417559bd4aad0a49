// The main window's elements and context on the fake platform, without start-up:
// no database, no skin, no timers running. Built once per process; reset() clears
// what the fakes recorded so that every input starts from the same records.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "context/context.h"
#include "fake_platform.h"
#include "require.h"
#include "text/utf8.h"
#include "ui/designs.h"

namespace tallyro::fuzz {

struct FuzzWindow {
    test::FakePlatform fake;
    std::unique_ptr<ui::Form> form = ui::makeFormLogin();
    context::WindowState state;
    context::Deployment deployment;  // the built-in login server and web base
    std::vector<std::string> pages;
    context::Context context{*form,
                             state,
                             fake.platform,
                             deployment,
                             []() -> data::LocalDatabase* { return nullptr; },
                             [this](std::string_view page) { pages.emplace_back(page); }};

    ui::Element& el(std::string_view name) { return form->at(name); }

    void reset() {
        fake.udp.sent.clear();
        fake.browser.navigations.clear();
        fake.shell.opened.clear();
        pages.clear();
        form->takeChanges();
    }
};

}  // namespace tallyro::fuzz
