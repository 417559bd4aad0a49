#include "search_window.h"

#include <gtest/gtest.h>

#include "lookup/result_rows.h"
#include "test_database.h"
#include "ui/designs.h"
#include "ui/main_layout.h"

namespace tallyro::test {

namespace {

std::unique_ptr<data::LocalDatabase> openDatabase(const std::filesystem::path& file) {
    std::string error;
    auto db = data::LocalDatabase::open(file, &error);
    if (!db)
        ADD_FAILURE() << file << ": " << error;
    return db;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

}  // namespace

SearchWindow::SearchWindow(quotes::QuoteRequests::RandomFn random)
    : dbFile(copyBuiltDatabase(dir.path())),
      db(openDatabase(dbFile)),
      form(ui::makeFormLogin()),
      context{*form,
              state,
              platform,
              deployment,
              [this] { return db.get(); },
              [this](std::string_view page) { pages.emplace_back(page); }},
      list(context,
           [this](const std::string& code) {
               requested.push_back(code);
               requests.SearchGpInfo(code);
           }),
      box(context, list,
          [this](const std::string& code) {
              requested.push_back(code);
              requests.SearchGpInfo(code);
          }),
      requests(context, std::move(random)),
      monitor(context) {
    form->setEvents(this);
    form->setTextMeasure(&fake.measure);
    // The start-up size, which lays the window out as the user first sees it.
    form->window().setHeight(8550);
    form->window().setWidth(3600);
    list.registerHandlers(handlers);
    box.registerHandlers(handlers);
    requests.registerHandlers(handlers);
    monitor.registerHandlers(handlers);
    browser.setNavigated([this](const std::string& address) { monitor.navigated(address); });
    for (ui::Element* e : form->elements()) {
        if (e->kind() == ui::Kind::Timer && e->enabled())
            timerChanged(*e);
    }
}

SearchWindow::~SearchWindow() {
    browser.setNavigated({});
    for (ui::Element* e : form->elements()) {
        if (e->kind() == ui::Kind::Timer)
            fake.clock.stop(e);
    }
}

void SearchWindow::setStocks(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::string sql = "delete from [QzSj];";
    for (const auto& [code, name] : rows) {
        sql += "insert into [QzSj] (GpID, GpName) values (" + quoted(code) + ", " + quoted(name) +
               ");";
    }
    execSql(dbFile, sql);
}

void SearchWindow::dispatch(app::Event& event) {
    ui::Element& target = *event.target;
    switch (event.kind) {
        case app::EventKind::UserText:
            target.setText(event.text);
            break;
        case app::EventKind::UserValue:
            target.setValue(event.value);
            break;
        default:
            handlers.run(target.name(), event);
            break;
    }
}

void SearchWindow::resized(ui::Form& f) {
    ui::layoutMainWindow(f);
}

void SearchWindow::changed(ui::Element& element) {
    app::Event change{&element, app::EventKind::Change};
    handlers.run(element.name(), change);
}

void SearchWindow::timerChanged(ui::Element& timer) {
    if (timer.enabled() && timer.interval() > 0) {
        fake.clock.start(&timer, timer.interval(), [this, &timer] {
            app::Event tick{&timer, app::EventKind::Timer};
            dispatch(tick);
        });
    } else {
        fake.clock.stop(&timer);
    }
}

void SearchWindow::type(const std::string& text) {
    app::Event e{&el("SearchForm_Text"), app::EventKind::UserText};
    e.text = text;
    dispatch(e);
}

void SearchWindow::focus() {
    app::Event e{&el("SearchForm_Text"), app::EventKind::GotFocus};
    dispatch(e);
}

void SearchWindow::blur() {
    app::Event e{&el("SearchForm_Text"), app::EventKind::LostFocus};
    dispatch(e);
}

void SearchWindow::keyDown(std::int16_t keyCode) {
    app::Event e{&el("SearchForm_Text"), app::EventKind::KeyDown};
    e.key = keyCode;
    dispatch(e);
}

std::int16_t SearchWindow::keyPress(std::int16_t character) {
    app::Event e{&el("SearchForm_Text"), app::EventKind::KeyPress};
    e.key = character;
    dispatch(e);
    return e.key;
}

void SearchWindow::click(const char* name, std::int16_t row) {
    app::Event e{&el(name, row), app::EventKind::Click};
    e.button = app::kButtonLeft;
    dispatch(e);
}

void SearchWindow::dblClick(const char* name, std::int16_t row) {
    app::Event e{&el(name, row), app::EventKind::DblClick};
    e.button = app::kButtonLeft;
    dispatch(e);
}

void SearchWindow::hover(std::int16_t row) {
    app::Event e{&el("GpBg", row), app::EventKind::MouseMove};
    e.x = 300;
    e.y = 200;
    dispatch(e);
}

void SearchWindow::wheel(int delta) {
    app::Event e{&form->window(), app::EventKind::Wheel};
    e.delta = delta;
    dispatch(e);
}

void SearchWindow::scrollBar(int value) {
    app::Event e{&el("Frame_TableBar"), app::EventKind::UserValue};
    e.value = value;
    dispatch(e);
}

std::vector<std::string> SearchWindow::rowCodes() const {
    std::vector<std::string> codes;
    const std::int16_t rows = lookup::rowCount(*form);
    for (std::int16_t n = 1; n <= rows; ++n)
        codes.push_back(form->at("GpID", n).text());
    return codes;
}

}  // namespace tallyro::test
