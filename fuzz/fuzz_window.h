// The main window's elements and context on the fake platform, without start-up:
// no database, no skin, no timers running. Built once per process; reset() clears
// what the fakes recorded so that every input starts from the same records.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "context/context.h"
#include "fake_platform.h"
#include "pages/page_switcher.h"
#include "require.h"
#include "text/utf8.h"
#include "ui/designs.h"

namespace tallyro::fuzz {

struct FuzzWindow {
    test::FakePlatform fake;
    std::unique_ptr<ui::Form> form = ui::makeFormLogin();
    context::WindowState state;
    context::Deployment deployment;  // the built-in login server and web base
    context::Context context{*form, state, fake.platform, deployment};
    pages::PageSwitcher switcher{context};
    std::string pageAtReset;  // the page shown when the input began

    // Whether the input showed a page other than the one it began on.
    bool pageChanged() const { return switcher.current() != pageAtReset; }

    ui::Element& el(std::string_view name) { return form->at(name); }

    void reset() {
        fake.udp.sent.clear();
        fake.browser.navigations.clear();
        fake.shell.opened.clear();
        pageAtReset = switcher.current();
        form->takeChanges();
    }
};

}  // namespace tallyro::fuzz
