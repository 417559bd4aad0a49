// The search and result pages of a started main window on the fake platform, with
// helpers that drive them as the view does. The watch list is off, so that the
// pages behave as first designed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "client_fixture.h"
#include "lookup/result_rows.h"

namespace tallyro::test {

class SearchWindow {
public:
    // Without a generator the requests use the clock-seeded one.
    explicit SearchWindow(quotes::QuoteRequests::RandomFn random = {}) {
        if (random)
            mainWindow.requests().setRandom(std::move(random));
    }

    // Replaces the stock table with these (code, name) rows, in this order.
    void setStocks(const std::vector<std::pair<std::string, std::string>>& rows) {
        std::string sql = "delete from [QzSj];";
        for (const auto& [code, name] : rows)
            sql += "insert into [QzSj] (GpID, GpName) values ('" + code + "', '" + name + "');";
        execSql(client.files.database, sql);
    }

    // Input as the view delivers it; returns the event as the handlers left it.
    ui::Event send(ui::Event e) {
        mainWindow.dispatch(e);
        return e;
    }
    void type(const std::string& text) {  // the user edits the search box
        send({.target = &box(), .kind = ui::EventKind::UserText, .text = text});
    }
    void focus() { send({&box(), ui::EventKind::GotFocus}); }
    void blur() { send({&box(), ui::EventKind::LostFocus}); }
    void keyDown(std::int16_t keyCode) { client.keyDown("SearchForm_Text", keyCode); }
    // Returns the character code the box receives (0 when swallowed).
    std::int16_t keyPress(std::int16_t character) {
        return send({.target = &box(), .kind = ui::EventKind::KeyPress, .key = character}).key;
    }
    void click(const char* name, std::int16_t row) {
        send({&el(name, row), ui::EventKind::Click, ui::kButtonLeft});
    }
    void dblClick(const char* name, std::int16_t row) {
        send({&el(name, row), ui::EventKind::DblClick, ui::kButtonLeft});
    }
    void hover(std::int16_t row) {
        send({.target = &el("GpBg", row), .kind = ui::EventKind::MouseMove, .x = 300, .y = 200});
    }
    void wheel(int delta) {
        send({.target = &form->window(), .kind = ui::EventKind::Wheel, .delta = delta});
    }
    void scrollBar(int value) {  // the user drags the scroll bar
        send({.target = &el("Frame_TableBar"), .kind = ui::EventKind::UserValue, .value = value});
    }

    ui::Element& el(std::string_view name, std::int16_t index = -1) {
        return form->at(name, index);
    }
    ui::Element& box() { return el("SearchForm_Text"); }
    std::vector<std::string> rowCodes() const {
        std::vector<std::string> codes;
        const std::int16_t rows = lookup::rowCount(*form);
        for (std::int16_t n = 1; n <= rows; ++n)
            codes.push_back(form->at("GpID", n).text());
        return codes;
    }
    bool monitorRunning() { return el("SearchGpInfoMonitor").enabled(); }
    // A stock's analysis asked for, as one input.
    void request(const std::string& code) {
        mainWindow.input([&] { requests.SearchGpInfo(code); });
    }
    // The codes of the stock requests sent, from the addresses the browser went to.
    std::vector<std::string> requested() const {
        const std::string field = "/RequestGpInfo.asp?GpID=";
        std::vector<std::string> codes;
        for (const std::string& address : browser.navigations) {
            const std::size_t at = address.find(field);
            if (at != std::string::npos) {
                const std::size_t from = at + field.size();
                codes.push_back(address.substr(from, address.find('&', from) - from));
            }
        }
        return codes;
    }

    ClientWindow client;
    app::FormLogin& mainWindow = started(client);
    FakePlatform& fake = client.fake;
    FakeAnalysisBrowser& browser = client.fake.browser;
    ui::Form* form = &mainWindow.form();
    context::WindowState& state = mainWindow.state();
    lookup::ResultList& list = mainWindow.resultList();
    quotes::QuoteRequests& requests = mainWindow.requests();
    quotes::AnswerMonitor& monitor = mainWindow.answers();
    pages::PageSwitcher& pages = mainWindow.pages();

private:
    static app::FormLogin& started(ClientWindow& window) {
        writeFileBytes(window.files.settings, "[Watch]\r\nEnabled=no\r\n");
        app::FormLogin& form = window.start();
        EXPECT_TRUE(window.started);
        return form;
    }
};

}  // namespace tallyro::test
