// The back-off of failed sign-ins.
#include "sign_in_guard.h"

#include <algorithm>

namespace tallyro::service {

namespace {

// How far from the least recent end a full table looks for a record that is not
// waiting, so that making room stays cheap under a flood.
constexpr int kEvictionScan = 64;

}  // namespace

const SignInGuard::Record* SignInGuard::Table::find(const std::string& key, TimePoint now,
                                                    Duration memory) {
    const auto it = index_.find(key);
    if (it == index_.end()) {
        return nullptr;
    }
    if (now - it->second->second.last >= memory && now >= it->second->second.until) {
        order_.erase(it->second);
        index_.erase(it);
        return nullptr;
    }
    return &it->second->second;
}

SignInGuard::Record& SignInGuard::Table::touch(const std::string& key, std::size_t capacity,
                                               TimePoint now) {
    if (const auto it = index_.find(key); it != index_.end()) {
        order_.splice(order_.begin(), order_, it->second);
        return order_.front().second;
    }
    if (index_.size() >= std::max<std::size_t>(capacity, 1)) {
        // Records that hold a wait are what the table is for: a flood of single
        // failures from forged addresses must not push them out.
        auto victim = std::prev(order_.end());
        auto probe = victim;
        for (int i = 0; i < kEvictionScan; ++i) {
            if (probe->second.until <= now) {
                victim = probe;
                break;
            }
            if (probe == order_.begin()) {
                break;
            }
            --probe;
        }
        index_.erase(victim->first);
        order_.erase(victim);
    }
    order_.emplace_front(key, Record{});
    index_.emplace(key, order_.begin());
    return order_.front().second;
}

void SignInGuard::Table::erase(const std::string& key) {
    if (const auto it = index_.find(key); it != index_.end()) {
        order_.erase(it->second);
        index_.erase(it);
    }
}

SignInGuard::Duration SignInGuard::waitFor(const std::string& account, const std::string& source,
                                           TimePoint now) {
    const Record* bySource = sources_.find(source, now, rules_.memory);
    const Record* byAccount = account.empty() ? nullptr : accounts_.find(account, now, rules_.memory);
    Duration wait = Duration::zero();
    if (bySource != nullptr) {
        wait = std::max(wait, bySource->until - now);
    }
    // A source that has failed at the account waits for it as well; a fresh one (the
    // owner elsewhere) does not, unless the account is under a guessing flood.
    if (byAccount != nullptr &&
        (byAccount->failures >= rules_.everyoneWaitsAfter ||
         pairs_.find(pairKey(account, source), now, rules_.memory) != nullptr)) {
        wait = std::max(wait, byAccount->until - now);
    }
    return std::max(wait, Duration::zero());
}

void SignInGuard::charge(Record& record, TimePoint now) const {
    ++record.failures;
    record.last = now;
    if (record.failures < rules_.freeFailures) {
        return;
    }
    Duration wait = rules_.firstWait;
    for (unsigned i = rules_.freeFailures; i < record.failures && wait < rules_.longestWait; ++i) {
        wait *= 2;
    }
    record.until = now + std::min(wait, rules_.longestWait);
}

void SignInGuard::failed(const std::string& account, const std::string& source, TimePoint now) {
    // find() drops a record old enough to be forgotten, so counting starts afresh.
    sources_.find(source, now, rules_.memory);
    charge(sources_.touch(source, rules_.capacity, now), now);
    if (!account.empty()) {
        accounts_.find(account, now, rules_.memory);
        charge(accounts_.touch(account, rules_.capacity, now), now);
        const std::string pair = pairKey(account, source);
        pairs_.find(pair, now, rules_.memory);
        charge(pairs_.touch(pair, rules_.capacity, now), now);
    }
}

void SignInGuard::succeeded(const std::string& account, const std::string& source) {
    accounts_.erase(account);
    pairs_.erase(pairKey(account, source));
}

}  // namespace tallyro::service
