// Time of one search-box query over the full stock table of the built QsDate.mdb: the list of at
// most 20 rows plus the count of every match, as one keystroke costs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "data/local_database.h"

namespace {

using tallyro::data::LocalDatabase;

LocalDatabase& database() {
    static const std::unique_ptr<LocalDatabase> db = [] {
        std::string error;
        auto opened = LocalDatabase::open(TALLYRO_BENCH_STOCK_DB, &error);
        if (opened == nullptr) {
            std::cerr << TALLYRO_BENCH_STOCK_DB << ": " << error << "\n";
            std::exit(1);
        }
        return opened;
    }();
    return *db;
}

void searchText(benchmark::State& state, const std::string& text) {
    auto& db = database();
    int total = 0;
    for (auto _ : state) {
        auto result = db.search(text);
        total = result.total;
        benchmark::DoNotOptimize(result);
    }
    state.counters["matches"] = total;
}

BENCHMARK_CAPTURE(searchText, digit_6, std::string("6"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(searchText, code_600, std::string("600"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(searchText, name_yinhang, std::string("银行"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(searchText, letters_st, std::string("st"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(searchText, no_match_zzzz, std::string("zzzz"))->Unit(benchmark::kMicrosecond);

// Start-up share: open, check the tables and prepare the statements.
void openDatabase(benchmark::State& state) {
    for (auto _ : state) {
        std::string error;
        auto db = LocalDatabase::open(TALLYRO_BENCH_STOCK_DB, &error);
        benchmark::DoNotOptimize(db);
    }
}
BENCHMARK(openDatabase)->Unit(benchmark::kMicrosecond);

}  // namespace
