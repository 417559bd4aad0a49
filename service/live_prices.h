// The price within the trading day, for the watch list's refresh and the
// analysis answers: a deterministic simulation around the last daily close, or
// a price an operator pinned for a while.
//
// The simulation, in Shanghai time: the sessions' minutes are numbered 0 to 240
// (9:30 to 11:30 is 0 to 120, 13:00 to 15:00 is 120 to 240); outside them the
// price stays where the last session ended (240 of the last weekday). At minute m
// of a day d the price is
//     close x (1 + 0.012 sin(2 pi m / 90 + a) + 0.006 sin(2 pi m / 23 + b)),
// rounded to cents, where a and b are phases drawn from the code and the day. So
// the same code at the same time always has the same price, a day's prices move
// within about 2 % of the close, and every day moves differently.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace tallyro::service {

// The simulated price of `code` at unixMs, from the last daily close.
double simulatedPrice(const std::string& code, double close, std::int64_t unixMs);

class LivePrices {
public:
    using Clock = std::function<std::int64_t()>;  // Unix milliseconds
    explicit LivePrices(Clock clock);

    // The price now: the pinned one while its time lasts, else the simulation.
    double price(const std::string& code, double close) const;

    // The price stays at `price` for `minutes` (1 to 1440) from now.
    void pin(const std::string& code, double price, int minutes);
    // False when nothing was pinned.
    bool unpin(const std::string& code);
    std::optional<double> pinned(const std::string& code) const;

private:
    struct Pin {
        double price;
        std::int64_t until;
    };
    Clock clock_;
    std::map<std::string, Pin> pins_;
};

}  // namespace tallyro::service
