// The back-off table's memory: what it forgets, and what it keeps when full.
#include "sign_in_guard.h"

#include <gtest/gtest.h>

namespace tallyro::service {
namespace {

using namespace std::chrono_literals;

TEST(SignInGuard, ForgetsOldFailuresAndKeepsWaitingRecordsWhenFull) {
    SignInGuard::Rules rules;
    rules.capacity = 3;
    rules.memory = 10min;
    SignInGuard guard(rules);
    const SignInGuard::TimePoint t0{};
    for (int i = 0; i < 5; ++i)
        guard.failed("demo", "10.0.0.1", t0);
    EXPECT_EQ(guard.waitFor("demo", "10.0.0.1", t0), 1s);
    EXPECT_EQ(guard.waitFor("demo", "10.0.0.9", t0), 0s);  // a fresh source
    // Single failures from many sources (forged ones, say) push out one another, not
    // the record that waits.
    for (int i = 2; i < 50; ++i)
        guard.failed("", "10.0.0." + std::to_string(i), t0);
    EXPECT_EQ(guard.trackedSources(), 3u);
    EXPECT_EQ(guard.waitFor("demo", "10.0.0.1", t0), 1s);
    EXPECT_EQ(guard.trackedAccounts(), 1u);
    // The sixth failure doubles the wait; ten minutes after the last one all is forgotten
    // and counting starts again.
    guard.failed("demo", "10.0.0.1", t0 + 1s);
    EXPECT_EQ(guard.waitFor("demo", "10.0.0.1", t0 + 1s), 2s);
    EXPECT_EQ(guard.waitFor("demo", "10.0.0.1", t0 + 1s + 10min), 0s);
    guard.failed("demo", "10.0.0.1", t0 + 1s + 10min);
    EXPECT_EQ(guard.waitFor("demo", "10.0.0.1", t0 + 1s + 10min), 0s);
    // The longest wait is a minute however many failures came before.
    for (int i = 0; i < 40; ++i)
        guard.failed("demo", "10.0.0.1", t0 + 20min);
    EXPECT_EQ(guard.waitFor("demo", "10.0.0.1", t0 + 20min), 60s);
    // A success once the wait is over clears the account, not what the source did.
    guard.succeeded("demo", "10.0.0.1");
    EXPECT_EQ(guard.waitFor("demo", "10.0.0.1", t0 + 21min), 0s);
    guard.failed("demo", "10.0.0.1", t0 + 21min);
    EXPECT_EQ(guard.waitFor("demo", "10.0.0.1", t0 + 21min), 60s);
}

// Signing in to one's own account earns the guesser no fresh start; the owner elsewhere gets
// in at once, until guesses from so many addresses come that every source waits.
TEST(SignInGuard, OwnAccountsAndManyAddressesDoNotEscapeTheWait) {
    SignInGuard guard;
    const SignInGuard::TimePoint t0{};
    for (int i = 0; i < 5; ++i)
        guard.failed("victim", "10.0.0.1", t0);
    guard.succeeded("mine", "10.0.0.1");
    EXPECT_EQ(guard.waitFor("victim", "10.0.0.1", t0), 1s);
    EXPECT_EQ(guard.waitFor("mine", "10.0.0.1", t0), 1s);  // the source waits, whatever it asks
    EXPECT_EQ(guard.waitFor("victim", "10.0.0.2", t0), 0s);
    for (int i = 2; i < 16; ++i)
        guard.failed("victim", "10.0.1." + std::to_string(i), t0);
    EXPECT_EQ(guard.waitFor("victim", "10.0.0.2", t0), 0s);  // 19 failures
    guard.failed("victim", "10.0.1.99", t0);
    EXPECT_GT(guard.waitFor("victim", "10.0.0.2", t0), 0s);
    EXPECT_EQ(guard.waitFor("other", "10.0.0.2", t0), 0s);
}

}  // namespace
}  // namespace tallyro::service
