// Start-up to the first shown window, measured as a user starts the program:
// a fresh process of the built client, timed from just before exec until the X
// server maps its first top-level window. Needs a display (the bench script
// starts Xvfb). Each iteration ends the client with SIGTERM, so its settings
// file is never written.
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Waits for the first MapNotify of a child of the root window; false on timeout.
bool waitForMap(Display* display, std::chrono::steady_clock::time_point deadline) {
    const int fd = ConnectionNumber(display);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent ev;
            XNextEvent(display, &ev);
            if (ev.type == MapNotify)
                return true;
        }
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timeval tv{0, 2000};
        select(fd + 1, &set, nullptr, nullptr, &tv);
    }
}

// One start of `program`: seconds from fork to its first mapped window, or a
// negative number when it showed none within 20 s. The program is then ended.
double startOnce(Display* display, const char* program) {
    XSync(display, True);  // drop earlier events
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    const bool mapped = waitForMap(display, start + std::chrono::seconds(20));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    // Let the ended program's windows go before the next start.
    usleep(100000);
    return mapped ? std::chrono::duration<double>(elapsed).count() : -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The client against a bare Qt window, started in turns so that both meet the
// same load; the figure that counts is the ratio of their medians.
void BM_StartupToFirstWindow(benchmark::State& state) {
    const char* client = std::getenv("TALLYRO_CLIENT");
    const char* bare = std::getenv("TALLYRO_BARE_WINDOW");
    Display* display = XOpenDisplay(nullptr);
    if (!client || !bare || !display) {
        state.SkipWithError("needs TALLYRO_CLIENT, TALLYRO_BARE_WINDOW and a display");
        return;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    std::vector<double> clientTimes, bareTimes;
    for (auto _ : state) {
        const double b = startOnce(display, bare);
        const double c = startOnce(display, client);
        if (b < 0 || c < 0) {
            state.SkipWithError("a program showed no window within 20 s");
            break;
        }
        bareTimes.push_back(b);
        clientTimes.push_back(c);
        state.SetIterationTime(c);
    }
    XCloseDisplay(display);
    if (clientTimes.empty())
        return;
    state.counters["client_median_ms"] = median(clientTimes) * 1000;
    state.counters["bare_median_ms"] = median(bareTimes) * 1000;
    state.counters["ratio"] = median(clientTimes) / median(bareTimes);
}

BENCHMARK(BM_StartupToFirstWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

BENCHMARK_MAIN();
