// The search and result pages of the main window without FormLogin: the real
// window design, a real copy of the stock database and the fake platform, with
// the lookup and quote subsystems wired the way the main window wires them.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "context/context.h"
#include "context/deployment.h"
#include "context/window_state.h"
#include "data/local_database.h"
#include "fake_platform.h"
#include "lookup/result_list.h"
#include "lookup/search_box.h"
#include "quotes/answer_monitor.h"
#include "quotes/quote_requests.h"
#include "temp_dir.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/handlers.h"

namespace tallyro::test {

inline constexpr const char* kWebBase = "http://web.test";

// Reports a finished navigation to "about:blank" from inside navigate(), as the
// Qt browser does; other pages finish when the test says so.
class ImmediateBlankBrowser : public FakeAnalysisBrowser {
public:
    void navigate(const std::string& url) override {
        FakeAnalysisBrowser::navigate(url);
        if (url == "about:blank")
            finish(url);
    }
};

class SearchWindow : private ui::FormEvents {
public:
    // Without a generator the requests use the clock-seeded one.
    explicit SearchWindow(quotes::QuoteRequests::RandomFn random = quotes::RequestRandom());
    ~SearchWindow() override;

    // Replaces the stock table with these (code, name) rows, in this order.
    void setStocks(const std::vector<std::pair<std::string, std::string>>& rows);

    // Input as the view delivers it.
    void dispatch(app::Event& event);
    void type(const std::string& text);  // the user edits the search box
    void focus();
    void blur();
    void keyDown(std::int16_t keyCode);
    // Returns the character code the box receives (0 when swallowed).
    std::int16_t keyPress(std::int16_t character);
    void click(const char* name, std::int16_t row);
    void dblClick(const char* name, std::int16_t row);
    void hover(std::int16_t row);
    void wheel(int delta);
    void scrollBar(int value);  // the user drags the scroll bar

    ui::Element& el(std::string_view name, std::int16_t index = -1) {
        return form->at(name, index);
    }
    std::vector<std::string> rowCodes() const;
    bool monitorRunning() { return fake.clock.running(&el("SearchGpInfoMonitor")); }

    TempDir dir;
    FakePlatform fake;
    ImmediateBlankBrowser browser;
    platform::Platform platform{fake.clock,   fake.screen,  fake.udp,     fake.shell, fake.tray,
                                fake.measure, fake.windows, fake.process, browser};
    std::filesystem::path dbFile;
    std::unique_ptr<data::LocalDatabase> db;
    std::unique_ptr<ui::Form> form;
    app::WindowState state;
    app::Deployment deployment{"127.0.0.9", 4116, kWebBase};
    std::vector<std::string> pages;  // every ShowPage call
    app::Context context;
    app::Handlers handlers;
    lookup::ResultList list;
    lookup::SearchBox box;
    quotes::QuoteRequests requests;
    quotes::AnswerMonitor monitor;
    std::vector<std::string> requested;  // codes passed to SearchGpInfo

private:
    void resized(ui::Form& f) override;
    void changed(ui::Element& element) override;
    void timerChanged(ui::Element& timer) override;
};

}  // namespace tallyro::test
