// Keystroke to rebuilt result list on the full stock table: the search box's
// text changes through the handler path (the Change raised by the text box, the
// query, unloading and loading the row elements) and the view takes the change
// set, as it does once per event.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "context/context.h"
#include "context/deployment.h"
#include "context/window_state.h"
#include "data/local_database.h"
#include "fake_platform.h"
#include "lookup/result_list.h"
#include "lookup/result_rows.h"
#include "lookup/search_box.h"
#include "ui/designs.h"
#include "ui/handlers.h"
#include "ui/main_layout.h"

namespace {

using namespace tallyro;

class SearchPage : private ui::FormEvents {
public:
    SearchPage()
        : db_(open()),
          form_(ui::makeFormLogin()),
          context_{*form_,
                   state_,
                   fake_.platform,
                   deployment_,
                   [this] { return db_.get(); },
                   [](std::string_view) {}},
          list_(context_, [](const std::string&) {}),
          box_(context_, list_, [](const std::string&) {}) {
        form_->setEvents(this);
        form_->setTextMeasure(&fake_.measure);
        form_->window().setHeight(8550);
        form_->window().setWidth(3600);
        list_.registerHandlers(handlers_);
        box_.registerHandlers(handlers_);
        (void)form_->takeChanges();
    }

    // The user's edit as the view delivers it, then the view's look at the model.
    std::size_t type(const std::string& text) {
        // What dispatching a UserText event does: the new text raises Change.
        form_->at("SearchForm_Text").setText(text);
        const auto changes = form_->takeChanges();
        return changes.changed.size() + changes.removed.size();
    }
    int rows() const { return lookup::rowCount(*form_); }

private:
    static std::unique_ptr<data::LocalDatabase> open() {
        std::string error;
        auto db = data::LocalDatabase::open(TALLYRO_BENCH_STOCK_DB, &error);
        if (!db) {
            std::cerr << TALLYRO_BENCH_STOCK_DB << ": " << error << "\n";
            std::exit(1);
        }
        return db;
    }
    void resized(ui::Form& f) override { ui::layoutMainWindow(f); }
    void changed(ui::Element& element) override {
        app::Event change{&element, app::EventKind::Change};
        handlers_.run(element.name(), change);
    }
    void timerChanged(ui::Element&) override {}

    test::FakePlatform fake_;
    app::Deployment deployment_;
    std::unique_ptr<data::LocalDatabase> db_;
    std::unique_ptr<ui::Form> form_;
    app::WindowState state_;
    app::Context context_;
    app::Handlers handlers_;
    lookup::ResultList list_;
    lookup::SearchBox box_;
};

// One keystroke: the box holds `before`, the user's edit makes it `after`.
void keystroke(benchmark::State& state, const std::string& before, const std::string& after) {
    SearchPage page;
    std::size_t changed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        page.type(before);
        state.ResumeTiming();
        changed = page.type(after);
    }
    state.counters["rows"] = page.rows();
    state.counters["elements_changed"] = static_cast<double>(changed);
}

#define KEYSTROKE(name, before, after)                                          \
    BENCHMARK_CAPTURE(keystroke, name, std::string(before), std::string(after)) \
        ->Unit(benchmark::kMicrosecond)                                         \
        ->Repetitions(9)                                                        \
        ->ReportAggregatesOnly(true)

KEYSTROKE(type_6, "", "6");
KEYSTROKE(type_60, "6", "60");
KEYSTROKE(type_600, "60", "600");
KEYSTROKE(type_yin, "", "银");
KEYSTROKE(type_yinhang, "银", "银行");
KEYSTROKE(complete_sh600000, "600", "sh600000");
KEYSTROKE(no_match_zzzz, "zzz", "zzzz");
KEYSTROKE(erase_600, "600", "");

// The whole word typed: "6", "60", "600", then the box emptied again.
void typeWord(benchmark::State& state) {
    SearchPage page;
    for (auto _ : state) {
        page.type("6");
        page.type("60");
        page.type("600");
        page.type("");
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(typeWord)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
