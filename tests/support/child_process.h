// Child processes for fault tests: a forked child that runs a piece of the program
// and is killed at a moment the test chooses, or that holds something (a lock) until
// the test lets it go.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <random>
#include <stdexcept>
#include <thread>

namespace tallyro::test {

// Runs `body` in a forked child that ends with _exit (no test framework, no
// destructors of the parent's objects); returns its process number.
inline pid_t forkChild(const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    return pid;
}

// Runs save(run) for runs 1 to `runs`, each in a child killed (and reaped) after a random delay
// of up to `maxDelay` (the same delays every time); after each, sound(run) judges what it left.
// Returns the first run left unsound, or 0.
inline int firstUnsoundKilledSave(int runs, std::chrono::microseconds maxDelay,
                                  const std::function<bool(int)>& save,
                                  const std::function<bool(int)>& sound) {
    std::mt19937 random(20261206);
    std::uniform_int_distribution<long> delayUs(0, maxDelay.count());
    for (int run = 1; run <= runs; ++run) {
        const pid_t child = forkChild([&] { ::_exit(save(run) ? 0 : 1); });
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(child, SIGKILL);  // it may have finished by then
        ::waitpid(child, nullptr, 0);
        if (!sound(run))
            return run;
    }
    return 0;
}

// A child that runs `hold` (taking a lock, say), tells the parent, and keeps what it
// holds until the object goes away; then it ends normally.
class HoldingChild {
public:
    explicit HoldingChild(const std::function<void()>& hold) {
        if (::pipe(ready_) != 0 || ::pipe(release_) != 0)
            throw std::runtime_error("pipe failed");
        pid_ = forkChild([&] {
            ::close(ready_[0]);
            ::close(release_[1]);
            hold();
            char c = 'r';
            (void)!::write(ready_[1], &c, 1);
            (void)!::read(release_[0], &c, 1);  // returns when the parent closes its end
        });
        ::close(ready_[1]);
        ::close(release_[0]);
        char c = 0;
        if (::read(ready_[0], &c, 1) != 1)
            throw std::runtime_error("the holding child ended before holding");
    }
    ~HoldingChild() {
        ::close(release_[1]);
        ::close(ready_[0]);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;

private:
    int ready_[2]{};
    int release_[2]{};
    pid_t pid_ = 0;
};

}  // namespace tallyro::test
