// Keystroke to rebuilt result list on the full stock table: the search box's
// text changes through the handler path (the Change raised by the text box, the
// query, unloading and loading the row elements) and the view takes the change
// set, as it does once per event.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "client_fixture.h"
#include "lookup/result_rows.h"

namespace {

using namespace tallyro;

// The started main window on the fake platform, as the tests build it.
class SearchPage {
public:
    SearchPage() {
        window_.start();
        if (!window_.started) {
            std::cerr << window_.files.database << ": the window did not start\n";
            std::exit(1);
        }
        (void)form().takeChanges();
    }

    // The user's edit as the view delivers it, then the view's look at the model.
    std::size_t type(const std::string& text) {
        // What dispatching a UserText event does: the new text raises Change.
        form().at("SearchForm_Text").setText(text);
        const auto changes = form().takeChanges();
        return changes.changed.size() + changes.removed.size();
    }
    int rows() { return lookup::rowCount(form()); }

private:
    ui::Form& form() { return window_.form->form(); }

    test::ClientWindow window_;
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
