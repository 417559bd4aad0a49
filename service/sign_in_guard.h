// Failed sign-ins per account and per source address, and the wait they earn: a few
// failures are free, then each further one doubles the wait before the next attempt
// is checked at all, up to a limit. A success clears the account's record; the
// source's failures stay until they are forgotten, so that signing in to an account
// of one's own does not wipe what one guessed at others. An account's wait holds back
// only sources that have failed at that account, so that guessing at it does not keep
// its owner out when the owner signs in from elsewhere, until so many failures came
// that they must come from many addresses: then it holds back every source. Time is
// passed in.
#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>

namespace tallyro::service {

class SignInGuard {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;

    struct Rules {
        unsigned freeFailures = 5;
        Duration firstWait = std::chrono::seconds(1);
        Duration longestWait = std::chrono::seconds(60);
        // A record whose last failure is older than this is forgotten.
        Duration memory = std::chrono::minutes(15);
        // Records kept per table; beyond it the least recent one that is not waiting
        // makes room.
        std::size_t capacity = 10000;
        // From this many failures of an account on, its wait holds back every source.
        unsigned everyoneWaitsAfter = 20;
    };

    SignInGuard() : SignInGuard(Rules{}) {}
    explicit SignInGuard(const Rules& rules) : rules_(rules) {}

    // Whether an attempt may be checked now; when not, how long until it may.
    Duration waitFor(const std::string& account, const std::string& source, TimePoint now);
    // `account` empty for a name that has no account: only the source is charged.
    void failed(const std::string& account, const std::string& source, TimePoint now);
    void succeeded(const std::string& account, const std::string& source);

    std::size_t trackedAccounts() const { return accounts_.size(); }
    std::size_t trackedSources() const { return sources_.size(); }

private:
    struct Record {
        unsigned failures = 0;
        TimePoint last;
        TimePoint until;  // no attempt is checked before this
    };

    // Records by key, most recently failed first.
    class Table {
    public:
        const Record* find(const std::string& key, TimePoint now, Duration memory);
        Record& touch(const std::string& key, std::size_t capacity, TimePoint now);
        void erase(const std::string& key);
        std::size_t size() const { return index_.size(); }

    private:
        using Entry = std::pair<std::string, Record>;
        std::list<Entry> order_;
        std::unordered_map<std::string, std::list<Entry>::iterator> index_;
    };

    void charge(Record& record, TimePoint now) const;

    static std::string pairKey(const std::string& account, const std::string& source) {
        return source + '\n' + account;
    }

    Rules rules_;
    Table accounts_;
    Table sources_;
    Table pairs_;  // which source failed at which account
};

}  // namespace tallyro::service
